// SPDX-License-Identifier: BSD-3-Clause
#include "core/legend.h"

#include <algorithm>

#include "core/extended.h"

namespace snr {

void stamp_legend_wedge(Plane& plane, const LegendSettings& settings)
{
    for (int row = legend::wedge_top; row <= legend::wedge_bottom; ++row) {
        const double value = ext::store(static_cast<ext::real>(legend::level_of_row(row)) * settings.scale_step +
                                        static_cast<ext::real>(settings.scale_min));
        for (int column = legend::wedge_left; column <= legend::wedge_right; ++column)
            at(plane, row, column) = value;
    }
}

void stamp_legend_frame(Plane& plane)
{
    for (int row = legend::frame_top; row <= legend::frame_bottom; ++row) {
        at(plane, row, legend::frame_left) = legend::frame_value;
        at(plane, row, legend::frame_right) = legend::frame_value;
    }
    for (int column = legend::frame_left; column <= legend::frame_right; ++column) {
        at(plane, legend::frame_top, column) = legend::frame_value;
        at(plane, legend::frame_bottom, column) = legend::frame_value;
    }
}

void stamp_legend(Plane& plane, const LegendSettings& settings)
{
    stamp_legend_wedge(plane, settings);
    stamp_legend_frame(plane);
}

LegendBoxValues box_values(const Plane& plane)
{
    LegendBoxValues values;
    for (int row = 0; row < legend::box_rows; ++row) {
        const double* first = plane.data() + (legend::frame_top + row) * plane_side + legend::frame_left;
        std::copy(first, first + legend::box_columns, values.begin() + row * legend::box_columns);
    }
    return values;
}

void put_box_values(std::span<double> plane, const LegendBoxValues& values)
{
    for (int row = 0; row < legend::box_rows; ++row)
        std::copy_n(values.begin() + row * legend::box_columns, legend::box_columns,
                    plane.begin() + (legend::frame_top + row) * plane_side + legend::frame_left);
}

}  // namespace snr
