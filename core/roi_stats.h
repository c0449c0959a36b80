// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <optional>

#include "core/display.h"
#include "core/plane.h"

namespace snr {

// A rectangle of plane pixels: its top-left row and column (zero-based, inclusive), height and width.
struct Roi {
    int row = 0;
    int column = 0;
    int height = 0;
    int width = 0;
    friend bool operator==(const Roi&, const Roi&) = default;
};

// Figures of the pixels of a region. Without pixels every figure is empty; with one the SD is.
struct RoiStats {
    long long n = 0;
    std::optional<double> mean, sd, min, max;
};

// Statistics of the pixels of `roi` that lie in the plane, the legend box left out, and on a
// map the pixels where it has no value (0: no noise for an SNR, no SNR for a g); n counts the
// pixels used. The g-factor map is measured in g: each of its values is divided by 100 in extended precision
// and rounded to double before anything else, so its figures are exactly those of a plane of
// the values in g. The sum is extended and the mean stored; the SD (divisor n - 1) is taken
// about the stored mean in a second pass. Raises FloatError when the SD exceeds the double range.
RoiStats roi_statistics(const Plane& plane, const Roi& roi, ItemKind kind);

}  // namespace snr
