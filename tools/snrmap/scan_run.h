// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/snrmap/command_line.h"
#include "tools/snrmap/scan_plan.h"

namespace snr::snrmap {
struct HistoryModule;
}

namespace snr::scan {

// What became of a planned run.
struct RunOutcome {
    enum class Status { Done, Failed, RecordedEarlier } status = Status::Done;
    std::string said;     // what the run said on standard output ("run N recorded in URL")
    std::string message;  // and on standard error: its failure, or warnings
    long long earlier_run = 0;  // the history's id of the same run recorded earlier
};

const char* status_name(RunOutcome::Status status);

// Called before each run with its number from 0, and once more with the count at the end.
using RunProgress = std::function<void(std::size_t run, std::size_t runs)>;

// Runs each planned run as `snrmap consecutive` or `snrmap submap` would, into `settings.out`/NAME,
// with the settings' legend, ROIs, report, DICOM maps and recording (`history`, loaded by the
// caller where `settings.record`). A run the history holds for the same instances, method and
// settings is skipped unless `settings.again`. One failed run does not stop the others; an
// interrupted one stops them (Interrupted). Raises Error where the history cannot be asked.
std::vector<RunOutcome> run_plan(const ScanPlan& plan, const snrmap::CommandLine& settings,
                                 const snrmap::HistoryModule* history, const RunProgress& progress = {});

}  // namespace snr::scan
