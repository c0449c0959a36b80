// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>

#include "history/history_rows.h"

namespace snr::snrmap {

// The trend as a PDF of one A4 page (landscape): the values run by run, the baseline and, with
// a tolerance, its band, the runs beyond it in red. Needs a QGuiApplication. The file is
// replaced whole or not at all. Raises Error naming the file. (The chart module,
// snrmap-chart.so, hands it to snrmap.)
void write_trend_chart(const history::Trend& trend, const std::string& path);

}  // namespace snr::snrmap
