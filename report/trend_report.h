// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>
#include <QString>
#include <string>

#include "history/history_rows.h"
#include "report/chart.h"

namespace snr::report {

// What a figure a trend follows is called on its page: "平均", "5 パーセンタイル", ...; a
// figure without a Japanese name keeps its key.
QString figure_caption(const std::string& figure);

// A trend's values run by run, oldest left: a line through them, broken where a run has none,
// and a point for each: the baseline run's a reference, those beyond the tolerance flagged and
// labelled with their value and change (a run without a value is a cross on the x axis); the
// baseline's value as a reference line and, with a tolerance, its band with both limits, each
// labelled with what it is and its value; a key above the plot; every run named under the axis,
// or every k-th (some seven in all) and the newest. The y range holds every value and the band,
// with some room. The note under the chart is left for a remark on the series as a whole.
Chart trend_chart(const history::Trend& trend);

// The page of `snrmap trend --report`: A4, landscape, in Japanese, with what the trend follows,
// the scanner, coil, method, baseline and tolerance above the chart and the table of the runs
// beside it (run, time, value and change as `snrmap trend` shows them, the baseline and the runs
// beyond marked). Where not every run fits beside the chart the table there holds the newest
// ones, says how many older runs it leaves out, and the table of every run follows on the next
// pages: the first page stays the one to file and to act on, and the record is complete.
// Needs a QGuiApplication.
QByteArray trend_pdf(const history::Trend& trend);

}  // namespace snr::report
