// SPDX-License-Identifier: BSD-3-Clause
#include "consecutive/consecutive_items.h"

namespace snr {

namespace {

using Item = ResultItem<ConsecutiveState>;
using State = ConsecutiveState;

constexpr Item items[] = {
    {"PIなし 代表画像", "PIなし 代表画像", "rep_nopi", ItemKind::Other, &State::rep_nopi, automatic_window},
    {"PIなし 信号値画像", "PIなし 信号値画像", "signal_nopi", ItemKind::Other, &State::signal_nopi, automatic_window},
    {"PIなし 雑音値画像", "PIなし 雑音値画像", "noise_nopi", ItemKind::Other, &State::noise_nopi, automatic_window},
    {"PIなし SNR map", "PIなし SNR map", "snr_nopi", ItemKind::SnrMap, &State::snr_nopi, legend_window,
     &State::snr_nopi_box},
    {"PIあり 代表画像", nullptr, "rep_pi", ItemKind::Other, &State::rep_pi, automatic_window},
    {"PIあり 信号値画像", nullptr, "signal_pi", ItemKind::Other, &State::signal_pi, automatic_window},
    {"PIあり 雑音値画像", nullptr, "noise_pi", ItemKind::Other, &State::noise_pi, automatic_window},
    {"PIあり SNR map", nullptr, "snr_pi", ItemKind::SnrMap, &State::snr_pi, legend_window, &State::snr_pi_box},
    {"g-factor map", nullptr, "gfactor_map", ItemKind::GFactor, &State::gfactor_map, fixed_window(200, 400),
     &State::gfactor_box},
};
static_assert(single_layout_leads(items));

}  // namespace

ItemTable<ConsecutiveState> consecutive_item_table() { return items; }

std::optional<LegendTexts> select_consecutive_item(ConsecutiveState& state, int index, SelectionView& view)
{
    view.show_legend_controls(false);
    state.legend = default_legend_settings();
    return legend_preset_for(kind_at(consecutive_item_table(), index));
}

void show_consecutive_item(ConsecutiveState& state, int index, SelectionView& view)
{
    const auto table = consecutive_item_table();
    const ItemKind kind = kind_at(table, index);
    if (kind == ItemKind::Other)
        view.set_readout_title(" 信号強度 = ");
    else if (kind == ItemKind::SnrMap)
        view.set_readout_title(" SNR = ");  // the g-factor map keeps the title it has
    show_preset_labels(kind, legend_preset_for(kind), view);
    if (const Plane* plane = plane_at(table, state, index)) {
        state.disp_image = *plane;
        if (kind != ItemKind::Other)
            view.show_legend_controls(true);
    }
    finish_selection(state, kind, window_at(table, index), consecutive_caption_prefix, view);
}

}  // namespace snr
