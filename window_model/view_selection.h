// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>

#include "core/display.h"
#include "window_model/result_items.h"
#include "window_model/viewer_state.h"

namespace snr {

// What a view selection shows, step by step: the windows with their controls, snrmap with
// nothing. The steps come in the order the program takes them, because setting a legend edit
// runs its change handler at once; that handler's failure ends it alone, and the selection
// goes on with its next step.
class SelectionView {
public:
    virtual ~SelectionView() = default;
    virtual void show_legend_controls(bool shown) = 0;
    virtual void set_readout_title(const std::string& title) = 0;
    // Sets the legend edits as the program; each text that changes runs its change handler,
    // which reports its own failure and returns.
    virtual void preset_legend_edits(const std::string& minimum, const std::string& step) = 0;
    virtual void update_scale_labels() = 0;
    virtual void clear_readout() = 0;
    virtual void set_window_caption(const std::string& caption) = 0;
    virtual void render_display() = 0;
};

// The legend edit texts a selection sets for a map: "60" / "20" for SNR, "0.6" / "0.2" for g.
void preset_legend_edits_for(ItemKind kind, SelectionView& view);

// The window caption after a window change: in g for the g-factor map, else in plane units.
std::string window_caption_for(ItemKind kind, const std::string& prefix, const DisplayWindow& window);

// The end of every selection, after the plane is on display: the automatic window, the item's
// preset in its place, the integer caption (and then the g-factor one for that map), rendering.
void finish_selection(ViewerState& state, ItemKind kind, const WindowPreset& preset, const std::string& prefix,
                      SelectionView& view);

}  // namespace snr
