// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "window_model/result_items.h"
#include "window_model/view_selection.h"
#include "submap/submap_run.h"

namespace snr {

// The items of snr_submap's result list in list order: all eleven with the g-factor, the first
// five (under their single captions) without.
ItemTable<SubmapState> submap_item_table();

inline constexpr char submap_caption_prefix[] = "  ( WL,WW ) = ( ";

// The view selection of an index (-1: none), in two steps around the legend edits
// (SelectionView). The first sets the readout title and shows or hides the legend controls and
// returns the texts the item wants in the edits; the second shows the item: labels, the
// readout cleared, its plane on display with its window, captions and rendering. The legend
// settings are left to the edits.
std::optional<LegendTexts> select_submap_item(SubmapState& state, int index, SelectionView& view);
void show_submap_item(SubmapState& state, int index, SelectionView& view);

}  // namespace snr
