// SPDX-License-Identifier: BSD-3-Clause
#include "core/display.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "core/errors.h"
#include "core/extended.h"

namespace snr {

namespace {

// Plane values are clamped to this before truncation; far beyond anything a window reaches.
constexpr double value_limit = 1.0e12;

long long truncated(double x)
{
    // The clamp keeps the conversion defined for any value; a NaN (which no computation
    // stores) counts as the lowest.
    return static_cast<long long>(x > -value_limit ? std::min(x, value_limit) : -value_limit);
}

// Grey levels of one row for a positive width, in double arithmetic the compiler can keep
// in vector registers. Values are first clamped into [lower - 1, lower + ww], which changes
// no grey level and keeps every truncation in range (a NaN goes to the bottom). For an
// integer offset o in [0, ww] the exact quotient o * 256 / ww is either whole or at least
// 1 / ww above a whole number, while the product with the rounded factor is off by less than
// 1e-13: adding 1e-9 before truncating yields the exact integer quotient.
[[gnu::always_inline]] inline void grey_row(const double* values, std::uint8_t* greys, int lower, int ww)
{
    const double low = lower - 1.0;
    const double high = static_cast<double>(lower) + ww;
    const double factor = 256.0 / ww;
    for (int j = 0; j < plane_side; ++j) {
        double x = values[j];
        x = x > low ? x : low;
        x = x > high ? high : x;
        double offset = static_cast<double>(static_cast<int>(x)) - lower;
        offset = offset < 0.0 ? 0.0 : offset;
        const int grey = static_cast<int>(offset * factor + 1e-9);
        greys[j] = static_cast<std::uint8_t>(grey > 255 ? 255 : grey);
    }
}

// Three equal bytes per pixel; each pixel is written with one four-byte store whose last byte
// the next pixel overwrites, so the last pixel of a row is written byte by byte.
[[gnu::always_inline]] inline void write_row(const std::uint8_t* greys, std::uint8_t* row)
{
    for (int j = 0; j < plane_side - 1; ++j) {
        const std::uint32_t triple = greys[j] * 0x010101u;
        std::memcpy(row + 3 * j, &triple, sizeof triple);
    }
    const int last = plane_side - 1;
    row[3 * last] = row[3 * last + 1] = row[3 * last + 2] = greys[last];
}

// Built twice, for plain x86-64 and for AVX2, picked at load time; the arithmetic is the same.
[[gnu::target_clones("avx2", "default")]] void render_positive_width(const double* values, int lower, int ww,
                                                                     std::uint8_t* pixels, std::ptrdiff_t stride)
{
    std::uint8_t greys[plane_side];
    for (int i = 0; i < plane_side; ++i) {
        grey_row(values + i * plane_side, greys, lower, ww);
        write_row(greys, pixels + i * stride);
    }
}

[[gnu::target_clones("avx2", "default")]] void greys_positive_width(const double* values, int lower, int ww,
                                                                    std::uint8_t* greys)
{
    for (int i = 0; i < plane_side; ++i)
        grey_row(values + i * plane_side, greys + i * plane_side, lower, ww);
}

// A negative width maps backwards; it only arises from a hand-made window.
std::uint8_t grey_of_negative_width(double value, long long lower, std::int16_t ww)
{
    const long long g = ((truncated(value) - lower) * 256) / ww;
    return static_cast<std::uint8_t>(std::clamp<long long>(g, 0, 255));
}

}  // namespace

void render_greys(const Plane& disp_image, std::int16_t wl, std::int16_t ww, std::uint8_t* greys)
{
    if (ww == 0)
        throw IntDivideByZero();
    const long long lower = wl - ww / 2;
    if (ww > 0) {
        greys_positive_width(disp_image.data(), static_cast<int>(lower), ww, greys);
        return;
    }
    for (int p = 0; p < plane_pixels; ++p)
        greys[p] = grey_of_negative_width(disp_image[p], lower, ww);
}

void render_display(const Plane& disp_image, std::int16_t wl, std::int16_t ww, std::uint8_t* pixels,
                    std::ptrdiff_t stride)
{
    if (ww == 0)
        throw IntDivideByZero();
    const long long lower = wl - ww / 2;
    if (ww > 0) {
        render_positive_width(disp_image.data(), static_cast<int>(lower), ww, pixels, stride);
        return;
    }
    for (int i = 0; i < plane_side; ++i) {
        std::uint8_t* row = pixels + i * stride;
        for (int j = 0; j < plane_side; ++j)
            row[3 * j] = row[3 * j + 1] = row[3 * j + 2] = grey_of_negative_width(at(disp_image, i, j), lower, ww);
    }
}

void auto_window(const Plane& disp_image, DisplayWindow& window)
{
    window.disp_max = 0.0;
    for (double value : disp_image) {
        if (value > window.disp_max)
            window.disp_max = value;
    }
    auto to_window = [](long double x) {
        return static_cast<std::int16_t>(std::min<long double>(std::trunc(x), 32767.0L));
    };
    window.wl = to_window(static_cast<long double>(window.disp_max) / 2);
    window.ww = to_window(window.disp_max);
}

void drag_press(DragState& drag, const DisplayWindow& window, int x, int y)
{
    drag.press_x = x;
    drag.press_y = y;
    drag.press_ww = window.ww;
    drag.press_wl = window.wl;
    drag.drag_active = true;
}

void drag_release(DragState& drag) { drag.drag_active = false; }

void drag_move(const DragState& drag, DisplayWindow& window, int x, int y)
{
    window.wl = ext::low_16_bits(static_cast<long long>(y) - drag.press_y + drag.press_wl);
    window.ww = ext::low_16_bits(static_cast<long long>(x) - drag.press_x + drag.press_ww);
    if (window.ww < 1)
        window.ww = 1;
}

std::int16_t window_value(long double x)
{
    return ext::low_16_bits_of_whole(std::trunc(x));
}

std::string format_fixed(long double value, int decimals)
{
    char buffer[5000];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

std::string computation_caption(int wl, int ww)
{
    return "(wl,ww) = (" + std::to_string(wl) + "," + std::to_string(ww) + ")";
}

std::string window_caption(const std::string& prefix, int wl, int ww)
{
    return prefix + std::to_string(wl) + " , " + std::to_string(ww) + " )";
}

std::string gfactor_window_caption(const std::string& prefix, int wl, int ww)
{
    return prefix + format_fixed(static_cast<long double>(wl) / 100, 2) + " , " +
           format_fixed(static_cast<long double>(ww) / 100, 2) + " )";
}

std::optional<double> value_under(const Plane& disp_image, int x, int y)
{
    if (x < 0 || x >= plane_side || y < 0 || y >= plane_side)
        return std::nullopt;
    return at(disp_image, y, x);
}

std::string readout_number(double value, ItemKind kind)
{
    if (kind == ItemKind::GFactor)
        return format_fixed(static_cast<long double>(value) / 100, 2);
    return format_fixed(value, 2);
}

}  // namespace snr
