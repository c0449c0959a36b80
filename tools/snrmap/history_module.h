// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_rows.h"
#include "record/run_record.h"
#include "tools/snrmap/command_line.h"
#include "core/modules.h"

namespace snr::snrmap {

// The history room's module, snrmap-history.so (history_commands.cpp): Qt Core and SQL with its
// database drivers, and OpenSSL's hash.
struct HistoryModule {
    // `history` and `trend`: the exit status, the results on `out`, a failure on `err`; the
    // trend that was followed in `trend`.
    int (*command)(const CommandLine& line, history::Trend& trend, std::ostream& out, std::ostream& err);
    // Records a run whose folder is written: 0 and "run N recorded in URL" on `out`, or 1 and
    // the failure, which names the database, on `err`.
    int (*record)(const RunRecord& run, const CommandLine& line, std::ostream& out, std::ostream& err);
    // For each run, the id of the same run recorded earlier, or 0 (`ids`, as many): 0, or 1 and
    // the failure, which names the database, on `err`.
    int (*recorded_runs)(const std::vector<history::RunInstances>& runs, const CommandLine& line,
                         std::vector<long long>& ids, std::ostream& err);
    // The SHA-256 of the bytes of the parts one after the other, in 64 hexadecimal digits.
    std::string (*sha256)(const std::vector<std::string_view>& parts);
};

inline const HistoryModule& history_module() { return module_functions<HistoryModule>("snrmap-history"); }

// `snrmap history` and `snrmap trend` through the module, and a trend's `--report` through the
// report module (both loaded by the caller beforehand). Returns the exit status.
int history_command(const HistoryModule& history, const CommandLine& line, std::ostream& out, std::ostream& err);

}  // namespace snr::snrmap
