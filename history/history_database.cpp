// SPDX-License-Identifier: BSD-3-Clause
#include "history/history_database.h"

#include <QCoreApplication>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUrl>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "history/schema.h"
#include "history/sql_values.h"

namespace snr::history {

namespace {

// The driver's text on one line.
std::string reason_of(const QSqlError& error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    return text.simplified().toStdString();
}

// Our own tables in the database: in SQLite all of them, in PostgreSQL those of the schema
// "public" (Qt names tables of other schemas with their schema).
QStringList own_tables(const QSqlDatabase& database)
{
    QStringList tables;
    for (const QString& table : database.tables(QSql::Tables)) {
        if (!table.contains('.') && !table.startsWith("sqlite_"))
            tables.push_back(table);
    }
    return tables;
}

// A libpq connection parameter as QPSQL passes it on: quoted, with quotes and backslashes
// escaped. QPSQL reads ";" as a separator wherever it stands.
QString connect_option(const std::string& name, const std::string& value)
{
    QString quoted = QString::fromStdString(value);
    quoted.replace("\\", "\\\\").replace("'", "\\'");
    return QString::fromStdString(name) + "='" + quoted + "'";
}

// How long a recorder waits for another that holds the file.
constexpr int busy_seconds = 10;

}  // namespace

HistoryDatabase::HistoryDatabase(const DatabaseLocation& location, Access access)
    : location_(location), sqlite_(location.kind == DatabaseLocation::Kind::Sqlite), access_(access)
{
    static std::atomic<int> connections{0};
    name_ = QString("snr-maps history %1").arg(++connections);
    connect();
    if (access == Access::Write)
        bring_schema_up_to_date();
    else
        check_schema_for_reading();
}

HistoryDatabase::~HistoryDatabase()
{
    database_.close();
    database_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
}

void HistoryDatabase::fail(const std::string& reason) const
{
    throw HistoryError("history database " + location_.shown + ": " + reason, location_.shown, reason);
}

void HistoryDatabase::fail(const char* doing, const QSqlError& error) const
{
    fail(std::string(doing) + ": " + reason_of(error));
}

void HistoryDatabase::connect()
{
    if (QCoreApplication::instance() == nullptr)
        fail("Qt's database drivers need an application object");
    if (!QSqlDatabase::isDriverAvailable(dialect().driver)) {
        fail(std::string("Qt's driver ") + dialect().driver +
             " is not installed (Debian: " + (sqlite_ ? "libqt6sql6-sqlite" : "libqt6sql6-psql") + ")");
    }
    database_ = QSqlDatabase::addDatabase(dialect().driver, name_);
    if (sqlite_)
        open_sqlite();
    else
        open_postgres();
}

void HistoryDatabase::open_sqlite()
{
    const std::filesystem::path folder = std::filesystem::path(location_.path).parent_path();
    if (access_ == Access::Write) {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error)
            fail("cannot make the folder " + folder.string() + ": " + error.message());
        database_.setDatabaseName(QString::fromStdString(location_.path));
    } else {
        struct stat info {};
        if (::stat(location_.path.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR))
            throw HistoryError("no history at " + location_.shown, location_.shown, "no history");
        // A file in WAL mode is read through its two companions, which SQLite makes beside it
        // where they are missing. Where it cannot, no one records here: the file is read as
        // it is, immutable.
        const auto present = [&](const char* suffix) { return ::access((location_.path + suffix).c_str(), F_OK) == 0; };
        const bool immutable = ::access(folder.c_str(), W_OK) != 0 && !(present("-wal") && present("-shm"));
        database_.setConnectOptions("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY");
        database_.setDatabaseName(
            QUrl::fromLocalFile(QString::fromStdString(location_.path)).toString(QUrl::FullyEncoded) +
            (immutable ? "?immutable=1" : "?mode=ro"));
    }
    if (!database_.open())
        fail("cannot connect", database_.lastError());
    // Two recorders at once wait for each other up to 10 s. In WAL mode NORMAL syncs at each
    // checkpoint, which the last connection makes as it closes, not at each commit: a run's
    // record is on disk once snrmap ends, one flush sooner. A crash never leaves half of it.
    execute(QString("PRAGMA busy_timeout = %1").arg(busy_seconds * 1000), "cannot open");
    execute("PRAGMA foreign_keys = ON", "cannot open");
    execute("PRAGMA synchronous = NORMAL", "cannot open");
}

void HistoryDatabase::open_postgres()
{
    database_.setHostName(QString::fromStdString(location_.host));
    database_.setUserName(QString::fromStdString(location_.user));
    database_.setPassword(QString::fromStdString(location_.password));
    database_.setDatabaseName(QString::fromStdString(location_.dbname));
    QStringList options;
    bool timeout = false;
    auto parameters = location_.options;
    if (!location_.port.empty())
        parameters.emplace_back("port", location_.port);
    for (const auto& [name, value] : parameters) {
        if (value.find(';') != std::string::npos)
            fail("the parameter " + name + " holds a ';', which Qt's driver cannot hand over");
        options.push_back(connect_option(name, value));
        timeout = timeout || name == "connect_timeout";
    }
    if (!timeout)  // a server that does not answer is reported rather than waited for
        options.push_back(QString("connect_timeout=%1").arg(busy_seconds));
    database_.setConnectOptions(options.join(';'));
    if (!database_.open())
        fail("cannot connect", database_.lastError());
    // A lock another connection holds, or a statement that does not end, is waited for as
    // long as SQLite's busy timeout, not for ever.
    QSqlQuery settings =
        statement(QString("SELECT set_config('lock_timeout', ?, false),"
                          " set_config('statement_timeout', ?, false)") +
                      (access_ == Access::Read ? ", set_config('default_transaction_read_only', 'on', false)" : ""),
                  "cannot connect");
    settings.addBindValue(QString::fromStdString(location_.lock_timeout));
    settings.addBindValue(QString::fromStdString(location_.statement_timeout));
    run(settings, "cannot connect");
}

QVariant HistoryDatabase::native_handle() const { return database_.driver()->handle(); }

const Dialect& HistoryDatabase::dialect() const { return sqlite_ ? sqlite_dialect() : postgres_dialect(); }

QSqlQuery HistoryDatabase::statement(const QString& sql, const char* doing)
{
    QSqlQuery query(database_);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        fail(doing, query.lastError());
    return query;
}

void HistoryDatabase::run(QSqlQuery& query, const char* doing)
{
    if (!query.exec())
        fail(doing, query.lastError());
}

void HistoryDatabase::execute(const QString& sql, const char* doing)
{
    QSqlQuery query(database_);
    if (!query.exec(sql))
        fail(doing, query.lastError());
}

void HistoryDatabase::begin_write(const char* doing) { execute(dialect().begin_write, doing); }

void HistoryDatabase::commit(const char* doing) { execute("COMMIT", doing); }

void HistoryDatabase::roll_back()
{
    QSqlQuery rollback(database_);
    rollback.exec("ROLLBACK");  // a failed roll-back leaves nothing more to undo
}

int HistoryDatabase::schema_version()
{
    const QStringList tables = own_tables(database_);
    if (!tables.contains("schema_version")) {
        if (!tables.isEmpty())
            fail("it holds tables but no snr-maps history; give a new file or an empty database");
        return 0;
    }
    QSqlQuery query = statement("SELECT version FROM schema_version", "cannot read the schema version");
    run(query, "cannot read the schema version");
    if (!query.next())
        fail("its schema version is missing");
    return query.value(0).toInt();
}

// Readers go on while a run records. The mode stays with the file; it is set outside a
// transaction. The switch needs the file to itself, and where another program is making the
// schema at the same moment SQLite reports the file busy at once instead of waiting (it would
// wait for a lock that waits for it), so the switch is tried again for the busy timeout's time.
void HistoryDatabase::use_write_ahead_log()
{
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(busy_seconds);
    for (;;) {
        QSqlQuery wal(database_);
        const bool done = wal.exec("PRAGMA journal_mode = WAL");
        const QString mode = done && wal.next() ? wal.value(0).toString() : QString();
        if (mode == "wal")
            return;
        const bool busy = done || wal.lastError().nativeErrorCode() == "5";  // SQLITE_BUSY
        if (busy && std::chrono::steady_clock::now() < give_up) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        if (done)
            fail("cannot create the schema: the file stays in journal mode " + mode.toStdString());
        fail("cannot create the schema", wal.lastError());
    }
}

void HistoryDatabase::check_schema_for_reading()
{
    const int current = current_schema_version();
    const int version = schema_version();
    if (version == 0)
        throw HistoryError("no history at " + location_.shown, location_.shown, "no history");
    // An older schema lacks only columns that reading does not ask for.
    if (version > current) {
        fail("its schema is version " + std::to_string(version) + ", this program reads version " +
             std::to_string(current) + "; read it with a newer snr-maps");
    }
}

void HistoryDatabase::bring_schema_up_to_date()
{
    const int current = current_schema_version();
    int version = schema_version();
    if (version == current)
        return;
    if (version > current) {
        fail("its schema is version " + std::to_string(version) + ", newer than this program's " +
             std::to_string(current) + "; record and read it with a newer snr-maps");
    }
    if (sqlite_ && version == 0)
        use_write_ahead_log();
    const char* doing = "cannot bring the schema up to date";
    begin_write(doing);
    try {
        if (*dialect().lock_schema != '\0')
            execute(dialect().lock_schema, doing);
        // Another program may have done it in the meantime.
        for (version = schema_version(); version < current; ++version) {
            for (const QString& sql : migration_from(version, dialect()))
                execute(sql, doing);
        }
        if (version > current)
            fail("its schema became version " + std::to_string(version) + ", newer than this program's");
        QSqlQuery set(database_);
        if (!set.exec("DELETE FROM schema_version") || !set.prepare("INSERT INTO schema_version (version) VALUES (?)"))
            fail(doing, set.lastError());
        set.addBindValue(current);
        if (!set.exec())
            fail(doing, set.lastError());
        commit(doing);
    } catch (...) {
        roll_back();
        throw;
    }
}

HistoryDatabase open_history(const std::string& url, Access access)
{
    const std::string chosen = url.empty() ? default_database_url() : url;
    try {
        return HistoryDatabase(parse_database_url(chosen), access);
    } catch (const LocationError& error) {
        const std::string text = (url.empty() ? std::string(database_variable) + ": " : std::string()) + error.what();
        throw HistoryError(text, masked_url(chosen), text);
    }
}

long long record_in_history(const RunRecord& run) { return open_history().record(run); }

}  // namespace snr::history
