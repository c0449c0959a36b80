// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <ostream>

#include "tools/snrmap/command_line.h"

namespace snr::snrmap {

struct HistoryModule;

// snrmap listen: the DICOM node, until SIGTERM or SIGINT (then 0). Its log lines go to `err`;
// its runs are recorded through `history` (loaded by the caller where --record). Raises
// snr::Error where it cannot start (the rules file, the spool, the port).
int listen_command(const CommandLine& line, const HistoryModule* history, std::ostream& err);

}  // namespace snr::snrmap
