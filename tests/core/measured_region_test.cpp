// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

#include "core/legend.h"
#include "core/measured_region.h"

namespace snr {
namespace {

bool inside(const MeasuredRegion& region, int row, int column)
{
    return region.inside[row * plane_side + column] != 0;
}

// A disc of `radius` around (row, column), `value` at its centre falling off by `slope` a
// pixel to the right, on a background of `noise` (uniform 0 to it).
std::unique_ptr<Plane> disc(int centre_row, int centre_column, int radius, double value, double slope = 0,
                            double noise = 0)
{
    auto plane = std::make_unique<Plane>();
    std::mt19937 random(7);
    std::uniform_real_distribution<double> background(0, noise);
    for (int row = 0; row < plane_side; ++row) {
        for (int column = 0; column < plane_side; ++column) {
            const int dy = row - centre_row, dx = column - centre_column;
            at(*plane, row, column) = dx * dx + dy * dy <= radius * radius ? value - slope * dx
                                      : noise > 0                         ? background(random)
                                                                          : 0;
        }
    }
    return plane;
}

long long disc_pixels(int radius)
{
    long long count = 0;
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx)
            count += dx * dx + dy * dy <= radius * radius;
    }
    return count;
}

// The region is the disc's middle: at least three quarters of it, less than that and one more
// ring of pixels, every pixel inside within the shrunk radius and the region centred.
void expect_middle_of_disc(const MeasuredRegion& region, int centre_row, int centre_column, int radius)
{
    EXPECT_EQ(region.kind, RegionKind::Phantom);
    EXPECT_EQ(region.phantom_pixels, disc_pixels(radius));
    EXPECT_GE(region.pixels * 4, region.phantom_pixels * 3);
    EXPECT_LT(region.pixels, region.phantom_pixels * 3 / 4 + 2 * M_PI * radius);
    const double shrunk = std::sqrt(region.pixels / M_PI) + 1;
    for (int row = 0; row < plane_side; ++row) {
        for (int column = 0; column < plane_side; ++column) {
            if (inside(region, row, column)) {
                EXPECT_LE(std::hypot(row - centre_row, column - centre_column), shrunk) << row << "," << column;
            }
        }
    }
    EXPECT_EQ(region.top + region.bottom, 2 * centre_row);
    EXPECT_EQ(region.left + region.right, 2 * centre_column);
}

TEST(MeasuredRegion, MiddleOfADiscOnZeroOrNoise)
{
    expect_middle_of_disc(phantom_region(*disc(128, 110, 80, 1000)), 128, 110, 80);
    // Noise up to 60 around a phantom of 1000 with a gradient of 4 a pixel (1320 to 680 across
    // it): the noise is no phantom, the dark side is.
    const MeasuredRegion noisy = phantom_region(*disc(120, 100, 70, 1000, 4, 60));
    expect_middle_of_disc(noisy, 120, 100, 70);
    EXPECT_GT(noisy.threshold, 60);
    EXPECT_LT(noisy.threshold, 680);
}

TEST(MeasuredRegion, LargestAreaWithItsHolesFilled)
{
    auto plane = disc(128, 110, 80, 1000);
    // An air bubble inside (a hole, counted) and a bright marker outside (another area, not).
    for (int row = 120; row < 136; ++row) {
        for (int column = 100; column < 116; ++column)
            at(*plane, row, column) = 0;
    }
    for (int row = 10; row < 20; ++row) {
        for (int column = 10; column < 20; ++column)
            at(*plane, row, column) = 5000;
    }
    const MeasuredRegion region = phantom_region(*plane);
    expect_middle_of_disc(region, 128, 110, 80);
    EXPECT_TRUE(inside(region, 128, 110));
    EXPECT_FALSE(inside(region, 15, 15));
}

TEST(MeasuredRegion, RectangleShrunkEvenlyFromItsEdge)
{
    auto plane = std::make_unique<Plane>();
    for (int row = 40; row < 200; ++row) {
        for (int column = 30; column < 190; ++column)
            at(*plane, row, column) = 300 + 10 * (column - 30);  // 300 to 1890
    }
    const MeasuredRegion region = phantom_region(*plane);
    EXPECT_EQ(region.phantom_pixels, 160 * 160);
    EXPECT_GE(region.pixels * 4, region.phantom_pixels * 3);
    // Shrunk alike from each side: a square of 139 pixels (19321, 75.5 %) is the least that
    // keeps three quarters of 25600.
    EXPECT_EQ(region.top - 40, 199 - region.bottom);
    EXPECT_EQ(region.left - 30, 189 - region.right);
    EXPECT_EQ(region.top - 40, region.left - 30);
    EXPECT_LE(region.pixels, 141 * 141);
}

// An irregular phantom cut by the plane's left edge: the region is exactly the pixels whose
// Euclidean distance to the nearest pixel outside (beyond the edge counting) is among the
// largest, found here by brute force.
TEST(MeasuredRegion, DeepestPixelsByEuclideanDistance)
{
    auto plane = std::make_unique<Plane>();
    const auto in_shape = [](int row, int column) {
        const bool discs = std::hypot(row - 90, column - 20) <= 60 || std::hypot(row - 150, column - 70) <= 45;
        const bool notch = row >= 80 && row < 100 && column >= 60 && column < 90;
        return discs && !notch;
    };
    std::vector<std::pair<int, int>> edge;  // the outside pixels next to the shape, and beyond the plane
    for (int row = -1; row <= plane_side; ++row) {
        for (int column = -1; column <= plane_side; ++column) {
            const bool in_plane = row >= 0 && row < plane_side && column >= 0 && column < plane_side;
            if (in_plane && in_shape(row, column)) {
                at(*plane, row, column) = 500;
                continue;
            }
            bool touches = false;
            for (int dr = -1; dr <= 1; ++dr) {
                for (int dc = -1; dc <= 1; ++dc) {
                    const int r = row + dr, c = column + dc;
                    touches = touches || (r >= 0 && r < plane_side && c >= 0 && c < plane_side && in_shape(r, c));
                }
            }
            if (touches)
                edge.emplace_back(row, column);
        }
    }
    std::vector<long long> depth(plane_pixels, -1), depths;
    for (int k = 0; k < plane_pixels; ++k) {
        if (at(*plane, k / plane_side, k % plane_side) == 0)
            continue;
        long long nearest = 1LL << 40;
        for (const auto& [row, column] : edge) {
            const long long dy = row - k / plane_side, dx = column - k % plane_side;
            nearest = std::min(nearest, dy * dy + dx * dx);
        }
        depth[k] = nearest;
        depths.push_back(nearest);
    }
    std::sort(depths.begin(), depths.end(), std::greater<>());
    const long long least = depths[(3 * depths.size() + 3) / 4 - 1];

    const MeasuredRegion region = phantom_region(*plane);
    EXPECT_EQ(region.phantom_pixels, static_cast<long long>(depths.size()));
    long long differ = 0;
    for (int k = 0; k < plane_pixels; ++k)
        differ += (depth[k] >= least) != (region.inside[k] != 0);
    EXPECT_EQ(differ, 0);
}

TEST(MeasuredRegion, LegendBoxLeftOut)
{
    // A phantom reaching into the legend box's corner: the box's pixels are never measured,
    // those above it are.
    const MeasuredRegion region = phantom_region(*disc(50, 200, 45, 800));
    EXPECT_EQ(region.phantom_pixels, disc_pixels(45));
    EXPECT_GT(region.right, legend::frame_left);
    for (int row = legend::frame_top; row <= legend::frame_bottom; ++row) {
        for (int column = legend::frame_left; column <= legend::frame_right; ++column) {
            EXPECT_FALSE(inside(region, row, column));
        }
    }
    EXPECT_TRUE(inside(region, 40, 236));  // above the box, inside the phantom

    const MeasuredRegion all = whole_region();
    EXPECT_EQ(all.pixels, plane_pixels - legend::box_rows * legend::box_columns);
    EXPECT_FALSE(inside(all, legend::frame_top, legend::frame_left));
    EXPECT_EQ(all.top, 0);
    EXPECT_EQ(all.right, plane_side - 1);
}

TEST(MeasuredRegion, NothingPositiveIsNoRegion)
{
    auto plane = std::make_unique<Plane>();
    at(*plane, 5, 5) = -100;
    const MeasuredRegion region = phantom_region(*plane);
    EXPECT_EQ(region.pixels, 0);
    EXPECT_EQ(region.top, -1);
    EXPECT_EQ(region.inside.size(), static_cast<std::size_t>(plane_pixels));
}

}  // namespace
}  // namespace snr
