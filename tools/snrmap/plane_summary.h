// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <optional>

#include "core/plane.h"

namespace snr::snrmap {

// Figures of a plane over the pixels outside the legend box whose value is not 0, each
// value first taken in g with `gfactor` (the g-factor map holds g x 100). Without such
// pixels only `pixels` (0) is set.
struct PlaneSummary {
    long long pixels = 0;
    std::optional<double> min, max, mean;
    std::optional<double> p95;  // only when asked for
};

// The 95th percentile interpolates linearly between the two nearest ranks (NumPy's default).
PlaneSummary summarize_plane(const Plane& plane, bool gfactor, bool with_percentile);

}  // namespace snr::snrmap
