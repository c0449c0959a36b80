// SPDX-License-Identifier: BSD-3-Clause
#include "submap/submap_record.h"

#include <utility>

#include "core/path.h"
#include "record/run_items.h"
#include "submap/submap_items.h"

namespace snr {

RunRecord submap_run_record(std::shared_ptr<SubmapState> state, const SubmapInputs& inputs,
                            std::vector<InputFile> files)
{
    RunRecord run = begin_run_record("submap", inputs);
    run.files = std::move(files);
    const auto paths = std::as_const(*state).paths();
    for (std::size_t k = 0; k < (inputs.gfactor ? 4u : 2u); ++k)
        run.inputs.emplace_back(submap_roles[k], absolute_path(*paths[k]));
    run.slice_counts.emplace_back("nopi", 2);
    if (inputs.gfactor)
        run.slice_counts.emplace_back("pi", 2);
    record_items(run, std::move(state), submap_item_table());
    return run;
}

}  // namespace snr
