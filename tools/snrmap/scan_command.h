// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <ostream>

#include "tools/snrmap/command_line.h"
#include "tools/snrmap/scan_run.h"

namespace snr::snrmap {

struct HistoryModule;

// OUT/scan.json (OUT and the folders above it made where missing): the files, the groups, the
// plan and what became of each run. Raises IoError.
void write_scan_json(const std::string& out, const scan::ArchiveIndex& index,
                     const std::vector<scan::AcquisitionGroup>& groups, const scan::ScanPlan& plan,
                     const std::vector<scan::RunOutcome>& outcomes);

// `snrmap scan`: index, group, plan; with --dry-run the plan on `out`, else the runs and
// OUT/scan.json. Returns 0, or 1 where a planned run or the scan failed.
int scan_command(const CommandLine& line, const HistoryModule* history, std::ostream& out, std::ostream& err,
                 bool err_is_terminal);

}  // namespace snr::snrmap
