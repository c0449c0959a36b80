// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/gfactor.h"
#include "core/legend.h"
#include "record/run_record.h"
#include "window_model/legend_edit.h"
#include "window_model/result_items.h"
#include "run/run_settings.h"
#include "run/run_view.h"
#include "window_model/view_selection.h"

namespace snr {

// A run's record as it begins: its method, the time now, and R where g is measured.
inline RunRecord begin_run_record(const std::string& method, const RunSettings& settings)
{
    RunRecord run;
    run.method = method;
    run.time = record_time_now();
    run.gfactor = settings.gfactor;
    run.region.kind = settings.region;
    if (settings.gfactor)
        run.r = reduction_rate(settings.r_text);
    return run;
}

// The run's legend settings, then every item of the list in list order with the window its
// view selection gives it and, for a map, the legend it was stamped with in the units its
// labels read; then the measured region. The record holds `state` for its planes.
template <class State>
void record_items(RunRecord& run, std::shared_ptr<State> state, ItemTable<State> table)
{
    const LegendSettings settings = state->legend;
    run.scale_min = settings.scale_min;
    run.scale_step = settings.scale_step;
    const auto captions = list_captions(table, run.gfactor);
    for (std::size_t index = 0; index < captions.size(); ++index) {
        const auto& item = table[index];
        const Plane& plane = (*state).*item.plane;
        ResultPlane& recorded = run.planes.emplace_back(
            ResultPlane{item.file_name, captions[index], &plane, item.kind, selected_window(plane, item.kind, item.window)});
        if (item.kind == ItemKind::GFactor)
            recorded.legend = LegendScale{in_g(settings.scale_min), in_g(settings.scale_step)};
        else if (item.kind == ItemKind::SnrMap)
            recorded.legend = LegendScale{settings.scale_min, settings.scale_step};
        if (item.legend_box != nullptr)
            recorded.legend_box = &((*state).*item.legend_box);
    }
    run.store = std::move(state);
    find_measured_region(run);
}

}  // namespace snr
