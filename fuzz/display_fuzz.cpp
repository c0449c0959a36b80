// SPDX-License-Identifier: BSD-3-Clause
// Rendering, the automatic window, the window drag and the readout on planes of any doubles
// (infinities, NaNs, the extremes and denormals included) and any window: every grey level
// is the truncating integer formula clamped to 0-255, nothing is written outside the
// picture, and the window fields stay within their ranges.
//
// Input: level and width (16 bits each), a drag position, then doubles that fill the plane
// over and over.

#include <algorithm>
#include <cstring>

#include "core/display.h"
#include "core/extended.h"
#include "fuzz/fuzz_support.h"

using namespace snr;

// The grey of value v: truncation, with values beyond +-1e12 (and a NaN, as the lowest)
// held at that bound, which no 16-bit window can tell apart from anything further out.
static int expected_grey(double v, int wl, int ww)
{
    constexpr long double bound = 1e12L;
    long double t = std::isnan(v) ? -bound : std::trunc(static_cast<long double>(v));
    t = t < -bound ? -bound : t > bound ? bound : t;
    const long long lower = wl - ww / 2;
    const long long g = ((static_cast<long long>(t) - lower) * 256) / ww;
    return static_cast<int>(g < 0 ? 0 : g > 255 ? 255 : g);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const auto wl = static_cast<std::int16_t>(input.word());
    const auto ww = static_cast<std::int16_t>(input.word());
    const int drag_x = static_cast<std::int16_t>(input.word()) * 1000;
    const int drag_y = static_cast<std::int16_t>(input.word()) * 1000;
    const auto bytes = input.rest();
    static Plane plane;
    const std::size_t values = bytes.size() / sizeof(double);
    for (int p = 0; p < plane_pixels; ++p) {
        double value = 0;
        if (values > 0)
            std::memcpy(&value, bytes.data() + (p % values) * sizeof(double), sizeof value);
        plane[p] = value;
    }

    // A picture with a margin after every row, which must stay untouched.
    constexpr std::ptrdiff_t stride = plane_side * 3 + 5;
    static std::vector<std::uint8_t> pixels(stride * plane_side);
    std::fill(pixels.begin(), pixels.end(), 0xA7);
    try {
        render_display(plane, wl, ww, pixels.data(), stride);
        fuzz::check(ww != 0, "a zero width rendered");
        for (int i = 0; i < plane_side; ++i) {
            for (int j = 0; j < plane_side; ++j) {
                const std::uint8_t* pixel = pixels.data() + i * stride + 3 * j;
                const int want = expected_grey(plane[i * plane_side + j], wl, ww);
                if (pixel[0] != want || pixel[1] != want || pixel[2] != want)
                    fuzz::fail("grey of " + std::to_string(plane[i * plane_side + j]) + " in window " +
                               std::to_string(wl) + "/" + std::to_string(ww));
            }
            for (int k = plane_side * 3; k < stride; ++k) {
                if (pixels[i * stride + k] != 0xA7)
                    fuzz::fail("wrote beyond a row");
            }
        }
    } catch (const IntDivideByZero&) {
        fuzz::check(ww == 0, "division error with a width");
        if (std::count(pixels.begin(), pixels.end(), 0xA7) != static_cast<std::ptrdiff_t>(pixels.size()))
            fuzz::fail("a failed rendering changed the picture");
    }

    DisplayWindow window;
    auto_window(plane, window);
    double maximum = 0.0;
    for (double value : plane)
        maximum = value > maximum ? value : maximum;
    fuzz::check(window.disp_max == maximum || (std::isnan(window.disp_max) && std::isnan(maximum)), "maximum");
    const auto clamp16 = [](long double x) { return static_cast<int>(std::min<long double>(std::trunc(x), 32767)); };
    fuzz::check(window.ww == clamp16(maximum) && window.wl == clamp16(static_cast<long double>(maximum) / 2),
                "automatic window of " + std::to_string(maximum));

    // A drag from here to anywhere keeps a positive width.
    DragState drag;
    drag_press(drag, DisplayWindow{wl, ww, 0}, 17, -4);
    drag_move(drag, window, drag_x, drag_y);
    fuzz::check(window.ww >= 1, "drag width below 1");

    // Readout and captions of whatever lies under the cursor, and a preset from it.
    if (const auto value = value_under(plane, drag_x % 300, drag_y % 300)) {
        for (auto kind : {ItemKind::Other, ItemKind::SnrMap, ItemKind::GFactor})
            fuzz::check(!readout_number(*value, kind).empty(), "empty readout");
        try {
            const std::int16_t level = window_value(*value);
            fuzz::check(std::fabs(*value) < 9.3e18, "window value from beyond 2^63");
            fuzz::check(level == ext::low_16_bits(static_cast<long long>(std::trunc(*value))), "window value");
        } catch (const FloatError& error) {
            fuzz::check(error.fault() == FloatFault::Invalid && !(std::fabs(*value) < 9.2e18), "window value fault");
        }
    }
    fuzz::check(!gfactor_window_caption("( WL,WW ) = ( ", window.wl, window.ww).empty(), "caption");
    return 0;
}
