// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <memory>
#include <vector>

#include "record/run_record.h"
#include "submap/submap_run.h"

namespace snr {

// The roles of the four images, in selector order.
inline constexpr const char* submap_roles[] = {"nopi_1", "nopi_2", "pi_1", "pi_2"};

// The record of a run of snr_submap from the state it left (its planes, legend and the chosen
// paths), the inputs it was given and its files as the selectors checked them (roles
// submap_roles): settings, images and items as the window shows them. `state` is the run's own
// (a window gives a copy): the record keeps it for its planes, which a window's later edits
// would change. The program, the notices, the regions and the output folder are the caller's
// to add.
RunRecord submap_run_record(std::shared_ptr<SubmapState> state, const SubmapInputs& inputs,
                            std::vector<InputFile> files);

}  // namespace snr
