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

// The view selection of an index (-1: none): the readout title, the legend controls and, for a
// map, the legend edits preset; the readout cleared, the item's plane on display with its
// window, captions and rendering. The legend settings are left to the edits.
void select_submap_item(SubmapState& state, int index, SelectionView& view);

}  // namespace snr
