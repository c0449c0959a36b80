// SPDX-License-Identifier: BSD-3-Clause
#include "window_model/view_selection.h"

namespace snr {

void show_preset_labels(ItemKind kind, const std::optional<LegendTexts>& preset, SelectionView& view)
{
    if (!preset)
        return;
    if (const auto labels = legend_label_texts(kind, *preset))
        view.show_scale_labels(*labels);
}

std::string window_caption_for(ItemKind kind, const std::string& prefix, const DisplayWindow& window)
{
    return kind == ItemKind::GFactor ? gfactor_window_caption(prefix, window.wl, window.ww)
                                     : window_caption(prefix, window.wl, window.ww);
}

static void apply_window_preset(const WindowPreset& preset, ViewerState& state)
{
    switch (preset.rule) {
    case WindowPreset::Rule::Automatic: break;
    case WindowPreset::Rule::Fixed:
        state.window.wl = preset.wl;
        state.window.ww = preset.ww;
        break;
    case WindowPreset::Rule::FromLegend: {
        const long double minimum = state.legend.scale_min;
        const long double step = state.legend.scale_step;
        state.window.wl = window_value(5 * step + minimum);
        state.window.ww = window_value(20 * step + minimum);
        break;
    }
    }
}

void finish_selection(ViewerState& state, ItemKind kind, const WindowPreset& preset, const std::string& prefix,
                      SelectionView& view)
{
    auto_window(state.disp_image, state.window);
    apply_window_preset(preset, state);
    view.set_window_caption(window_caption(prefix, state.window.wl, state.window.ww));
    if (kind == ItemKind::GFactor)
        view.set_window_caption(gfactor_window_caption(prefix, state.window.wl, state.window.ww));
    view.render_display();
}

}  // namespace snr
