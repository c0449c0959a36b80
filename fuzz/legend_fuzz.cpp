// SPDX-License-Identifier: BSD-3-Clause
// The legend edits and labels on any two texts and any selected item: the map keeps finite
// values, changes only inside the wedge, the labels are plain fixed-point numbers, and every
// failure is a conversion error naming one of the texts or the overflow error.
//
// Input: the item kind byte, then the minimum and the interval text on lines of their own.

#include "core/legend.h"
#include "window_model/legend_edit.h"
#include "fuzz/fuzz_support.h"

using namespace snr;

static bool in_wedge(int p)
{
    const int row = p / plane_side, column = p % plane_side;
    return row >= legend::wedge_top && row <= legend::wedge_bottom && column >= legend::wedge_left &&
           column <= legend::wedge_right;
}

static void check_failure(const Error& error, const std::string& min_text, const std::string& step_text)
{
    const std::string message = error.what();
    fuzz::check(fuzz::is_conversion_message(message, {min_text, step_text}) ||
                    message == FloatError(FloatFault::Overflow).what(),
                "unexpected failure: " + message);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const auto kind = static_cast<ItemKind>(input.byte() % 3);
    const LegendTexts texts{input.line(), input.line()};
    const std::string& min_text = texts.minimum;
    const std::string& step_text = texts.step;

    try {
        if (const auto labels = legend_label_texts(kind, texts)) {
            for (const auto& text : *labels) {
                fuzz::check(!text.empty() && text.find_first_not_of("-0123456789.") == std::string::npos,
                            "label text " + text);
            }
        }
    } catch (const Error& error) {
        check_failure(error, min_text, step_text);
    }

    static ViewerState state;
    static Plane map;
    map.fill(123.25);
    stamp_legend_frame(map);
    state.disp_image.fill(-5.0);
    try {
        const bool applied = apply_legend_edit(state, kind, kind == ItemKind::Other ? nullptr : &map, texts).applied;
        fuzz::check(applied == (!min_text.empty() && !step_text.empty()), "empty text handling");
        if (applied && kind != ItemKind::Other)
            fuzz::check(state.disp_image == map, "the stamped map is not on display");
    } catch (const Error& error) {
        check_failure(error, min_text, step_text);
    }
    fuzz::check_finite(map, "map");
    fuzz::check_finite(state.disp_image, "disp_image");
    fuzz::check(std::isfinite(state.legend.scale_min) && std::isfinite(state.legend.scale_step), "legend settings");
    for (int p = 0; p < plane_pixels; ++p) {
        if (!in_wedge(p)) {
            const int row = p / plane_side, column = p % plane_side;
            const bool frame = row >= legend::frame_top && row <= legend::frame_bottom &&
                               column >= legend::frame_left && column <= legend::frame_right;
            if (map[p] != (frame ? legend::frame_value : 123.25))
                fuzz::fail("changed outside the wedge at " + std::to_string(p));
        }
    }
    return 0;
}
