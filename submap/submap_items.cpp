// SPDX-License-Identifier: BSD-3-Clause
#include "submap/submap_items.h"

namespace snr {

namespace {

using Item = ResultItem<SubmapState>;
using State = SubmapState;

constexpr Item items[] = {
    {"PIなし 画像1", "画像1", "img1_nopi", ItemKind::Other, &State::img1_nopi, automatic_window},
    {"PIなし 画像2", "画像2", "img2_nopi", ItemKind::Other, &State::img2_nopi, automatic_window},
    {"PIなし 信号値画像", "信号値画像", "signal_nopi", ItemKind::Other, &State::signal_nopi, automatic_window},
    {"PIなし 雑音値画像", "雑音値画像", "noise_nopi", ItemKind::Other, &State::noise_nopi, automatic_window},
    {"PIなし SNR map", "SNR map", "snr_nopi", ItemKind::SnrMap, &State::snr_nopi, automatic_window,
     &State::snr_nopi_box},
    {"PIあり 画像1", nullptr, "img1_pi", ItemKind::Other, &State::img1_pi, automatic_window},
    {"PIあり 画像2", nullptr, "img2_pi", ItemKind::Other, &State::img2_pi, automatic_window},
    {"PIあり 信号値画像", nullptr, "signal_pi", ItemKind::Other, &State::signal_pi, automatic_window},
    {"PIあり 雑音値画像", nullptr, "noise_pi", ItemKind::Other, &State::noise_pi, automatic_window},
    {"PIあり SNRmap", nullptr, "snr_pi", ItemKind::SnrMap, &State::snr_pi, automatic_window, &State::snr_pi_box},
    {"g-factor map", nullptr, "gfactor_map", ItemKind::GFactor, &State::gfactor_map, fixed_window(100, 200),
     &State::gfactor_box},
};
static_assert(single_layout_leads(items));

const char* readout_title(ItemKind kind)
{
    switch (kind) {
    case ItemKind::SnrMap: return "SNR";
    case ItemKind::GFactor: return "g-factor";
    case ItemKind::Other: break;
    }
    return "信号強度";
}

}  // namespace

ItemTable<SubmapState> submap_item_table() { return items; }

std::optional<LegendTexts> select_submap_item(SubmapState&, int index, SelectionView& view)
{
    const ItemKind kind = kind_at(submap_item_table(), index);
    view.set_readout_title(readout_title(kind));
    view.show_legend_controls(kind != ItemKind::Other);
    return legend_preset_for(kind);
}

void show_submap_item(SubmapState& state, int index, SelectionView& view)
{
    const auto table = submap_item_table();
    const ItemKind kind = kind_at(table, index);
    show_preset_labels(kind, legend_preset_for(kind), view);
    view.clear_readout();
    if (const Plane* plane = plane_at(table, state, index))
        state.disp_image = *plane;
    finish_selection(state, kind, window_at(table, index), submap_caption_prefix, view);
}

}  // namespace snr
