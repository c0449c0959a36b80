#include "tools/snrmap/plane_summary.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/gfactor.h"
#include "core/legend.h"

namespace snr::snrmap {

PlaneSummary summarize_plane(const Plane& plane, bool gfactor, bool with_percentile)
{
    // Only the percentile needs the values kept; a buffer of half a megabyte per plane is
    // fresh memory, which costs more than the figures.
    std::vector<double> values;
    if (with_percentile)
        values.reserve(plane_pixels);
    PlaneSummary summary;
    long double sum = 0;
    double low = 0, high = 0;
    for (int row = 0; row < plane_side; ++row) {
        for (int column = 0; column < plane_side; ++column) {
            const double value = at(plane, row, column);
            if (value == 0 || legend::in_box(row, column))
                continue;
            const double shown = gfactor ? in_g(value) : value;
            low = summary.pixels == 0 || shown < low ? shown : low;
            high = summary.pixels == 0 || shown >= high ? shown : high;  // the last of equal largest, as minmax_element
            sum += shown;
            ++summary.pixels;
            if (with_percentile)
                values.push_back(shown);
        }
    }
    if (summary.pixels == 0)
        return summary;

    summary.min = low;
    summary.max = high;
    summary.mean = static_cast<double>(sum / static_cast<long double>(summary.pixels));
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
