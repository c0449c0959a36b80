// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/history_module.h"

#include "tools/snrmap/report_output.h"
#include "tools/snrmap/snrmap_main.h"

namespace snr::snrmap {

int history_command(const HistoryModule& history, const CommandLine& line, std::ostream& out, std::ostream& err)
{
    history::Trend trend;
    const int status = history.command(line, trend, out, err);
    if (line.action != Action::Trend || line.report.empty() || status == exit_failure || status > 128)
        return status;
    try {
        write_trend_report(trend, line.report);
    } catch (const std::exception& error) {
        err << error.what() << "\n" << std::flush;
        return exit_failure;
    }
    return status;
}

}  // namespace snr::snrmap
