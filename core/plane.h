#pragma once

#include <array>
#include <cstdint>

namespace snr {

inline constexpr int plane_side = 256;
inline constexpr int plane_pixels = plane_side * plane_side;

// 256 x 256 doubles, row-major: row y, column x is element y * 256 + x; row 0 is the top.
using Plane = std::array<double, plane_pixels>;

// The 65,536 signed 16-bit samples of one slice, in the same order.
using Samples = std::array<std::int16_t, plane_pixels>;

inline double& at(Plane& plane, int row, int column) { return plane[row * plane_side + column]; }
inline double at(const Plane& plane, int row, int column) { return plane[row * plane_side + column]; }

}  // namespace snr
