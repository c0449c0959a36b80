// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <algorithm>

#include "core/plane.h"
#include "record/plane_summary.h"

namespace snr {
namespace {

TEST(PlaneSummary, FiguresOverTheNonZeroPixelsOutsideTheLegendBox)
{
    const MeasuredRegion all = whole_region();
    Plane plane{};
    for (int k = 1; k <= 100; ++k)
        at(plane, 200 + k % 2, 50 + k) = 101 - k;  // 100 down to 1, in no order
    at(plane, 52, 234) = 1e6;                     // legend frame
    at(plane, 150, 251) = -1e6;
    const PlaneSummary plain = summarize_plane(plane, false, false, all);
    EXPECT_EQ(plain.pixels, 100);
    EXPECT_EQ(plain.min, 1.0);
    EXPECT_EQ(plain.max, 100.0);
    EXPECT_EQ(plain.mean, 50.5);
    EXPECT_FALSE(plain.p95);

    const PlaneSummary in_g = summarize_plane(plane, true, true, all);
    EXPECT_DOUBLE_EQ(*in_g.mean, 0.505);
    EXPECT_DOUBLE_EQ(*in_g.p95, 0.9505);  // rank 0.95 x 99 = 94.05 between 0.95 and 0.96
    const PlaneSummary ranked = summarize_plane(plane, false, true, all);
    EXPECT_DOUBLE_EQ(*ranked.p5, 5.95);  // rank 0.05 x 99 = 4.95
    EXPECT_DOUBLE_EQ(*ranked.p50, 50.5);
    EXPECT_DOUBLE_EQ(*ranked.p95, 95.05);
    EXPECT_FALSE(ranked.above_1_2);

    // The shares above 1.2 and 1.5 of the g-factor map (g x 100), strictly above.
    Plane g{};
    for (int k = 0; k < 10; ++k)
        at(g, 10, k) = 100 + 10 * k;  // g 1.0 to 1.9
    const PlaneSummary shares = summarize_plane(g, true, true, all);
    EXPECT_EQ(shares.above_1_2, 0.7);
    EXPECT_EQ(shares.above_1_5, 0.4);

    // The sum is extended, in row order: in double arithmetic both ones would be lost.
    Plane wide{};
    at(wide, 0, 0) = 0x1p53;
    at(wide, 0, 1) = 1;
    at(wide, 100, 2) = 1;  // a row beside the box
    EXPECT_EQ(summarize_plane(wide, false, false, all).mean, static_cast<double>((0x1p53L + 2) / 3));

    const PlaneSummary empty = summarize_plane(Plane{}, true, true, all);
    EXPECT_EQ(empty.pixels, 0);
    EXPECT_FALSE(empty.min || empty.max || empty.mean || empty.p95);
}

TEST(PlaneSummary, FiguresOverTheRegionOnly)
{
    Plane plane{};
    MeasuredRegion region = whole_region();
    std::fill(region.inside.begin(), region.inside.end(), 0);
    for (int column = 0; column < 10; ++column) {
        at(plane, 5, column) = column + 1;  // 1 to 10
        region.inside[5 * plane_side + column] = column % 2;
    }
    at(plane, 5, 1) = 0;  // undefined: left out, not counted
    const PlaneSummary figures = summarize_plane(plane, false, true, region);
    EXPECT_EQ(figures.pixels, 4);  // 4, 6, 8, 10
    EXPECT_EQ(figures.mean, 7.0);
    EXPECT_EQ(figures.min, 4.0);
    EXPECT_EQ(measured_values(plane, false, region), (std::vector<double>{4, 6, 8, 10}));
}

}  // namespace
}  // namespace snr
