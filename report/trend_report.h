// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>

#include "history/history_rows.h"
#include "report/chart.h"

namespace snr::report {

// A trend's values run by run, oldest left: a line through them, broken where a run has none,
// and a point for each, those beyond the tolerance flagged; the baseline's value as a level
// marker and, with a tolerance, its band; every run named under the axis, or every k-th (some
// twelve in all) and the newest. The y range holds every value and the band, with some room.
Chart trend_chart(const history::Trend& trend);

// The chart of `snrmap trend --report`: one A4 page, landscape, with what the trend follows,
// the scanner, coil, method, baseline and tolerance above the chart. Needs a QGuiApplication.
QByteArray trend_pdf(const history::Trend& trend);

}  // namespace snr::report
