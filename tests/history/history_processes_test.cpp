// SPDX-License-Identifier: BSD-3-Clause
// Recorders in processes of their own: several at once, one killed while it writes, one that
// may not write. And the failures of each back end: a file that is no database, a server that
// is not there, a refused login.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/history/history_backends.h"
#include "tests/history/history_samples.h"

extern char** environ;

namespace snr::test {
namespace {

// history_writer URL COUNT, its standard output on a pipe.
class Writer {
public:
    Writer(const std::string& url, int count)
    {
        int pipe[2];
        if (::pipe2(pipe, O_CLOEXEC) != 0)
            throw std::runtime_error("no pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
        const std::string count_text = std::to_string(count);
        const char* const argv[] = {HISTORY_WRITER, url.c_str(), count_text.c_str(), nullptr};
        const int error = ::posix_spawn(&pid_, HISTORY_WRITER, &actions, nullptr, const_cast<char* const*>(argv),
                                        environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipe[1]);
        output_ = ::fdopen(pipe[0], "r");
        if (error != 0)
            throw std::runtime_error("cannot start " HISTORY_WRITER);
    }
    ~Writer()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            wait();
        }
        std::fclose(output_);
    }

    // Waits for the report of `runs` more recorded runs; false when the writer ends first.
    bool wait_for(int runs)
    {
        char line[64];
        for (int k = 0; k < runs; ++k) {
            if (std::fgets(line, sizeof line, output_) == nullptr || std::string(line).rfind("recorded ", 0) != 0)
                return false;
        }
        return true;
    }

    int wait()
    {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    void kill() { ::kill(pid_, SIGKILL); }

private:
    pid_t pid_ = -1;
    FILE* output_ = nullptr;
};

template <class Backend>
using Recorders = HistoryTest<Backend>;
TYPED_TEST_SUITE(Recorders, Backends, BackendNames);

TYPED_TEST(Recorders, AtOnceAllLand)
{
    this->open();  // the schema exists; two first uses at once are the next test's matter
    Writer one(this->url, 15), two(this->url, 15);
    EXPECT_EQ(one.wait(), 0);
    EXPECT_EQ(two.wait(), 0);
    EXPECT_EQ(this->open()->runs({}).size(), 30u);
    this->expect_runs_whole(300);
}

TYPED_TEST(Recorders, OnFirstUseAtOnceBothCreateNothingTwice)
{
    Writer one(this->url, 3), two(this->url, 3);
    EXPECT_EQ(one.wait(), 0);
    EXPECT_EQ(two.wait(), 0);
    EXPECT_EQ(this->open()->runs({}).size(), 6u);
    EXPECT_EQ(this->rows("SELECT version FROM schema_version").size(), 1u);
}

TYPED_TEST(Recorders, KilledWhileWritingLeaveTheHistoryWhole)
{
    for (int round = 0; round < 3; ++round) {
        Writer writer(this->url, 0);
        ASSERT_TRUE(writer.wait_for(2 + round));
        writer.kill();
        EXPECT_EQ(writer.wait(), 128 + SIGKILL);
    }
    auto database = this->open();
    const std::size_t recorded = database->runs({}).size();
    EXPECT_GE(recorded, 9u);
    this->expect_runs_whole(300);
    database->record(sample_run("2025-05-01T10:00:00Z"));
    EXPECT_EQ(database->runs({}).size(), recorded + 1);
    if (this->location.kind == history::DatabaseLocation::Kind::Sqlite) {
        EXPECT_EQ(this->rows("PRAGMA integrity_check")[0][0].toString(), "ok");
    }
}

using SqliteHistory = HistoryTest<SqliteBackend>;

TEST_F(SqliteHistory, IsKeptInWalMode)
{
    open();
    EXPECT_EQ(rows("PRAGMA journal_mode")[0][0].toString(), "wal");
}

TEST_F(SqliteHistory, RefusesAFileThatIsNoDatabase)
{
    write_bytes(location.path, std::vector<std::uint8_t>(4096, 0x5A));
    try {
        open();
        FAIL() << "opened";
    } catch (const history::HistoryError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("history database sqlite:" + location.path + ": ", 0), 0u);
        EXPECT_NE(std::string(error.what()).find("file is not a database"), std::string::npos) << error.what();
    }
    EXPECT_EQ(read_bytes(location.path), std::vector<std::uint8_t>(4096, 0x5A));
}

// A file its recorder may read but not write (root may write anything: then the recorder runs
// as nobody, in a folder of its own).
TEST_F(SqliteHistory, ReportsAReadOnlyFile)
{
    open()->record(sample_run("2025-01-01T10:00:00Z"));
    ::chmod(location.path.c_str(), 0444);
    if (::getuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        ASSERT_NE(nobody, nullptr);
        ASSERT_EQ(::chown(tmp.path().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    const std::string log = tmp.file("writer.log");  // opened before the change of user
    const char* const argv[] = {HISTORY_WRITER, url.c_str(), "1", nullptr};
    EXPECT_EQ(run_as_ordinary_user(argv, log), 1);
    const auto message = read_bytes(log);
    EXPECT_EQ(std::string(message.begin(), message.end()), "history database sqlite:" + location.path +
                                                               ": cannot record the run: attempt to write a readonly "
                                                               "database\n");
    EXPECT_EQ(open()->runs({}).size(), 1u);
}

using PostgresHistory = HistoryTest<PostgresBackend>;

TEST_F(PostgresHistory, ReportsAServerThatIsNotThere)
{
    const std::string nowhere = "postgresql:///history?host=" + tmp.path();
    try {
        history::HistoryDatabase database(history::parse_database_url(nowhere));
        FAIL() << "connected";
    } catch (const history::HistoryError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("history database " + nowhere + ": cannot connect: ", 0), 0u)
            << error.what();
    }
}

TEST_F(PostgresHistory, ReportsARefusedLoginWithoutThePassword)
{
    const std::string wrong = shared_postgres().url("history", "qa:not-the-secret");
    try {
        history::HistoryDatabase database(history::parse_database_url(wrong));
        FAIL() << "connected";
    } catch (const history::HistoryError& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind("history database postgresql://qa@/history?host=" + shared_postgres().socket_folder() +
                                    ": cannot connect: ",
                                0),
                  0u)
            << message;
        EXPECT_NE(message.find("password authentication failed"), std::string::npos) << message;
        EXPECT_EQ(message.find("not-the-secret"), std::string::npos);
    }
    // The right password: the role makes the schema in the emptied database and records.
    history::HistoryDatabase database(history::parse_database_url(shared_postgres().url("history", "qa:qa-secret")));
    EXPECT_GT(database.record(sample_run("2025-01-01T10:00:00Z")), 0);
}

}  // namespace
}  // namespace snr::test
