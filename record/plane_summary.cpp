// SPDX-License-Identifier: BSD-3-Clause
#include "record/plane_summary.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/gfactor.h"

namespace snr {

namespace {

struct Figures {
    long double sum = 0;
    long long pixels = 0;
    double low = HUGE_VAL, high = -HUGE_VAL;
};

// Adds the values of [first, last) to the figures, in order. The figures stay in registers
// while the loop runs.
void add_values(const double* first, const double* last, Figures& figures)
{
    long double sum = figures.sum;
    long long pixels = figures.pixels;
    double low = figures.low, high = figures.high;
    for (; first != last; ++first) {
        const double value = *first;
        low = value < low ? value : low;
        high = value >= high ? value : high;  // the last of equal largest, as minmax_element
        sum += value;
        ++pixels;
    }
    figures = {sum, pixels, low, high};
}

}  // namespace

std::vector<double> measured_values(const Plane& plane, bool gfactor, const MeasuredRegion& region)
{
    std::vector<double> values;
    values.reserve(static_cast<std::size_t>(region.pixels));
    for (int k = 0; k < plane_pixels; ++k) {
        if (region.inside[k] != 0 && plane[k] != 0)
            values.push_back(gfactor ? in_g(plane[k]) : plane[k]);
    }
    return values;
}

PlaneSummary summarize_plane(const Plane& plane, bool gfactor, bool with_percentile, const MeasuredRegion& region)
{
    Figures figures;
    std::vector<double> values = measured_values(plane, gfactor, region);
    add_values(values.data(), values.data() + values.size(), figures);
    PlaneSummary summary;
    summary.pixels = figures.pixels;
    const long double sum = figures.sum;
    const double low = figures.low, high = figures.high;
    if (summary.pixels == 0)
        return summary;

    summary.min = low;
    summary.max = high;
    summary.mean = static_cast<double>(sum / static_cast<long double>(summary.pixels));
    if (with_percentile) {
        // Each rank's neighbourhood is partitioned within what lies above the rank before it.
        auto from = values.begin();
        const auto percentile = [&](long double share) {
            const long double rank = share * static_cast<long double>(values.size() - 1);
            const auto below = values.begin() + static_cast<std::ptrdiff_t>(std::floor(rank));
            std::nth_element(from, below, values.end());
            const double lower = *below;
            const double upper = below + 1 != values.end() ? *std::min_element(below + 1, values.end()) : lower;
            from = below;
            const long double fraction = rank - std::floor(rank);
            return static_cast<double>(lower + fraction * (static_cast<long double>(upper) - lower));
        };
        summary.p5 = percentile(0.05L);
        summary.p50 = percentile(0.5L);
        summary.p95 = percentile(0.95L);
    }
    if (gfactor) {
        const auto share_above = [&](double g) {
            const auto count = std::count_if(values.begin(), values.end(), [g](double value) { return value > g; });
            return static_cast<double>(static_cast<long double>(count) / static_cast<long double>(values.size()));
        };
        summary.above_1_2 = share_above(1.2);
        summary.above_1_5 = share_above(1.5);
    }
    return summary;
}

}  // namespace snr
