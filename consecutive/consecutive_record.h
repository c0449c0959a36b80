// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <memory>

#include "consecutive/consecutive_run.h"
#include "record/run_record.h"

namespace snr {

// The record of a run of snr_consecutive from the state it left and the inputs it was given:
// its settings, folders, slice counts, files and items as the window shows them. `state` is
// the run's own (a window gives a copy): the record keeps it for its planes, which a window's
// later edits would change. The program, the notices, the regions and the output folder are
// the caller's to add.
RunRecord consecutive_run_record(std::shared_ptr<ConsecutiveState> state, const ConsecutiveInputs& inputs);

}  // namespace snr
