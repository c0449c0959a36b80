#pragma once

#include "core/file_io.h"

namespace snr::test {

enum class Call { Stat, Open, Read, Pread, Write, Fsync, Close, Rename, Access };

// While alive, one kind of system call of the slice reader, the marker scan and the export
// fails with `error` once `successes` calls of that kind have gone through; all others are
// real. An error of 0 makes a read or write return 0 (end of file, nothing written).
class InjectFault {
public:
    InjectFault(Call call, int error, int successes = 0);
    ~InjectFault();
    InjectFault(const InjectFault&) = delete;
    InjectFault& operator=(const InjectFault&) = delete;

    // How many calls it has failed so far.
    int failures() const;

private:
    SystemCalls previous_;
};

}  // namespace snr::test
