#pragma once

#include "consecutive/consecutive_run.h"
#include "core/display.h"

namespace snr {

// Result list indexes with a meaning of their own.
inline constexpr int nopi_snr_item = 3;
inline constexpr int pi_snr_item = 7;
inline constexpr int gfactor_item = 8;

ItemKind consecutive_item_kind(int index);

// The plane a result list item shows; nothing for an index outside the list.
Plane* consecutive_item_plane(ConsecutiveState& state, int index);

// The window a selection sets after the automatic window: the SNR window from the legend
// settings for SNR maps, 200 / 400 for the g-factor map, unchanged otherwise.
void apply_consecutive_window_preset(ConsecutiveState& state, int index);

}  // namespace snr
