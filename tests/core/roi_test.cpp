// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "core/errors.h"
#include "core/legend.h"
#include "core/roi_stats.h"

namespace snr {
namespace {

// Rows 50-53 x columns 232-235: the four pixels at rows 52-53, columns 234-235 are the legend
// box's corner and are left out; the twelve others hold 2, 4, 4, 4, 5, 5, 7, 9 and four 5s.
// By hand: n 12, sum 60, mean 5, squared deviations 9+1+1+1+0+0+4+16 = 32, SD sqrt(32 / 11).
Plane worked_plane(double scale)
{
    Plane plane{};
    stamp_legend_wedge(plane, {60, 20});
    stamp_legend_frame(plane);
    const double rows[4][4] = {{2, 4, 4, 4}, {5, 5, 7, 9}, {5, 5, -1, -1}, {5, 5, -1, -1}};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 2; ++c)
            at(plane, 50 + r, 232 + c) = rows[r][c] * scale;
        for (int c = 2; c < 4 && r < 2; ++c)
            at(plane, 50 + r, 232 + c) = rows[r][c] * scale;
    }
    return plane;
}

const Roi worked_roi{50, 232, 4, 4};

TEST(RoiStatistics, ACaseWorkedByHandWithTheLegendBoxLeftOut)
{
    const RoiStats stats = roi_statistics(worked_plane(1), worked_roi, ItemKind::SnrMap);
    EXPECT_EQ(stats.n, 12);
    EXPECT_EQ(stats.mean, 5.0);
    EXPECT_EQ(stats.sd, static_cast<double>(std::sqrt(32.0L / 11)));
    EXPECT_EQ(stats.min, 2.0);
    EXPECT_EQ(stats.max, 9.0);

    // The g-factor map holds g x 100 and is measured in g.
    const RoiStats g = roi_statistics(worked_plane(100), worked_roi, ItemKind::GFactor);
    EXPECT_EQ(g.n, 12);
    EXPECT_EQ(g.mean, 5.0);
    EXPECT_EQ(g.sd, stats.sd);
    EXPECT_EQ(g.max, 9.0);
}

TEST(RoiStatistics, TheGFactorIsDividedPerPixelBeforeAnythingElse)
{
    // 131 / 100 and 129 / 100 are not doubles: each is rounded once, then they are summed.
    Plane g{}, in_g{};
    const double values[] = {131, 129, 117, 1, 33333};
    for (int k = 0; k < 5; ++k) {
        g[k] = values[k];
        in_g[k] = static_cast<double>(static_cast<long double>(values[k]) / 100);
    }
    const RoiStats stats = roi_statistics(g, {0, 0, 1, 5}, ItemKind::GFactor);
    const RoiStats plain = roi_statistics(in_g, {0, 0, 1, 5}, ItemKind::Other);
    EXPECT_EQ(stats.mean, plain.mean);
    EXPECT_EQ(stats.sd, plain.sd);
    EXPECT_EQ(stats.min, 0.01);
    EXPECT_EQ(stats.max, 333.33);
}

TEST(RoiStatistics, AMapsPixelsWithoutAValueAreLeftOutAndNotCounted)
{
    // An ROI across the phantom's edge: g 1.88 inside, no SNR (0) outside. Elsewhere a 0 is a value.
    Plane plane{};
    for (int row = 100; row < 120; ++row)
        for (int column = 100; column < 110; ++column)
            at(plane, row, column) = 188;
    const Roi edge{100, 90, 20, 30};
    const RoiStats g = roi_statistics(plane, edge, ItemKind::GFactor);
    EXPECT_EQ(g.n, 200);
    EXPECT_EQ(g.mean, 1.88);
    EXPECT_EQ(g.sd, 0.0);
    EXPECT_EQ(g.min, 1.88);
    const RoiStats snr = roi_statistics(plane, edge, ItemKind::SnrMap);
    EXPECT_EQ(snr.n, 200);
    EXPECT_EQ(snr.min, 188.0);
    const RoiStats signal = roi_statistics(plane, edge, ItemKind::Other);
    EXPECT_EQ(signal.n, 600);
    EXPECT_EQ(signal.min, 0.0);
    EXPECT_EQ(roi_statistics(plane, {0, 0, 10, 10}, ItemKind::GFactor).n, 0);
}

TEST(RoiStatistics, EmptyFiguresTwoPassesAndRectanglesBeyondThePlane)
{
    Plane plane{};
    plane.fill(7);
    const RoiStats none = roi_statistics(plane, {60, 240, 10, 5}, ItemKind::SnrMap);  // inside the box
    EXPECT_EQ(none.n, 0);
    EXPECT_FALSE(none.mean || none.sd || none.min || none.max);
    const RoiStats one = roi_statistics(plane, {3, 4, 1, 1}, ItemKind::Other);
    EXPECT_EQ(one.n, 1);
    EXPECT_EQ(one.mean, 7.0);
    EXPECT_FALSE(one.sd);
    EXPECT_EQ(one.min, 7.0);

    // Deviations from the mean, not a sum of squares: one pass would lose them in 10^30.
    at(plane, 0, 0) = 1e15 + 1;
    at(plane, 0, 1) = 1e15 + 2;
    at(plane, 0, 2) = 1e15 + 3;
    EXPECT_EQ(roi_statistics(plane, {0, 0, 1, 3}, ItemKind::Other).sd, 1.0);

    // Only the part in the plane counts, whatever the numbers.
    EXPECT_EQ(roi_statistics(plane, {250, 250, 100, 100}, ItemKind::Other).n, 36);
    constexpr int big = std::numeric_limits<int>::max(), small = std::numeric_limits<int>::min();
    EXPECT_EQ(roi_statistics(plane, {small, small, big, big}, ItemKind::Other).n, 0);
    EXPECT_EQ(roi_statistics(plane, {-5, -5, big, 10}, ItemKind::Other).n, 256 * 5);
    EXPECT_EQ(roi_statistics(plane, {10, 10, -3, 5}, ItemKind::Other).n, 0);

    // A spread beyond the double range is the overflow error, not an infinity.
    at(plane, 0, 0) = -std::numeric_limits<double>::max();
    at(plane, 0, 1) = std::numeric_limits<double>::max();
    EXPECT_THROW(roi_statistics(plane, {0, 0, 1, 2}, ItemKind::Other), FloatError);
}

}  // namespace
}  // namespace snr
