// SPDX-License-Identifier: BSD-3-Clause
#include "consecutive/consecutive_record.h"

#include "consecutive/consecutive_items.h"
#include "core/path.h"
#include "record/run_items.h"

namespace snr {

RunRecord consecutive_run_record(std::shared_ptr<ConsecutiveState> state, const ConsecutiveInputs& inputs)
{
    RunRecord run = begin_run_record("consecutive", inputs);
    run.inputs.emplace_back("nopi", absolute_path(inputs.nopi_folder));
    run.slice_counts.emplace_back("nopi", state->count_nopi);
    if (inputs.gfactor) {
        run.inputs.emplace_back("pi", absolute_path(inputs.pi_folder));
        run.slice_counts.emplace_back("pi", state->count_pi);
    }
    for (const auto& [role, slices] : {std::pair{"nopi", &state->slices_nopi}, std::pair{"pi", &state->slices_pi}}) {
        for (const auto& slice : *slices) {
            if (slice.frame == 0)  // a file of several frames is listed once
                run.files.push_back({role, file_name_part(slice.path), slice.source, slice.path});
        }
    }
    record_items(run, std::move(state), consecutive_item_table());
    return run;
}

}  // namespace snr
