// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>

#include "node/node_log.h"
#include "node/quiet_studies.h"
#include "tools/snrmap/command_line.h"

namespace snr::snrmap {

// A quiet study's folder (SERIES/INSTANCE.dcm) measured into line.out/STUDY/..., with listen's
// --record, --db, --report and --rules: the step snrmap scan takes for a folder it was given.
// Until the scan is here, each series of two or more instances is one SNR-only consecutive run.
node::StudyResults measure_study(const std::string& batch, const CommandLine& line, node::NodeLog& log);

}  // namespace snr::snrmap
