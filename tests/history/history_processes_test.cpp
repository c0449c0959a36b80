// SPDX-License-Identifier: BSD-3-Clause
// Recorders in processes of their own: several at once, one killed while it writes, one that
// may not write. And the failures of each back end: a file that is no database, a server that
// is not there, a refused login.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/history/history_backends.h"
#include "tests/history/history_samples.h"
#include "tests/support/tool_output.h"

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

std::string file_text(const std::string& path)
{
    const auto bytes = read_bytes(path);
    return {bytes.begin(), bytes.end()};
}

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

// Read in a folder the reader may not write (the file read-only too): nothing is made there.
TEST_F(SqliteHistory, IsReadWhereItsFolderCannotBeWritten)
{
    open()->record(sample_run("2025-01-01T10:00:00Z"));
    ::chmod(location.path.c_str(), 0444);
    ::chmod(tmp.path().c_str(), ::getuid() == 0 ? 0755 : 0555);  // root's reader runs as nobody
    const std::string log = tmp.path() + ".log";
    const char* const argv[] = {HISTORY_WRITER, url.c_str(), "read", nullptr};
    EXPECT_EQ(run_as_ordinary_user(argv, log), 0);
    const auto output = read_bytes(log);
    ::unlink(log.c_str());
    EXPECT_EQ(std::string(output.begin(), output.end()), "listed 1\n");
    std::vector<std::string> entries;
    for (const auto& entry : std::filesystem::directory_iterator(tmp.path()))
        entries.push_back(entry.path().filename().string());
    EXPECT_EQ(entries, std::vector<std::string>{"history.sqlite"});
    ::chmod(tmp.path().c_str(), 0700);

    // A history that is not there is not made, nor its folder.
    const auto missing = history::parse_database_url("sqlite:" + tmp.file("no/such/history.sqlite"));
    EXPECT_THROW(history::HistoryDatabase(missing, history::Access::Read), history::HistoryError);
    EXPECT_FALSE(std::filesystem::exists(tmp.file("no")));
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

namespace snr::test {
namespace {

// snrmap, its standard error in a file; the exit status, or 128 + the signal that ended it.
class Snrmap {
public:
    Snrmap(std::vector<std::string> args, const std::string& log)
    {
        args.insert(args.begin(), SNRMAP_EXECUTABLE);
        pid_ = start_program(args, log);
    }
    ~Snrmap()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    bool running() { return ::waitpid(pid_, &status_, WNOHANG) == 0; }
    void signal(int number) { ::kill(pid_, number); }

    // The status once it ended, or -1 (and killed) when it takes longer than `seconds`.
    int ended_within(double seconds)
    {
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (running()) {
            if (std::chrono::steady_clock::now() > give_up)
                return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        pid_ = -1;
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
    }

private:
    pid_t pid_ = -1;
    int status_ = 0;
};

using LockedHistory = HistoryTest<PostgresBackend>;

// Another connection holds the runs table locked: a reader gives up after the URL's lock
// timeout; Ctrl-C or a kill cancels the wait at once, also of a run's record, whose folder
// stays written.
TEST_F(LockedHistory, IsWaitedForAtMostTheTimeoutAndASignalCancelsTheWait)
{
    open()->record(sample_run("2025-01-01T10:00:00Z"));
    const std::string phantom = tmp.file("phantom"), out = tmp.file("out"), log = tmp.file("snrmap.log");
    ASSERT_EQ(Snrmap({"phantom", "--out", phantom, "--repeats", "4"}, log).ended_within(60), 0);
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase("QPSQL", "lock holder");
        holder.setHostName(QString::fromStdString(location.host));
        holder.setUserName(QString::fromStdString(location.user));
        holder.setDatabaseName(QString::fromStdString(location.dbname));
        ASSERT_TRUE(holder.open());
        QSqlQuery lock(holder);
        ASSERT_TRUE(lock.exec("BEGIN") && lock.exec("LOCK TABLE runs IN ACCESS EXCLUSIVE MODE"));

        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(Snrmap({"history", "--db", url + "&lock_timeout=400ms"}, log).ended_within(8), 1);
        EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(400));
        EXPECT_NE(file_text(log).find("lock timeout"), std::string::npos) << file_text(log);

        Snrmap listing({"history", "--db", url}, log);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        ASSERT_TRUE(listing.running());
        listing.signal(SIGINT);
        EXPECT_EQ(listing.ended_within(8), 128 + SIGINT);  // not the 10 s timeout
        EXPECT_NE(file_text(log).find("interrupted"), std::string::npos) << file_text(log);

        Snrmap recording({"consecutive", phantom + "/nopi", phantom + "/pi", "--out", out, "--record", "--db", url},
                         log);
        for (int k = 0; k < 1000 && !std::filesystem::exists(out + "/summary.json"); ++k)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ASSERT_TRUE(recording.running());
        recording.signal(SIGTERM);
        EXPECT_EQ(recording.ended_within(8), 128 + SIGTERM);
        EXPECT_NE(file_text(log).find("cannot record the run"), std::string::npos) << file_text(log);
        lock.exec("ROLLBACK");
        holder.close();
    }
    QSqlDatabase::removeDatabase("lock holder");
    EXPECT_TRUE(std::filesystem::exists(out + "/snr_nopi.npy"));
    EXPECT_EQ(open()->runs({}).size(), 1u);
}

}  // namespace
}  // namespace snr::test
