// SPDX-License-Identifier: BSD-3-Clause
#include "window_model/window_command_line.h"

namespace snr {

WindowArguments read_window_arguments(const WindowProgram& program, const std::vector<std::string>& arguments)
{
    using Action = WindowArguments::Action;
    WindowArguments result;
    bool options = true;
    for (const auto& argument : arguments) {
        if (options && argument == "--") {
            options = false;
        } else if (options && argument == "--help") {
            return {.action = Action::Help,
                    .output = "Usage: " + program.name + " " + program.synopsis + "\n" + program.purpose + "\n"};
        } else if (options && argument == "--version") {
            return {.action = Action::Version, .output = program.name + " " + program.version + "\n"};
        } else if (options && argument.size() > 1 && argument[0] == '-') {
            return {.action = Action::Usage,
                    .errors = program.name + ": unknown option " + argument + "\nUsage: " + program.name + " " +
                              program.synopsis + "\n"};
        } else if (result.paths.size() < program.most_paths) {
            result.paths.push_back(argument);
        } else {
            result.errors += program.name + ": left out (" + std::to_string(program.most_paths) +
                             " at most): " + argument + "\n";
        }
    }
    return result;
}

}  // namespace snr
