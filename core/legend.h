// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <array>
#include <span>

#include "core/plane.h"

namespace snr {

// The legend box that map planes carry near their right edge.
namespace legend {
inline constexpr int wedge_top = 53, wedge_bottom = 202;   // rows
inline constexpr int wedge_left = 235, wedge_right = 250;  // columns
inline constexpr int frame_top = 52, frame_bottom = 203;
inline constexpr int frame_left = 234, frame_right = 251;
inline constexpr int box_rows = frame_bottom - frame_top + 1;
inline constexpr int box_columns = frame_right - frame_left + 1;
inline constexpr double frame_value = 300.0;
inline constexpr int levels_labelled = 10;

// Band of a wedge row: 0 for rows 53-66, then one level per 15 rows, 10 for row 202 alone.
constexpr int level_of_row(int row) { return (row - 52) / 15; }

// Whether a pixel lies in the box, frame included.
constexpr bool in_box(int row, int column)
{
    return row >= frame_top && row <= frame_bottom && column >= frame_left && column <= frame_right;
}
}  // namespace legend

// The legend settings of a map: its minimum and interval in plane units (on the g-factor map
// in g x 100).
struct LegendSettings {
    double scale_min = 0.0;
    double scale_step = 0.0;
    bool operator==(const LegendSettings&) const = default;
};

// Each wedge cell = level * scale_step + scale_min, formed in extended precision; raises on
// overflow.
void stamp_legend_wedge(Plane& plane, const LegendSettings& settings);

void stamp_legend_frame(Plane& plane);

// Both, as a run leaves a map: the wedge, then the frame.
void stamp_legend(Plane& plane, const LegendSettings& settings);

// The values of a map under its legend box, frame included, row by row.
using LegendBoxValues = std::array<double, legend::box_rows * legend::box_columns>;

LegendBoxValues box_values(const Plane& plane);

// Puts `values` under the legend box of the 256 x 256 values of a plane, row-major.
void put_box_values(std::span<double> plane, const LegendBoxValues& values);

}  // namespace snr
