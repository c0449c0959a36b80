#pragma once

#include <string>
#include <vector>

#include "consecutive/consecutive_run.h"
#include "core/result_items.h"
#include "core/view_selection.h"

namespace snr {

// The items of snr_consecutive's result list, in list order.
ItemTable<ConsecutiveState> consecutive_item_table();

// The result list: nine items with the g-factor option, the first four without.
std::vector<std::string> consecutive_items(bool gfactor);

inline const std::string consecutive_caption_prefix = "( WL,WW ) = ( ";

// The view selection of an index (-1: none): the legend settings back to 60 and 20, the legend
// edits preset for a map, the item's plane on display with its window, captions and rendering.
void select_consecutive_item(ConsecutiveState& state, int index, SelectionView& view);

}  // namespace snr
