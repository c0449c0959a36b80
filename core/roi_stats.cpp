#include "core/roi_stats.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/extended.h"
#include "core/legend.h"

namespace snr {

namespace {

// The part of [start, start + length) that lies in the plane, as [first, end).
std::pair<int, int> in_plane(int start, int length)
{
    const auto clamp = [](long long x) { return static_cast<int>(std::clamp(x, 0LL, static_cast<long long>(plane_side))); };
    return {clamp(start), clamp(static_cast<long long>(start) + std::max(length, 0))};
}

}  // namespace

RoiStats roi_statistics(const Plane& plane, const Roi& roi, ItemKind kind)
{
    const auto [top, bottom] = in_plane(roi.row, roi.height);
    const auto [left, right] = in_plane(roi.column, roi.width);
    std::vector<double> values;
    for (int row = top; row < bottom; ++row) {
        for (int column = left; column < right; ++column) {
            if (legend::in_box(row, column))
                continue;
            const double value = at(plane, row, column);
            values.push_back(kind == ItemKind::GFactor ? ext::store(static_cast<ext::real>(value) / 100) : value);
        }
    }

    RoiStats stats;
    stats.n = static_cast<long long>(values.size());
    if (values.empty())
        return stats;
    ext::real sum = 0;
    for (double value : values)
        sum += value;
    const double mean = ext::store(ext::div(sum, stats.n));
    stats.mean = mean;
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    stats.min = *low;
    stats.max = *high;
    if (stats.n > 1) {
        ext::real squares = 0;
        for (double value : values) {
            const ext::real deviation = static_cast<ext::real>(value) - mean;
            squares += deviation * deviation;
        }
        stats.sd = ext::store(ext::sqrt(ext::div(squares, stats.n - 1)));
    }
    return stats;
}

}  // namespace snr
