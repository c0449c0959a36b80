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

// The view selection of an index (-1: none), in two steps around the legend edits
// (SelectionView). The first hides the legend controls, sets the legend settings back to 60 and
// 20 and returns the texts the item wants in the edits; the second shows the item: readout
// title, labels, its plane on display with the legend controls, its window, captions and
// rendering.
std::optional<LegendTexts> select_consecutive_item(ConsecutiveState& state, int index, SelectionView& view);
void show_consecutive_item(ConsecutiveState& state, int index, SelectionView& view);

}  // namespace snr
