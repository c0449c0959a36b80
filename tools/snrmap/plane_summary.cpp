#include "tools/snrmap/plane_summary.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/legend.h"

namespace snr::snrmap {

PlaneSummary summarize_plane(const Plane& plane, double unit, bool with_percentile)
{
    std::vector<double> values;
    values.reserve(plane_pixels);
    for (int row = 0; row < plane_side; ++row) {
        for (int column = 0; column < plane_side; ++column) {
            const double value = at(plane, row, column);
            if (value != 0 && !legend::in_box(row, column))
                values.push_back(static_cast<double>(static_cast<long double>(value) / unit));
        }
    }
    PlaneSummary summary;
    summary.pixels = static_cast<long long>(values.size());
    if (values.empty())
        return summary;

    long double sum = 0;
    for (double value : values)
        sum += value;
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    summary.min = *low;
    summary.max = *high;
    summary.mean = static_cast<double>(sum / static_cast<long double>(values.size()));
    if (with_percentile) {
        const long double rank = 0.95L * static_cast<long double>(values.size() - 1);
        const auto below = static_cast<std::ptrdiff_t>(std::floor(rank));
        std::nth_element(values.begin(), values.begin() + below, values.end());
        const double lower = values[static_cast<std::size_t>(below)];
        const double upper = below + 1 < static_cast<std::ptrdiff_t>(values.size())
                                 ? *std::min_element(values.begin() + below + 1, values.end())
                                 : lower;
        const long double fraction = rank - static_cast<long double>(below);
        summary.p95 = static_cast<double>(lower + fraction * (static_cast<long double>(upper) - lower));
    }
    return summary;
}

}  // namespace snr::snrmap
