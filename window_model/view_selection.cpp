// SPDX-License-Identifier: BSD-3-Clause
#include "window_model/view_selection.h"

#include <memory>

#include "core/legend.h"

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

void apply_window_preset(const WindowPreset& preset, const LegendSettings& legend, DisplayWindow& window)
{
    switch (preset.rule) {
    case WindowPreset::Rule::Automatic: break;
    case WindowPreset::Rule::Fixed:
        window.wl = preset.wl;
        window.ww = preset.ww;
        break;
    case WindowPreset::Rule::FromLegend: {
        const long double minimum = legend.scale_min;
        const long double step = legend.scale_step;
        window.wl = window_value(5 * step + minimum);
        window.ww = window_value(20 * step + minimum);
        break;
    }
    }
}

DisplayWindow selected_window(const Plane& plane, ItemKind kind, const WindowPreset& preset)
{
    DisplayWindow window;
    const auto legend = legend_preset_for(kind);
    if (!legend) {
        auto_window(plane, window);
        apply_window_preset(preset, default_legend_settings(), window);
        return window;
    }
    const LegendSettings settings = map_legend_settings(kind, *legend);
    auto shown = std::make_unique<Plane>(plane);
    stamp_legend_wedge(*shown, settings);
    auto_window(*shown, window);
    apply_window_preset(preset, settings, window);
    return window;
}

void finish_selection(ViewerState& state, ItemKind kind, const WindowPreset& preset, const std::string& prefix,
                      SelectionView& view)
{
    auto_window(state.disp_image, state.window);
    apply_window_preset(preset, state.legend, state.window);
    view.set_window_caption(window_caption(prefix, state.window.wl, state.window.ww));
    if (kind == ItemKind::GFactor)
        view.set_window_caption(gfactor_window_caption(prefix, state.window.wl, state.window.ww));
    view.render_display();
}

}  // namespace snr
