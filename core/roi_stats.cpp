// SPDX-License-Identifier: BSD-3-Clause
#include "core/roi_stats.h"

#include <algorithm>
#include <utility>

#include "core/extended.h"
#include "core/gfactor.h"
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
    const std::pair<int, int> rows = in_plane(roi.row, roi.height), columns = in_plane(roi.column, roi.width);
    // Visits the values of the region in row order, in the units reported.
    const auto each_value = [&](auto&& visit) {
        for (int row = rows.first; row < rows.second; ++row) {
            for (int column = columns.first; column < columns.second; ++column) {
                const double value = at(plane, row, column);
                if (legend::in_box(row, column) || (value == 0 && kind != ItemKind::Other))
                    continue;
                visit(kind == ItemKind::GFactor ? in_g(value) : value);
            }
        }
    };

    RoiStats stats;
    ext::real sum = 0;
    double low = 0, high = 0;
    each_value([&](double value) {
        if (stats.n == 0 || value < low)
            low = value;
        if (stats.n == 0 || value > high)
            high = value;
        sum += value;
        ++stats.n;
    });
    if (stats.n == 0)
        return stats;
    const double mean = ext::store(ext::div(sum, stats.n));
    stats.mean = mean;
    stats.min = low;
    stats.max = high;
    if (stats.n > 1) {
        ext::real squares = 0;
        each_value([&](double value) {
            const ext::real deviation = static_cast<ext::real>(value) - mean;
            squares += deviation * deviation;
        });
        stats.sd = ext::store(ext::sqrt(ext::div(squares, stats.n - 1)));
    }
    return stats;
}

}  // namespace snr
