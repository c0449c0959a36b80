// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "record/run_record.h"

namespace snr::snrmap {

// The warnings of a measurement on standard error: each DICM file read by the tail rule, then
// each notice of inputs that differ.
void warn_about_inputs(std::ostream& err, const std::vector<InputFile>& files, const std::vector<std::string>& notices);

}  // namespace snr::snrmap
