// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/file_io.h"

namespace snr::test {

enum class Call { Stat, Open, Read, Pread, Write, Fsync, Close, Rename, Exchange, Access, Mkdir, Mkdtemp, Link, Opendir };

// Every later call of the kind fails, not only the first.
inline constexpr int every_later_call = -1;

// While alive, one kind of system call made through sys() fails with `error` once `successes`
// calls of that kind have gone through, `times` times (then it is real again); all others are
// real. An error of 0 makes a read or write return 0 (end of file, nothing written).
class InjectFault {
public:
    InjectFault(Call call, int error, int successes = 0, int times = every_later_call);
    ~InjectFault();
    InjectFault(const InjectFault&) = delete;
    InjectFault& operator=(const InjectFault&) = delete;

    // How many calls it has failed so far.
    int failures() const;

private:
    SystemCalls previous_;
};

// Runs `body` in a child with a private mount namespace and a small tmpfs mounted on `folder`
// (mount options such as "size=64k"), so that nothing of it is seen outside; returns what body
// reported, or nothing where this machine lets no process make a namespace of its own.
std::optional<std::string> on_small_file_system(const std::string& folder, const char* options,
                                                const std::function<std::string()>& body);

}  // namespace snr::test
