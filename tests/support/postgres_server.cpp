// SPDX-License-Identifier: BSD-3-Clause
#include "tests/support/postgres_server.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <memory>
#include <pwd.h>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace snr::test {

namespace {

const char* const connection = "postgres fixture";

// The programs of the newest of Debian's PostgreSQL servers (/usr/lib/postgresql/VERSION/bin).
std::string server_programs()
{
    int newest = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error)) {
        const int version = std::atoi(entry.path().filename().c_str());
        if (version > newest && std::filesystem::exists(entry.path() / "bin/initdb"))
            newest = version;
    }
    if (newest == 0)
        throw std::runtime_error("no PostgreSQL server under /usr/lib/postgresql (Debian: postgresql)");
    return "/usr/lib/postgresql/" + std::to_string(newest) + "/bin";
}

std::string text_of_file(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void sql(const std::string& statement, const char* database = connection)
{
    QSqlQuery query(QSqlDatabase::database(database));
    if (!query.exec(QString::fromStdString(statement)))
        throw std::runtime_error(statement + ": " + query.lastError().text().toStdString());
}

std::unique_ptr<PostgresServer>& shared()
{
    static std::unique_ptr<PostgresServer> server;
    return server;
}

}  // namespace

pid_t start_as_ordinary_user(const char* const* argv, const std::string& log, bool die_with_parent)
{
    const pid_t parent = ::getpid();
    const passwd* nobody = ::getuid() == 0 ? ::getpwnam("nobody") : nullptr;
    const uid_t uid = nobody != nullptr ? nobody->pw_uid : ::getuid();
    const gid_t gid = nobody != nullptr ? nobody->pw_gid : ::getgid();
    const pid_t child = ::fork();
    if (child != 0)
        return child;
    // Only calls that are safe after a fork from here on.
    const int output = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (output < 0 || ::dup2(output, STDOUT_FILENO) < 0 || ::dup2(output, STDERR_FILENO) < 0)
        ::_exit(126);
    if (nobody != nullptr && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
        ::_exit(126);
    // Set after the change of user, which clears it; then the parent may be gone already.
    if (die_with_parent && (::prctl(PR_SET_PDEATHSIG, SIGQUIT) != 0 || ::getppid() != parent))
        ::_exit(126);
    ::execv(argv[0], const_cast<char* const*>(argv));
    ::_exit(127);
}

int run_as_ordinary_user(const char* const* argv, const std::string& log)
{
    const pid_t child = start_as_ordinary_user(argv, log, true);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

PostgresServer::PostgresServer()
{
    const std::string bin = server_programs();
    char pattern[] = "/tmp/snr-pg-XXXXXX";
    if (::mkdtemp(pattern) == nullptr)
        throw std::runtime_error("no temporary folder for PostgreSQL");
    folder_ = pattern;
    const std::string data = folder_ + "/data", log = folder_ + "/log";
    if (const passwd* nobody = ::getuid() == 0 ? ::getpwnam("nobody") : nullptr) {
        if (::chown(folder_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0)
            throw std::runtime_error("cannot give " + folder_ + " to nobody");
    }
    const std::string initdb = bin + "/initdb", postgres = bin + "/postgres";
    const char* const init_args[] = {initdb.c_str(), "-D",   data.c_str(), "-U",
                                     "snr",          "-A",   "trust",      "--no-sync",
                                     "-E",           "UTF8", "--locale=C", "--no-instructions",
                                     nullptr};
    if (run_as_ordinary_user(init_args, log) != 0)
        throw std::runtime_error("initdb failed:\n" + text_of_file(log));
    std::ofstream(data + "/pg_hba.conf") << "local all snr trust\nlocal all all scram-sha-256\n";

    // A server for tests: no TCP, nothing flushed to disk.
    const char* const server_args[] = {
        postgres.c_str(),       "-D", data.c_str(),         "-k", folder_.c_str(),          "-c",
        "listen_addresses=",    "-c", "fsync=off",          "-c", "synchronous_commit=off", "-c",
        "full_page_writes=off", "-c", "max_connections=40", "-c", "shared_buffers=16MB",    nullptr};
    server_ = start_as_ordinary_user(server_args, log, true);
    if (server_ < 0)
        throw std::runtime_error("cannot start postgres");
    // Ready when the server says so in its pid file.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
        std::ifstream pid_file(data + "/postmaster.pid");
        std::string line;
        for (int k = 0; k < 8 && std::getline(pid_file, line); ++k) {
        }
        if (line.find("ready") == 0)
            break;
        int status = 0;
        if (::waitpid(server_, &status, WNOHANG) == server_) {
            server_ = -1;
            throw std::runtime_error("postgres ended:\n" + text_of_file(log));
        }
        if (std::chrono::steady_clock::now() > give_up)
            throw std::runtime_error("postgres did not get ready:\n" + text_of_file(log));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    QSqlDatabase admin = QSqlDatabase::addDatabase("QPSQL", connection);
    admin.setHostName(QString::fromStdString(folder_));
    admin.setUserName("snr");
    admin.setDatabaseName("postgres");
    if (!admin.open())
        throw std::runtime_error("cannot connect to the test server: " + admin.lastError().text().toStdString());
    sql("CREATE ROLE qa LOGIN PASSWORD 'qa-secret'");
    sql("CREATE DATABASE history");
    sql("GRANT ALL ON DATABASE history TO qa");
    admin.close();
    admin.setDatabaseName("history");
    if (!admin.open())
        throw std::runtime_error("cannot connect to the test database: " + admin.lastError().text().toStdString());
    sql("SET client_min_messages = warning");  // not the notice of every table a test drops
}

PostgresServer::~PostgresServer()
{
    if (QSqlDatabase::contains(connection)) {
        QSqlDatabase::database(connection).close();
        QSqlDatabase::removeDatabase(connection);
    }
    if (server_ > 0) {
        ::kill(server_, SIGINT);  // fast shutdown: ends the sessions, no waiting for clients
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        int status = 0;
        while (::waitpid(server_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > give_up) {
                ::kill(server_, SIGKILL);
                ::waitpid(server_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    std::error_code error;
    std::filesystem::remove_all(folder_, error);
}

std::string PostgresServer::url(const std::string& dbname, const std::string& userinfo) const
{
    return "postgresql://" + (userinfo.empty() ? "" : userinfo + "@") + "/" + dbname + "?host=" + folder_;
}

std::string PostgresServer::empty_database()
{
    sql("DROP SCHEMA public CASCADE");
    sql("CREATE SCHEMA public");
    sql("GRANT ALL ON SCHEMA public TO PUBLIC");
    return url("history", "snr");
}

void PostgresServer::execute(const std::string& statement) { sql(statement); }

PostgresServer& shared_postgres()
{
    if (!shared())
        shared() = std::make_unique<PostgresServer>();
    return *shared();
}

void stop_shared_postgres() { shared().reset(); }

}  // namespace snr::test
