// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace snr::snrmap {

inline constexpr int exit_success = 0;
inline constexpr int exit_failure = 1;  // the measurement or the output failed
inline constexpr int exit_usage = 2;

// The whole command: arguments without the program name. The progress bar is drawn on `err`
// only when it is a terminal. An interrupted run returns 128 + the signal, with nothing written.
int run_snrmap(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool err_is_terminal);

}  // namespace snr::snrmap
