// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <ostream>

#include "tools/snrmap/command_line.h"

namespace snr::snrmap {

// snrmap listen: the DICOM node, until SIGTERM or SIGINT (then 0). Its log lines go to `err`.
// Raises snr::Error where it cannot start (the spool, the port).
int listen_command(const CommandLine& line, std::ostream& err);

}  // namespace snr::snrmap
