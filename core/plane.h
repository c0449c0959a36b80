// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <array>
#include <cstdint>

namespace snr {

inline constexpr int plane_side = 256;
inline constexpr int plane_pixels = plane_side * plane_side;
// A slice as stored: 16-bit words, 131,072 bytes.
inline constexpr long long slice_bytes = 2LL * plane_pixels;

// 256 x 256 doubles, row-major: row y, column x is element y * 256 + x; row 0 is the top.
using Plane = std::array<double, plane_pixels>;

// The 65,536 stored 16-bit values of an image, in the same order, as a file holds them.
using StoredPixels = std::array<std::int16_t, plane_pixels>;

// The samples of one slice as read, in the same order: the stored values, rescaled where a
// DICOM image says so. An integer sample is held exactly.
using Samples = std::array<double, plane_pixels>;

// A slice as read: its stored values (sign-extended; a value beyond the 16-bit signed range
// refuses the file) and the rescale that makes them samples.
struct SliceValues {
    StoredPixels stored;
    bool rescaled = false;
    long double slope = 1, intercept = 0;
};

inline double& at(Plane& plane, int row, int column) { return plane[row * plane_side + column]; }
inline double at(const Plane& plane, int row, int column) { return plane[row * plane_side + column]; }

}  // namespace snr
