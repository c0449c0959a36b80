// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace snr {

// What a window program says about its command line.
struct WindowProgram {
    std::string name;  // "snr_submap"
    std::string version;
    std::string synopsis;  // the paths it takes, e.g. "[FILE...]"
    std::string purpose;   // what it does with them, for --help
    std::size_t most_paths;
};

struct WindowArguments {
    enum class Action { Open, Help, Version, Usage };
    Action action = Action::Open;
    std::vector<std::string> paths;  // at most `most_paths`, in the order given
    std::string output;              // for standard output (help, version)
    std::string errors;              // for standard error: a usage error, or paths left over
};

// Reads the arguments that remain after the toolkit has taken its own options (argv[0] not
// included). "--help" and "--version" answer; "--" ends the options; any other argument that
// starts with "-" is a usage error. Paths beyond `most_paths` are left out with a note.
WindowArguments read_window_arguments(const WindowProgram& program, const std::vector<std::string>& arguments);

}  // namespace snr
