// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "consecutive/consecutive_run.h"
#include "window_model/result_items.h"
#include "window_model/view_selection.h"

namespace snr {

// The items of snr_consecutive's result list in list order: all nine with the g-factor, the
// first four without.
ItemTable<ConsecutiveState> consecutive_item_table();

inline constexpr char consecutive_caption_prefix[] = "( WL,WW ) = ( ";

// The view selection of an index (-1: none): the legend settings back to 60 and 20, the legend
// edits preset for a map, the item's plane on display with its window, captions and rendering.
void select_consecutive_item(ConsecutiveState& state, int index, SelectionView& view);

}  // namespace snr
