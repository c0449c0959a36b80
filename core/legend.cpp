// SPDX-License-Identifier: BSD-3-Clause
#include "core/legend.h"

#include "core/extended.h"

namespace snr {

void stamp_legend_wedge(Plane& plane, double minimum, double step)
{
    for (int row = legend::wedge_top; row <= legend::wedge_bottom; ++row) {
        const double value = ext::store(
            static_cast<ext::real>(legend::level_of_row(row)) * step + static_cast<ext::real>(minimum));
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

void stamp_legend(Plane& plane, double minimum, double step)
{
    stamp_legend_wedge(plane, minimum, step);
    stamp_legend_frame(plane);
}

}  // namespace snr
