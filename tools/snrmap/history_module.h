// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "record/run_record.h"
#include "tools/snrmap/command_line.h"

namespace snr::snrmap {

// What snrmap does with the results history. It lives in a module of its own,
// snrmap-history.so, loaded only by the commands that use it: Qt, its database drivers and the
// hash would otherwise add their start-up to every run. Nothing is thrown across it.
struct HistoryModule {
    int interface;  // history_interface of the module's build
    // `history` and `trend`: the exit status, the results on `out`, a failure on `err`.
    int (*command)(const CommandLine& line, std::ostream& out, std::ostream& err);
    // Records a run whose folder is written: 0 and "run N recorded in URL" on `out`, or 1 and
    // the failure, which names the database, on `err`.
    int (*record)(const RunRecord& run, const CommandLine& line, std::ostream& out, std::ostream& err);
    // The SHA-256 of the bytes of the parts one after the other, in 64 hexadecimal digits.
    std::string (*sha256)(const std::vector<std::string_view>& parts);
};

// Changes with HistoryModule and with what it is handed (CommandLine, RunRecord).
inline constexpr int history_interface = 1;

// The module, loaded at the first call: $SNRMAP_HISTORY_MODULE, else snrmap-history.so beside
// the program (a build tree), else in the library folder of the installation. Raises Error
// naming the module when it cannot be loaded or belongs to another build.
const HistoryModule& history_module();

}  // namespace snr::snrmap

extern "C" const snr::snrmap::HistoryModule* snrmap_history_module();
