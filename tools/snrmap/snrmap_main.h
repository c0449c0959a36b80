// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace snr::snrmap {

inline constexpr int exit_success = 0;
inline constexpr int exit_failure = 1;  // the measurement, the output or the history failed
inline constexpr int exit_usage = 2;
inline constexpr int exit_beyond = 3;  // the newest run of a trend lies beyond the tolerance

// The whole command: arguments without the program name. The progress bar is drawn on `err`
// only when it is a terminal. An interrupted run returns 128 + the signal, with nothing written.
int run_snrmap(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool err_is_terminal);

}  // namespace snr::snrmap
