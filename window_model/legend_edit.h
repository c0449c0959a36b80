// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/display.h"
#include "core/legend.h"
#include "window_model/viewer_state.h"

namespace snr {

using LegendLabelTexts = std::array<std::string, legend::levels_labelled>;

// Captions of the ten legend labels, computed from the edit texts (not from the settings):
// minimum + k * interval, "%.2f" for the g-factor map (in g), "%.0f" for SNR maps, and
// nothing for other items. Both texts are converted first, whatever the item.
std::optional<LegendLabelTexts> legend_label_texts(ItemKind kind, std::string_view min_text,
                                                   std::string_view step_text);

// A change of either legend edit: with both texts non-empty, sets scale_min and scale_step
// from them (times 100 for the g-factor map), re-stamps the wedge of the selected map and
// shows that map. Returns false when a text is empty and nothing changed; the caller then
// refreshes the labels and renders.
bool apply_legend_edit(ViewerState& state, ItemKind kind, Plane* selected_map, std::string_view min_text,
                       std::string_view step_text);

}  // namespace snr
