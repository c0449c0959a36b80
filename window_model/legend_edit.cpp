// SPDX-License-Identifier: BSD-3-Clause
#include "window_model/legend_edit.h"

#include <cmath>

#include "core/extended.h"
#include "core/text_number.h"

namespace snr {

namespace {

// A legend text as a number in extended precision, for the labels' arithmetic. Its value must
// fit a double, as the settings hold it: "1e400" is the overflow wherever it is typed, as it
// is in a run and in snrmap, never labels of 401 digits over a wedge left as it was.
ext::real legend_number(const std::string& text)
{
    const ext::real value = text_to_float(text);
    ext::store(value);
    return value;
}

LegendLabelTexts label_texts(ItemKind kind, ext::real minimum, ext::real step)
{
    const int decimals = kind == ItemKind::GFactor ? 2 : 0;
    LegendLabelTexts texts;
    for (int k = 0; k < legend::levels_labelled; ++k) {
        const ext::real value = minimum + k * step;
        if (!std::isfinite(value))
            throw FloatError(FloatFault::Overflow);  // both numbers are finite, so never a NaN
        texts[k] = format_fixed(value, decimals);
    }
    return texts;
}

}  // namespace

std::optional<LegendTexts> legend_preset_for(ItemKind kind)
{
    switch (kind) {
    case ItemKind::SnrMap: return LegendTexts{};
    case ItemKind::GFactor: return LegendTexts{"0.6", "0.2"};
    case ItemKind::Other: break;
    }
    return std::nullopt;
}

void read_legend_settings(const LegendTexts& texts, LegendSettings& settings)
{
    settings.scale_min = ext::store(legend_number(texts.minimum));
    settings.scale_step = ext::store(legend_number(texts.step));
}

const LegendSettings& default_legend_settings()
{
    static const LegendSettings settings = [] {
        LegendSettings read;
        read_legend_settings(LegendTexts{}, read);
        return read;
    }();
    return settings;
}

LegendSettings map_legend_settings(ItemKind kind, const LegendTexts& texts)
{
    const ext::real minimum = legend_number(texts.minimum);
    const ext::real step = legend_number(texts.step);
    const ext::real scale = kind == ItemKind::GFactor ? 100 : 1;
    return {ext::store(scale * minimum), ext::store(scale * step)};
}

std::optional<LegendLabelTexts> legend_label_texts(ItemKind kind, const LegendScale& scale)
{
    if (kind == ItemKind::Other)
        return std::nullopt;
    return label_texts(kind, scale.minimum, scale.step);
}

std::optional<LegendLabelTexts> legend_label_texts(ItemKind kind, const LegendTexts& texts)
{
    const ext::real minimum = legend_number(texts.minimum);
    const ext::real step = legend_number(texts.step);
    if (kind == ItemKind::Other)
        return std::nullopt;
    return label_texts(kind, minimum, step);
}

LegendEdit apply_legend_edit(ViewerState& state, ItemKind kind, Plane* selected_map, const LegendTexts& texts)
{
    if (texts.minimum.empty() || texts.step.empty())
        return {};
    const ext::real minimum = legend_number(texts.minimum);
    state.legend.scale_min = ext::store(minimum);
    const ext::real step = legend_number(texts.step);
    state.legend.scale_step = ext::store(step);
    if (kind == ItemKind::Other || selected_map == nullptr)
        return {.applied = true};
    if (kind == ItemKind::GFactor) {
        state.legend.scale_min = ext::store(100 * minimum);
        state.legend.scale_step = ext::store(100 * step);
    }
    stamp_legend_wedge(*selected_map, state.legend);
    state.disp_image = *selected_map;
    return {.applied = true, .labels = label_texts(kind, minimum, step)};
}

}  // namespace snr
