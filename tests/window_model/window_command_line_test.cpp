// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include "window_model/window_command_line.h"

namespace snr {
namespace {

using Action = WindowArguments::Action;
const WindowProgram program{
    .name = "snr_submap", .version = "1.2.3", .synopsis = "[FILE...]", .purpose = "Opens it.", .most_paths = 2};

WindowArguments read(std::vector<std::string> arguments) { return read_window_arguments(program, arguments); }

TEST(WindowCommandLine, PathsOptionsAndWhatIsLeftOut)
{
    EXPECT_EQ(read({}).paths.size(), 0U);
    EXPECT_EQ(read({"a", "-"}).paths, (std::vector<std::string>{"a", "-"}));

    const auto extra = read({"a", "--", "-b", "c"});
    EXPECT_EQ(extra.action, Action::Open);
    EXPECT_EQ(extra.paths, (std::vector<std::string>{"a", "-b"}));
    EXPECT_EQ(extra.errors, "snr_submap: left out (2 at most): c\n");
    EXPECT_EQ(read({"--", "--help"}).paths, std::vector<std::string>{"--help"});

    EXPECT_EQ(read({"a", "--help", "-x"}).output, "Usage: snr_submap [FILE...]\nOpens it.\n");
    EXPECT_EQ(read({"--version"}).output, "snr_submap 1.2.3\n");
    const auto unknown = read({"a", "-x", "--help"});
    EXPECT_EQ(unknown.action, Action::Usage);
    EXPECT_EQ(unknown.errors, "snr_submap: unknown option -x\nUsage: snr_submap [FILE...]\n");
}

}  // namespace
}  // namespace snr
