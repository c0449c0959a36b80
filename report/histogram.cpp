// SPDX-License-Identifier: BSD-3-Clause
#include "report/histogram.h"

#include <algorithm>
#include <cmath>

#include "record/plane_summary.h"
#include "report/qt_text.h"

namespace snr::report {

namespace {

constexpr std::size_t bins = 60;

}  // namespace

Histogram make_histogram(const std::vector<double>& values, double low, double high, std::size_t bin_count)
{
    Histogram histogram{low, high, std::vector<long long>(bin_count, 0), 0, 0};
    const long double width = (static_cast<long double>(high) - low) / bin_count;
    for (const double value : values) {
        if (value < low) {
            ++histogram.below;
        } else if (value > high) {
            ++histogram.above;
        } else {
            const auto bin = static_cast<std::size_t>((value - low) / width);
            ++histogram.counts[std::min(bin, bin_count - 1)];
        }
    }
    return histogram;
}

Chart map_histogram(const ResultPlane& plane, const MeasuredRegion& region)
{
    const bool in_g = plane.kind == ItemKind::GFactor;
    Chart chart;
    chart.title = QStringLiteral("ヒストグラム: ") + item_caption(plane.item);
    chart.x_title = in_g ? QStringLiteral("g") : QStringLiteral("SNR");
    chart.y_title = QStringLiteral("画素数");
    const PlaneSummary& figures = plane.figures;
    if (region.inside.empty()) {
        chart.note = QStringLiteral("測定領域が分かりません");
        return chart;
    }
    if (!figures.min || !figures.max || !figures.p5 || !figures.p95) {
        chart.note = QStringLiteral("測定領域に画素がありません");
        return chart;
    }
    const double spread = *figures.p95 - *figures.p5;
    double low = std::max(*figures.min, *figures.p5 - spread / 2);
    double high = std::min(*figures.max, *figures.p95 + spread / 2);
    if (!(high > low)) {
        // One value throughout: a narrow range around it.
        const double half = std::max(std::fabs(low) * 0.01, 0.01);
        low -= half;
        high += half;
    }
    const Histogram histogram = make_histogram(measured_values(*plane.plane, in_g, region), low, high, bins);
    const double width = (high - low) / bins;
    long long most = 1;
    for (std::size_t k = 0; k < bins; ++k) {
        chart.bars.push_back({low + k * width, low + (k + 1) * width, static_cast<double>(histogram.counts[k])});
        most = std::max(most, histogram.counts[k]);
    }
    chart.x_min = low;
    chart.x_max = high;
    chart.y_max = most * 1.08;
    if (in_g) {
        chart.markers.push_back({1.2, QStringLiteral("1.2")});
        chart.markers.push_back({1.5, QStringLiteral("1.5")});
    }
    chart.note =
        QStringLiteral("%1 画素 (範囲の下 %2、上 %3)").arg(figures.pixels).arg(histogram.below).arg(histogram.above);
    return chart;
}

}  // namespace snr::report
