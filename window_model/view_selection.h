// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>

#include "core/display.h"
#include "window_model/legend_edit.h"
#include "window_model/result_items.h"
#include "window_model/viewer_state.h"

namespace snr {

// What a view selection shows, step by step: the windows with their controls, snrmap with
// nothing. The steps come in the order the program takes them.
//
// A selection comes in two steps around the legend edits: the program's select function
// returns the texts the item wants in the edits (legend_preset_for), and its show function
// shows the item. Between them the caller puts the texts into the edits as the program does: a
// window through its edits, where each text that changes runs its change handler at once (a
// handler of its own, whose failure ends it alone); snrmap, which has no edits, through
// apply_legend_edit.
class SelectionView {
public:
    virtual ~SelectionView() = default;
    virtual void show_legend_controls(bool shown) = 0;
    virtual void set_readout_title(const std::string& title) = 0;
    virtual void show_scale_labels(const LegendLabelTexts& texts) = 0;
    virtual void clear_readout() = 0;
    virtual void set_window_caption(const std::string& caption) = 0;
    virtual void render_display() = 0;
};

// The labels after a selection has put `preset` into the edits.
void show_preset_labels(ItemKind kind, const std::optional<LegendTexts>& preset, SelectionView& view);

// The window caption after a window change: in g for the g-factor map, else in plane units.
std::string window_caption_for(ItemKind kind, const std::string& prefix, const DisplayWindow& window);

// A selection's window once its plane has had its automatic window: the item's own rule, the
// legend rule from `legend` (the settings the edits gave the map).
void apply_window_preset(const WindowPreset& preset, const LegendSettings& legend, DisplayWindow& window);

// The window a view selection of an item gives it, as a window would, without one: the plane
// as the run left it, its wedge stamped with the legend the selection puts into the edits, its
// automatic window, then its own rule.
DisplayWindow selected_window(const Plane& plane, ItemKind kind, const WindowPreset& preset);

// The end of every selection, after the plane is on display: the automatic window, the item's
// preset in its place, the integer caption (and then the g-factor one for that map), rendering.
void finish_selection(ViewerState& state, ItemKind kind, const WindowPreset& preset, const std::string& prefix,
                      SelectionView& view);

}  // namespace snr
