// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/gfactor.h"
#include "core/legend.h"
#include "record/json_text.h"
#include "record/run_record.h"
#include "window_model/legend_edit.h"
#include "window_model/result_items.h"
#include "window_model/run_view.h"
#include "window_model/view_selection.h"

namespace snr {

// A run's record as it begins: its method, the time now, and R where g is measured.
inline RunRecord begin_run_record(const std::string& method, bool gfactor, const std::string& r_text)
{
    RunRecord run;
    run.method = method;
    run.time = record_time_now();
    run.gfactor = gfactor;
    if (gfactor)
        run.r = reduction_rate(r_text);
    return run;
}

// The view selection without a window: no controls, nothing drawn.
class NoWindow : public SelectionView {
public:
    void show_legend_controls(bool) override {}
    void set_readout_title(const std::string&) override {}
    void show_scale_labels(const LegendLabelTexts&) override {}
    void clear_readout() override {}
    void set_window_caption(const std::string&) override {}
    void render_display() override {}
};

// A program's view selection, in its two steps around the legend edits.
template <class State>
using SelectItem = std::optional<LegendTexts> (*)(State&, int, SelectionView&);
template <class State>
using ShowItem = void (*)(State&, int, SelectionView&);

// The run's legend settings, then every item of the list in list order as a window shows it
// when the item is selected and the run's legend is then typed into its edits: the
// selection's legend texts applied to its map as the edits' change handlers apply them, the
// window the selection sets, then the map stamped with the run's settings again, whose
// labels it keeps. `state` is as the run left it; the selections change it, and the record
// holds it for its planes.
template <class State>
void record_items(RunRecord& run, std::shared_ptr<State> state, ItemTable<State> table, SelectItem<State> select,
                  ShowItem<State> show)
{
    const LegendSettings settings = state->legend;
    run.scale_min = settings.scale_min;
    run.scale_step = settings.scale_step;
    NoWindow no_window;
    const auto captions = list_captions(table, run.gfactor);
    for (std::size_t index = 0; index < captions.size(); ++index) {
        const auto& item = table[index];
        Plane& plane = (*state).*item.plane;
        if (const auto preset = select(*state, static_cast<int>(index), no_window))
            apply_legend_edit(*state, item.kind, &plane, *preset);
        show(*state, static_cast<int>(index), no_window);
        ResultPlane& recorded =
            run.planes.emplace_back(ResultPlane{item.file_name, captions[index], &plane, item.kind, state->window});
        if (item.kind != ItemKind::Other) {
            stamp_legend_wedge(plane, settings);
            const bool gfactor = item.kind == ItemKind::GFactor;
            recorded.legend = LegendTexts{json_number(gfactor ? in_g(settings.scale_min) : settings.scale_min),
                                          json_number(gfactor ? in_g(settings.scale_step) : settings.scale_step)};
        }
    }
    run.store = std::move(state);
}

}  // namespace snr
