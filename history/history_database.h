// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <string>
#include <vector>

#include "core/errors.h"
#include "history/database_location.h"
#include "history/history_error.h"
#include "history/history_rows.h"
#include "record/run_record.h"

class QSqlError;
class QSqlQuery;

namespace snr::history {

struct Dialect;

// The schema this program reads and writes (history/schema.cpp).
int current_schema_version();

// Whether a connection records (and may make the schema, and an SQLite file and its folder)
// or only reads (and then never makes anything, nor waits for a writer to make it).
enum class Access { Write, Read };

// A connection to the results history through Qt SQL, the same code for SQLite and PostgreSQL.
// Needs a QCoreApplication (Qt loads its database drivers through it). Text from files and
// from the database is always a bound value, never part of a statement.
class HistoryDatabase {
public:
    // Connects and, to write, brings the schema to this program's version, creating it on
    // first use: an SQLite file (and its folder) where there is none, in WAL mode. To read, it
    // opens the database read-only (an SQLite file in a folder it cannot write: immutable) and
    // raises "no history at URL" where there is none. Raises HistoryError.
    explicit HistoryDatabase(const DatabaseLocation& location, Access access = Access::Write);
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase&) = delete;
    HistoryDatabase& operator=(const HistoryDatabase&) = delete;

    const DatabaseLocation& location() const { return location_; }
    // The driver's own connection (Qt's QSqlDriver::handle): libpq's PGconn* for PostgreSQL.
    QVariant native_handle() const;
    int schema_version();

    // Records a run in one transaction and returns its id. The run's planes carry their figures
    // (summarize_result) and, where files were written, their digests. Raises HistoryError.
    long long record(const RunRecord& run);

    // The id of a recorded run of the same method, settings and input instances (in any order),
    // the newest; 0 for none. Raises HistoryError.
    long long recorded_run(const RunInstances& run);

    // The runs that pass the filter, newest first. Raises HistoryError.
    std::vector<RunListing> runs(const RunFilter& filter);

    // The values of a figure of one item over the runs of one scanner and coil, oldest first,
    // with the baseline and the changes against it. Raises HistoryError.
    Trend trend(const TrendQuery& query);

private:
    void connect();
    void open_sqlite();
    void open_postgres();
    void check_schema_for_reading();
    bool has_run(long long id);
    QSqlQuery statement(const QString& sql, const char* doing);
    void run(QSqlQuery& query, const char* doing);
    void execute(const QString& sql, const char* doing);  // a statement without values
    const Dialect& dialect() const;
    [[noreturn]] void fail(const char* doing, const QSqlError& error) const;
    [[noreturn]] void fail(const std::string& reason) const;
    void use_write_ahead_log();
    void bring_schema_up_to_date();
    void begin_write(const char* doing);
    void commit(const char* doing);
    void roll_back();

    DatabaseLocation location_;
    QString name_;  // of the Qt connection
    QSqlDatabase database_;
    bool sqlite_ = true;
    Access access_ = Access::Write;
};

// The history at `url`, or when it is empty the user's own ($SNR_MAPS_DB, else the default
// file). Raises HistoryError, also for a malformed URL.
HistoryDatabase open_history(const std::string& url = {}, Access access = Access::Write);

// What a window calls to record a run it has measured: the run in the user's history, in one
// transaction. Returns the run's id. Raises HistoryError, which names the database.
long long record_in_history(const RunRecord& run);

}  // namespace snr::history
