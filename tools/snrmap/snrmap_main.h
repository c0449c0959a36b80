// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <exception>
#include <ostream>
#include <string>
#include <vector>

#include "tools/snrmap/interrupt.h"

namespace snr::snrmap {

inline constexpr int exit_success = 0;
inline constexpr int exit_failure = 1;  // the measurement, the output or the history failed
inline constexpr int exit_usage = 2;
inline constexpr int exit_beyond = 3;  // the newest run of a trend lies beyond the tolerance

// The whole command: arguments without the program name. The progress bar is drawn on `err`
// only when it is a terminal. An interrupted run returns 128 + the signal, with nothing written.
int run_snrmap(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool err_is_terminal);

// The line for a failure: "snrmap: PATH: reason" where it is about a file or folder (the path
// as given; the reason without the file's name and the particle after it), else the
// program's own text. Neither has the error box's full stop.
std::string failure_line(const std::exception& failure);

// Runs `body`, which returns an exit status, as the outermost handler of a command: 128 + the
// signal where it was interrupted, 1 and the failure's line on `err` where it failed.
template <class Body>
int status_of(std::ostream& err, Body&& body)
{
    try {
        return body();
    } catch (const Interrupted& interrupted) {
        return 128 + interrupted.signal();
    } catch (const std::exception& error) {
        err << failure_line(error) << "\n" << std::flush;
        return exit_failure;
    }
}

struct CommandLine;
struct HistoryModule;

// A measurement as `snrmap consecutive` or `snrmap submap` makes it from `line`: measured,
// written into line.out with its report and DICOM maps, and recorded where `history` is given
// (loaded beforehand). Returns the exit status; what goes wrong is said on `err`.
int measure_into_folder(const CommandLine& line, const HistoryModule* history, std::ostream& out, std::ostream& err,
                        bool err_is_terminal);

}  // namespace snr::snrmap
