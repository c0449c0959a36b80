// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <ostream>

#include "tools/snrmap/command_line.h"

namespace snr::snrmap {

struct HistoryModule;

// `snrmap scan`: index, group, plan; with --dry-run the plan on `out`, else the runs and
// OUT/scan.json. Returns 0, or 1 where a planned run or the scan failed.
int scan_command(const CommandLine& line, const HistoryModule* history, std::ostream& out, std::ostream& err,
                 bool err_is_terminal);

}  // namespace snr::snrmap
