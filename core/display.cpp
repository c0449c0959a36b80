#include "core/display.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/errors.h"

namespace snr {

namespace {

// Exact quotient n / d for 0 <= n < 2^24 and 1 <= d < 2^15 by one multiplication:
// with m = floor(2^40 / d) + 1 the error n * (m - 2^40/d) / 2^40 stays below 1/d.
struct Reciprocal {
    explicit Reciprocal(std::uint64_t divisor) : multiplier((std::uint64_t{1} << 40) / divisor + 1) {}
    std::uint32_t divide(std::uint64_t n) const { return static_cast<std::uint32_t>((n * multiplier) >> 40); }
    std::uint64_t multiplier;
};

// Plane values are clamped to this before truncation; far beyond anything a window reaches.
constexpr double value_limit = 1.0e12;

long long truncated(double x)
{
    // NaN never enters a plane; clamp keeps the conversion defined for any finite value.
    return static_cast<long long>(std::clamp(x, -value_limit, value_limit));
}

}  // namespace

void render_display(const Plane& disp_image, std::int16_t wl, std::int16_t ww, std::uint8_t* pixels,
                    std::ptrdiff_t stride)
{
    if (ww == 0)
        throw IntDivideByZero();
    const long long lower = wl - ww / 2;
    if (ww > 0) {
        const Reciprocal reciprocal(static_cast<std::uint64_t>(ww));
        for (int i = 0; i < plane_side; ++i) {
            std::uint8_t* row = pixels + i * stride;
            const double* values = disp_image.data() + i * plane_side;
            for (int j = 0; j < plane_side; ++j) {
                const long long offset = truncated(values[j]) - lower;
                std::uint8_t grey;
                if (offset <= 0)
                    grey = 0;
                else if (offset >= ww)
                    grey = 255;
                else
                    grey = static_cast<std::uint8_t>(reciprocal.divide(static_cast<std::uint64_t>(offset) * 256));
                row[3 * j] = row[3 * j + 1] = row[3 * j + 2] = grey;
            }
        }
        return;
    }
    // A negative width maps backwards; it only arises from a hand-made window.
    for (int i = 0; i < plane_side; ++i) {
        std::uint8_t* row = pixels + i * stride;
        for (int j = 0; j < plane_side; ++j) {
            const long long g = ((truncated(at(disp_image, i, j)) - lower) * 256) / ww;
            const auto grey = static_cast<std::uint8_t>(std::clamp<long long>(g, 0, 255));
            row[3 * j] = row[3 * j + 1] = row[3 * j + 2] = grey;
        }
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

static std::int16_t low_16_bits(long long value)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<unsigned long long>(value) & 0xFFFFu));
}

void drag_move(const DragState& drag, DisplayWindow& window, int x, int y)
{
    window.wl = low_16_bits(static_cast<long long>(y) - drag.press_y + drag.press_wl);
    window.ww = low_16_bits(static_cast<long long>(x) - drag.press_x + drag.press_ww);
    if (window.ww < 1)
        window.ww = 1;
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
