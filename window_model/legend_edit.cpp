// SPDX-License-Identifier: BSD-3-Clause
#include "window_model/legend_edit.h"

#include <cmath>

#include "core/extended.h"
#include "core/text_number.h"

namespace snr {

std::optional<LegendLabelTexts> legend_label_texts(ItemKind kind, std::string_view min_text,
                                                   std::string_view step_text)
{
    const ext::real minimum = text_to_float(min_text);
    const ext::real step = text_to_float(step_text);
    if (kind == ItemKind::Other)
        return std::nullopt;
    const int decimals = kind == ItemKind::GFactor ? 2 : 0;
    LegendLabelTexts texts;
    for (int k = 0; k < legend::levels_labelled; ++k) {
        const ext::real value = minimum + k * step;
        if (!std::isfinite(value))
            throw FloatError(FloatFault::Overflow);  // both texts are finite, so never a NaN
        texts[k] = format_fixed(value, decimals);
    }
    return texts;
}

bool apply_legend_edit(ViewerState& state, ItemKind kind, Plane* selected_map, std::string_view min_text,
                       std::string_view step_text)
{
    if (min_text.empty() || step_text.empty())
        return false;
    state.scale_min = ext::store(text_to_float(min_text));
    state.scale_step = ext::store(text_to_float(step_text));
    if (kind == ItemKind::Other || selected_map == nullptr)
        return true;
    if (kind == ItemKind::GFactor) {
        state.scale_min = ext::store(100 * text_to_float(min_text));
        state.scale_step = ext::store(100 * text_to_float(step_text));
    }
    stamp_legend_wedge(*selected_map, state.scale_min, state.scale_step);
    state.disp_image = *selected_map;
    return true;
}

}  // namespace snr
