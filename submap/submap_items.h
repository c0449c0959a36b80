#pragma once

#include "core/display.h"
#include "submap/submap_run.h"

namespace snr {

// Result list indexes with a meaning of their own.
inline constexpr int submap_nopi_snr_item = 4;
inline constexpr int submap_pi_snr_item = 9;
inline constexpr int submap_gfactor_item = 10;

ItemKind submap_item_kind(int index);

// The plane a result list item shows; nothing for an index outside the list.
Plane* submap_item_plane(SubmapState& state, int index);

// The window a selection sets after the automatic window: 100 / 200 for the g-factor map.
void apply_submap_window_preset(SubmapState& state, int index);

}  // namespace snr
