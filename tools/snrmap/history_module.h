// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_rows.h"
#include "record/run_record.h"
#include "tools/snrmap/command_line.h"

namespace snr::snrmap {

// The trend chart of `snrmap trend --report`, in snrmap-chart.so: Qt's graphical part, which
// takes longer to load than all the rest, is loaded only to draw.
struct ChartModule {
    int interface;  // history_interface of the module's build
    // Makes the application object, a graphical one drawing offscreen, before anything else
    // makes one; whoever called deletes it. Returns what went wrong, or nothing.
    std::string (*prepare)();
    // Writes the chart as a PDF. Returns what went wrong, naming the file, or nothing.
    std::string (*write)(const history::Trend& trend, const std::string& path);
};

// What snrmap does with the results history. It lives in a module of its own,
// snrmap-history.so, loaded only by the commands that use it: Qt, its database drivers and the
// hash would otherwise add their start-up to every run. Nothing is thrown across it.
struct HistoryModule {
    int interface;  // history_interface of the module's build
    // `history` and `trend`: the exit status, the results on `out`, a failure on `err`. A
    // trend with a report draws through `chart`.
    int (*command)(const CommandLine& line, const ChartModule* chart, std::ostream& out, std::ostream& err);
    // Records a run whose folder is written: 0 and "run N recorded in URL" on `out`, or 1 and
    // the failure, which names the database, on `err`.
    int (*record)(const RunRecord& run, const CommandLine& line, std::ostream& out, std::ostream& err);
    // The SHA-256 of the bytes of the parts one after the other, in 64 hexadecimal digits.
    std::string (*sha256)(const std::vector<std::string_view>& parts);
};

// Changes with the modules and with what they are handed (CommandLine, RunRecord, Trend).
inline constexpr int history_interface = 1;

// The modules, each loaded at its first call from the folder $SNRMAP_MODULES, else beside the
// program (a build tree), else the library folder of the installation. Raise Error naming the
// module when it cannot be loaded or belongs to another build.
const HistoryModule& history_module();
const ChartModule& chart_module();

}  // namespace snr::snrmap

extern "C" const snr::snrmap::HistoryModule* snrmap_history_module();
extern "C" const snr::snrmap::ChartModule* snrmap_chart_module();
