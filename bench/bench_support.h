// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tools/snrmap/output_folder.h"
#include "tools/snrmap/phantom.h"

extern char** environ;

namespace snr::bench {

// One phantom of 64 + 64 slices and its pairs, below phantom_folder().file("phantom"), made
// once for all runs.
inline const test::TempFolder& phantom_folder()
{
    static const test::TempFolder folder;
    static const bool written = [] {
        snrmap::StagedOutput output(folder.file("phantom"));
        snrmap::write_phantom(snrmap::PhantomSettings{64, 1, 2.0}, output);
        output.commit();
        return true;
    }();
    (void)written;
    return folder;
}

// Starts a program and waits for it; false unless it ran and exited with 0. With `usage`, the
// kernel's account of the finished child (its peak memory among it). With `discard_output`
// its standard output goes to /dev/null.
inline bool run_process(std::vector<std::string> args, rusage* usage = nullptr, bool discard_output = false)
{
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (discard_output)
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const int spawned = ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    int status = 0;
    rusage ignored{};
    ::wait4(child, &status, 0, usage != nullptr ? usage : &ignored);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace snr::bench
