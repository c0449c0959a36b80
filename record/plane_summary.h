// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <optional>
#include <vector>

#include "core/measured_region.h"
#include "core/plane.h"
#include "core/roi_stats.h"

namespace snr {

// Figures of a plane over the pixels of its run's measured region whose value is not 0 (0
// is where a map is undefined), each value first taken in g with `gfactor` (the g-factor map
// holds g x 100). `pixels` counts the values used; without any only it (0) is set.
struct PlaneSummary {
    long long pixels = 0;
    std::optional<double> min, max, mean;
    std::optional<double> p5, p50, p95;  // only when asked for
    // Of the g-factor map: the share of the pixels where g exceeds 1.2 and 1.5.
    std::optional<double> above_1_2, above_1_5;
};

// A figure of a plane as the record keeps it: its key in summary.json and a trend's --stat,
// and its column in the history's run_planes. The shares above 1.2 and 1.5 are the g-factor
// map's alone.
struct PlaneFigure {
    std::optional<double> PlaneSummary::*value;
    const char* key;
    const char* column;
    bool gfactor_only = false;
};

inline constexpr PlaneFigure plane_figures[] = {
    {&PlaneSummary::min, "min", "min"},
    {&PlaneSummary::max, "max", "max"},
    {&PlaneSummary::mean, "mean", "mean"},
    {&PlaneSummary::p5, "p5", "p5"},
    {&PlaneSummary::p50, "p50", "p50"},
    {&PlaneSummary::p95, "p95", "p95"},
    {&PlaneSummary::above_1_2, "above_1.2", "above_1_2", true},
    {&PlaneSummary::above_1_5, "above_1.5", "above_1_5", true},
};

// A figure of a region of interest beside its pixel count n: its key in summary.json and a
// trend's --stat, which is also its column in the history's roi_figures.
struct RoiFigure {
    std::optional<double> RoiStats::*value;
    const char* key;
};

inline constexpr RoiFigure roi_figures[] = {
    {&RoiStats::mean, "mean"},
    {&RoiStats::sd, "sd"},
    {&RoiStats::min, "min"},
    {&RoiStats::max, "max"},
};

// The values of the measured region, in plane order: its pixels whose value is not 0, each in
// g with `gfactor`.
std::vector<double> measured_values(const Plane& plane, bool gfactor, const MeasuredRegion& region);

// A percentile interpolates linearly between the two nearest ranks (NumPy's default).
PlaneSummary summarize_plane(const Plane& plane, bool gfactor, bool with_percentile, const MeasuredRegion& region);

}  // namespace snr
