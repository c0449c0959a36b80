// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/plane.h"

namespace snr {

// Window level and width (plane units) and the maximum found by the last automatic window.
struct DisplayWindow {
    std::int16_t wl = 0;
    std::int16_t ww = 0;
    double disp_max = 0.0;
};

// Window drag: the press that started it and the window at that press.
struct DragState {
    bool drag_active = false;
    std::int32_t press_x = 0;
    std::int32_t press_y = 0;
    std::int16_t press_wl = 0;
    std::int16_t press_ww = 0;
};

// What the selected list item shows, for readout and captions.
enum class ItemKind { Other, SnrMap, GFactor };

inline constexpr int display_bytes_per_pixel = 3;

// Maps every plane value through the window into 256 grey levels and writes the three
// bytes of each pixel of a 256 x 256 picture whose rows start `stride` bytes apart.
// A width of 0 raises the integer division error before any pixel changes.
void render_display(const Plane& disp_image, std::int16_t wl, std::int16_t ww, std::uint8_t* pixels,
                    std::ptrdiff_t stride);

// The same grey levels, one byte per pixel in plane order.
void render_greys(const Plane& disp_image, std::int16_t wl, std::int16_t ww, std::uint8_t* greys);

// Window from the plane maximum (at least 0): level max / 2, width max, each truncated;
// values beyond the 16-bit range are stored as 32,767.
void auto_window(const Plane& disp_image, DisplayWindow& window);

void drag_press(DragState& drag, const DisplayWindow& window, int x, int y);
void drag_release(DragState& drag);
// The window for a move to (x, y) while dragging: one pixel of travel is one unit, taken
// modulo 2^16, and the width is raised to at least 1.
void drag_move(const DragState& drag, DisplayWindow& window, int x, int y);

// A window value from an extended expression: truncated toward zero, low 16 bits kept.
// Beyond the 64-bit integer range the conversion is an invalid operation.
std::int16_t window_value(long double x);

// Fixed-point text of a value, as "%.2f" / "%.0f" would give it in the C locale.
std::string format_fixed(long double value, int decimals);

// "(wl,ww) = (227,455)": the caption of the consecutive computation.
std::string computation_caption(int wl, int ww);
// prefix + wl + " , " + ww + " )", with prefix "( WL,WW ) = ( " or its two-blank variant.
std::string window_caption(const std::string& prefix, int wl, int ww);
// The same with wl / 100 and ww / 100 in "%.2f".
std::string gfactor_window_caption(const std::string& prefix, int wl, int ww);

// The plane value under the mouse, or nothing outside the plane.
std::optional<double> value_under(const Plane& disp_image, int x, int y);
// The readout number: the value in "%.2f", for the g-factor map divided by 100 first.
std::string readout_number(double value, ItemKind kind);

}  // namespace snr
