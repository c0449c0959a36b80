// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/plane.h"

namespace snr {

// Which pixels a plane's figures are over: the phantom's middle, or every pixel outside the
// legend box (as earlier runs had them).
enum class RegionKind { Phantom, All };

const char* region_kind_name(RegionKind kind);  // "phantom", "all"

// The pixels a run's plane figures are taken over, the same for every plane of the run.
struct MeasuredRegion {
    RegionKind kind = RegionKind::All;
    std::vector<std::uint8_t> inside;  // plane_pixels entries in plane order, 1 inside
    long long pixels = 0;              // of `inside`
    // Phantom: the signal above which a pixel may be the phantom's, and the phantom's area
    // (connected, holes filled) before it was shrunk.
    double threshold = 0;
    long long phantom_pixels = 0;
    // The rows and columns `inside` spans, inclusive; all -1 where it is empty.
    int top = -1, left = -1, bottom = -1, right = -1;
};

// Every pixel outside the legend box.
MeasuredRegion whole_region();

// The phantom in a signal image: the pixels above a tenth of the 99th percentile of the
// positive values, of them the largest 8-connected area with its holes filled; then that area
// shrunk evenly from its edge (by Euclidean distance) to the least that keeps at least 75 %
// of it, and the legend box left out. Without a positive value the region is empty.
MeasuredRegion phantom_region(const Plane& signal);

MeasuredRegion measured_region(RegionKind kind, const Plane& signal);

}  // namespace snr
