// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core/display.h"
#include "core/errors.h"
#include "core/legend.h"

namespace snr {
namespace {

TEST(Legend, WedgeBandsAndFrame)
{
    Plane plane;
    plane.fill(-7.0);
    stamp_legend_wedge(plane, {60, 20});
    stamp_legend_frame(plane);
    for (int row = 0; row < plane_side; ++row) {
        for (int column = 0; column < plane_side; ++column) {
            const double value = at(plane, row, column);
            const bool in_wedge = row >= 53 && row <= 202 && column >= 235 && column <= 250;
            const bool in_box = row >= 52 && row <= 203 && column >= 234 && column <= 251;
            if (in_wedge)
                EXPECT_EQ(value, 60 + 20 * ((row - 52) / 15)) << row << "," << column;
            else if (in_box)
                EXPECT_EQ(value, 300.0) << row << "," << column;
            else if (value != -7.0)
                FAIL() << "changed outside the box at " << row << "," << column;
        }
    }
    EXPECT_EQ(at(plane, 66, 240), 60);
    EXPECT_EQ(at(plane, 67, 240), 80);
    EXPECT_EQ(at(plane, 201, 240), 240);
    EXPECT_EQ(at(plane, 202, 240), 260);
}

TEST(Legend, WhatTheBoxHeldIsKeptAndPutBackExactly)
{
    Plane measured;
    for (int p = 0; p < plane_pixels; ++p)
        measured[p] = p + 0.5;
    const LegendBoxValues held = box_values(measured);
    EXPECT_EQ(held.front(), at(measured, 52, 234));
    EXPECT_EQ(held.back(), at(measured, 203, 251));
    Plane stamped = measured;
    stamp_legend(stamped, {60, 20});
    EXPECT_NE(stamped, measured);
    put_box_values(stamped, held);
    EXPECT_EQ(stamped, measured);
}

TEST(Legend, ZeroNegativeAndOverflowingIntervals)
{
    Plane plane{};
    stamp_legend_wedge(plane, {5, 0});
    EXPECT_EQ(at(plane, 53, 235), 5);
    EXPECT_EQ(at(plane, 202, 250), 5);
    stamp_legend_wedge(plane, {100, -10});
    EXPECT_EQ(at(plane, 202, 250), 0);
    EXPECT_GT(at(plane, 100, 240), at(plane, 150, 240));

    // Level 2 of an interval of 1e308 is beyond double: overflow, rows before it stay stamped.
    plane.fill(0);
    EXPECT_THROW(stamp_legend_wedge(plane, {0, 1e308}), FloatError);
    EXPECT_EQ(at(plane, 81, 240), 1e308);
    EXPECT_EQ(at(plane, 82, 240), 0);
}

std::vector<int> greys(const Plane& plane, std::int16_t wl, std::int16_t ww)
{
    std::vector<std::uint8_t> pixels(plane_pixels * 3 + 10, 7);
    render_display(plane, wl, ww, pixels.data(), plane_side * 3);
    std::vector<int> out;
    for (int i = 0; i < plane_pixels; ++i) {
        EXPECT_EQ(pixels[3 * i], pixels[3 * i + 1]);
        EXPECT_EQ(pixels[3 * i], pixels[3 * i + 2]);
        out.push_back(pixels[3 * i]);
    }
    return out;
}

TEST(RenderDisplay, MapsThroughTheWindowWithTruncationAndClamp)
{
    Plane plane{};
    const double values[] = {50, 199, 200, 0, -3, 1e300, -1e300, 9, 10, 11, 12, -0.7, -1.5, 1e7, 99.99};
    for (std::size_t i = 0; i < std::size(values); ++i)
        plane[i] = values[i];
    auto g = greys(plane, 100, 200);
    EXPECT_EQ(g[0], 64);
    EXPECT_EQ(g[1], 254);
    EXPECT_EQ(g[2], 255);
    EXPECT_EQ(g[3], 0);
    EXPECT_EQ(g[4], 0);
    EXPECT_EQ(g[5], 255);
    EXPECT_EQ(g[6], 0);
    EXPECT_EQ(g[13], 255);
    EXPECT_EQ(g[14], 126);  // truncated to 99: 99 * 256 / 200

    g = greys(plane, 10, 3);  // odd width: lower 9
    EXPECT_EQ(g[7], 0);
    EXPECT_EQ(g[8], 85);
    EXPECT_EQ(g[9], 170);
    EXPECT_EQ(g[10], 255);

    g = greys(plane, 0, 1);  // width 1: lower = wl
    EXPECT_EQ(g[11], 0);     // -0.7 truncates to 0
    EXPECT_EQ(g[12], 0);     // -1.5 truncates to -1
    EXPECT_EQ(g[0], 255);
    g = greys(plane, -1, 1);
    EXPECT_EQ(g[11], 255);
    EXPECT_EQ(g[12], 0);
}

TEST(RenderDisplay, AgreesWithTheIntegerFormulaForEveryWidth)
{
    Plane plane;
    for (int i = 0; i < plane_pixels; ++i)
        plane[i] = (i % 4001) - 1500 + 0.5 * (i % 3);
    for (int ww : {1, 2, 3, 7, 255, 256, 257, 1000, 4095, 32767}) {
        for (int wl : {-2000, 0, 37, 1500, 32767}) {
            const auto g = greys(plane, static_cast<std::int16_t>(wl), static_cast<std::int16_t>(ww));
            for (int i = 0; i < plane_pixels; i += 13) {
                const long long v = static_cast<long long>(plane[i]);
                long long want = ((v - (wl - ww / 2)) * 256) / ww;
                want = want > 255 ? 255 : want < 0 ? 0 : want;
                ASSERT_EQ(g[i], want) << "wl " << wl << " ww " << ww << " v " << plane[i];
            }
        }
    }
}

TEST(RenderDisplay, ZeroWidthFailsBeforeAnyPixelChanges)
{
    Plane plane{};
    std::vector<std::uint8_t> pixels(plane_pixels * 3, 42);
    EXPECT_THROW(render_display(plane, 5, 0, pixels.data(), plane_side * 3), IntDivideByZero);
    for (auto byte : pixels)
        ASSERT_EQ(byte, 42);
}

TEST(AutoWindow, HalfAndWholeOfTheMaximum)
{
    Plane plane;
    plane.fill(-5);
    DisplayWindow window;
    auto_window(plane, window);
    EXPECT_EQ(window.disp_max, 0.0);
    EXPECT_EQ(window.ww, 0);
    plane[77] = 455.9;
    auto_window(plane, window);
    EXPECT_EQ(window.disp_max, 455.9);
    EXPECT_EQ(window.wl, 227);
    EXPECT_EQ(window.ww, 455);
    plane[78] = 1001;
    auto_window(plane, window);
    EXPECT_EQ(window.wl, 500);
    EXPECT_EQ(window.ww, 1001);
    plane[79] = 0.9;
    plane[78] = 0.5;
    plane[77] = 0.2;
    auto_window(plane, window);
    EXPECT_EQ(window.ww, 0);
    plane[0] = 40000;
    auto_window(plane, window);
    EXPECT_EQ(window.wl, 20000);
    EXPECT_EQ(window.ww, 32767);
    plane[0] = 1e300;
    auto_window(plane, window);
    EXPECT_EQ(window.wl, 32767);
    EXPECT_EQ(window.ww, 32767);
}

TEST(Drag, OnePixelIsOneUnitAndTheWidthStaysPositive)
{
    DisplayWindow window{50, 80, 0};
    DragState drag;
    drag_press(drag, window, 100, 100);
    EXPECT_TRUE(drag.drag_active);
    drag_move(drag, window, 60, 120);
    EXPECT_EQ(window.wl, 70);
    EXPECT_EQ(window.ww, 40);
    drag_move(drag, window, 10, 120);
    EXPECT_EQ(window.wl, 70);
    EXPECT_EQ(window.ww, 1);
    drag_release(drag);
    EXPECT_FALSE(drag.drag_active);

    // 16-bit modulo arithmetic for the level.
    window = DisplayWindow{32767, 5, 0};
    drag_press(drag, window, 0, 0);
    drag_move(drag, window, 0, 1);
    EXPECT_EQ(window.wl, -32768);
    window = DisplayWindow{0, 32767, 0};
    drag_press(drag, window, 0, 0);
    drag_move(drag, window, 1, 0);  // wraps to -32768, raised to 1
    EXPECT_EQ(window.ww, 1);
}

TEST(Captions, IntegerAndGFactorForms)
{
    EXPECT_EQ(computation_caption(227, 455), "(wl,ww) = (227,455)");
    EXPECT_EQ(computation_caption(0, 0), "(wl,ww) = (0,0)");
    EXPECT_EQ(window_caption("( WL,WW ) = ( ", -5, 460), "( WL,WW ) = ( -5 , 460 )");
    EXPECT_EQ(gfactor_window_caption("( WL,WW ) = ( ", 200, 400), "( WL,WW ) = ( 2.00 , 4.00 )");
    EXPECT_EQ(gfactor_window_caption("  ( WL,WW ) = ( ", -1, 5), "  ( WL,WW ) = ( -0.01 , 0.05 )");
    EXPECT_EQ(format_fixed(240.0L, 0), "240");
    EXPECT_EQ(format_fixed(-0.004L, 2), "-0.00");
}

TEST(Readout, ValueUnderTheCursorInsideThePlaneOnly)
{
    Plane plane{};
    at(plane, 120, 40) = 131.0;  // row 120, column 40
    EXPECT_EQ(value_under(plane, 40, 120), 131.0);
    EXPECT_FALSE(value_under(plane, -1, 0));
    EXPECT_FALSE(value_under(plane, 0, 256));
    EXPECT_TRUE(value_under(plane, 255, 255));
    EXPECT_EQ(readout_number(131.0, ItemKind::GFactor), "1.31");
    EXPECT_EQ(readout_number(131.0, ItemKind::SnrMap), "131.00");
    EXPECT_EQ(readout_number(-2.556, ItemKind::Other), "-2.56");
}

TEST(RenderDisplay, InfinitiesAndNaNsHaveAGreyToo)
{
    // No computation stores them; the rendering stays defined all the same.
    Plane plane{};
    plane[0] = std::numeric_limits<double>::infinity();
    plane[1] = -std::numeric_limits<double>::infinity();
    plane[2] = std::numeric_limits<double>::quiet_NaN();
    auto g = greys(plane, 100, 200);
    EXPECT_EQ(g[0], 255);
    EXPECT_EQ(g[1], 0);
    EXPECT_EQ(g[2], 0);
    g = greys(plane, 100, -200);  // a hand-made negative width maps backwards
    EXPECT_EQ(g[0], 0);
    EXPECT_EQ(g[1], 255);
    EXPECT_EQ(g[2], 255);
}

}  // namespace
}  // namespace snr
