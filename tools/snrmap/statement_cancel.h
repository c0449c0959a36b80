// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QVariant>

namespace snr::snrmap {

// While one lives, SIGINT, SIGTERM and SIGHUP are noted and cancel the statement that the
// PostgreSQL connection being watched waits for (libpq's cancel request), so that a command
// held by a lock ends on Ctrl-C or a kill. The program's own handlers come back at its end.
// The server's notices on that connection are written to stderr on one line each.
class StatementCancel {
public:
    StatementCancel();
    ~StatementCancel();
    StatementCancel(const StatementCancel&) = delete;
    StatementCancel& operator=(const StatementCancel&) = delete;

    // The connection to cancel for: a driver's handle (HistoryDatabase::native_handle); one
    // that is not libpq's is only noted.
    void watch(const QVariant& handle);
    // The signal noted since the start, or 0.
    int signal() const;
};

}  // namespace snr::snrmap
