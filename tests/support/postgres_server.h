// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>
#include <sys/types.h>

namespace snr::test {

// A private PostgreSQL server: Debian's initdb into a fresh temporary folder and postgres
// listening only on a Unix socket in that folder, run as an ordinary user (nobody while the
// tests run as root, who may not run the server). Its superuser "snr" logs in without a
// password; the role "qa" with the password "qa-secret". Stopped and removed when destroyed;
// the kernel stops it too when the thread that started it ends first (a crashed test).
// Needs a QCoreApplication. Raises std::runtime_error, with the server's log, when it cannot
// be started.
class PostgresServer {
public:
    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    const std::string& socket_folder() const { return folder_; }
    // postgresql:///DBNAME?host=FOLDER, with "USER[:PASSWORD]@" when given.
    std::string url(const std::string& dbname, const std::string& userinfo = "") const;

    // The database "history", emptied: a URL of it for the superuser.
    std::string empty_database();

    // Runs statements as the superuser in the database "history".
    void execute(const std::string& sql);

private:
    std::string folder_;
    pid_t server_ = -1;
};

// The server of the whole test program, started at the first call.
PostgresServer& shared_postgres();
// Stops it, if it runs (at the end of the test program).
void stop_shared_postgres();

// Runs `argv` as an ordinary user: the test's own, or nobody while it runs as root; its
// output appended to `log`; returns the child, or waits and returns its exit status.
pid_t start_as_ordinary_user(const char* const* argv, const std::string& log, bool die_with_parent);
int run_as_ordinary_user(const char* const* argv, const std::string& log);

}  // namespace snr::test
