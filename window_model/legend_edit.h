// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <array>
#include <optional>
#include <string>

#include "core/display.h"
#include "core/legend.h"
#include "window_model/viewer_state.h"

namespace snr {

// The texts of the legend edits "最低値" and "間隔" as the user reads them: in plane units when
// a run reads them and on an SNR map, in g on the g-factor map. The edits start with these
// defaults, and so do a run's inputs and snrmap's options.
struct LegendTexts {
    std::string minimum = "60";
    std::string step = "20";
    bool operator==(const LegendTexts&) const = default;
};

// The texts a view selection puts into the edits: the defaults for an SNR map, "0.6" and "0.2"
// (in g) for the g-factor map, none for other items.
std::optional<LegendTexts> legend_preset_for(ItemKind kind);

// Reads the texts into `settings` as a run does: the minimum, then the interval, each rounded
// to double. A text that is no number, or whose value is beyond the double range, raises (the
// conversion error, the overflow) with the settings before it already set.
void read_legend_settings(const LegendTexts& texts, LegendSettings& settings);

// The settings of the default texts, 60 and 20.
const LegendSettings& default_legend_settings();

using LegendLabelTexts = std::array<std::string, legend::levels_labelled>;

// A legend as numbers in the units the labels read (g for the g-factor map): what a record
// keeps of the texts a run's legend was stamped with.
struct LegendScale {
    double minimum = 0.0;
    double step = 0.0;
    bool operator==(const LegendScale&) const = default;
};

// The settings the edits' texts give the wedge of a map, in plane units: read as a run reads
// them, times 100 for the g-factor map. Raises as read_legend_settings.
LegendSettings map_legend_settings(ItemKind kind, const LegendTexts& texts);

// Captions of the ten legend labels, computed from the edit texts (not from the settings):
// minimum + k * interval, "%.2f" for the g-factor map (in g), "%.0f" for SNR maps, and
// nothing for other items. Both texts are read first, whatever the item, and raise as above.
std::optional<LegendLabelTexts> legend_label_texts(ItemKind kind, const LegendTexts& texts);
// The same from the numbers the texts read as.
std::optional<LegendLabelTexts> legend_label_texts(ItemKind kind, const LegendScale& scale);

// What a change of either legend edit did to the model.
struct LegendEdit {
    bool applied = false;                    // false: a text was empty, nothing changed
    std::optional<LegendLabelTexts> labels;  // the labels of the selected item, for a map
};

// A change of either legend edit: with both texts non-empty, reads them once into the
// settings (times 100 for the g-factor map), re-stamps the wedge of the selected map, shows
// that map and makes the labels from the same numbers. The caller then renders.
LegendEdit apply_legend_edit(ViewerState& state, ItemKind kind, Plane* selected_map, const LegendTexts& texts);

}  // namespace snr
