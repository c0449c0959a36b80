// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "history/history_database.h"
#include "history/schema.h"
#include "tests/support/postgres_server.h"
#include "tests/support/temp_folder.h"

namespace snr::test {

// The two back ends the history tests run against: a file in the test's folder, or the
// database of the private server, emptied for each test.
struct SqliteBackend {
    static const history::Dialect& dialect() { return history::sqlite_dialect(); }
    static std::string fresh_url(const TempFolder& tmp, const std::string& name = "history.sqlite")
    {
        return "sqlite:" + tmp.file(name);
    }
};
struct PostgresBackend {
    static const history::Dialect& dialect() { return history::postgres_dialect(); }
    static std::string fresh_url(const TempFolder&, const std::string& = {})
    {
        return shared_postgres().empty_database();
    }
};

struct BackendNames {
    template <class Backend>
    static std::string GetName(int)
    {
        return std::is_same_v<Backend, SqliteBackend> ? "Sqlite" : "Postgres";
    }
};

template <class Backend>
class HistoryTest : public ::testing::Test {
protected:
    TempFolder tmp;
    std::string url = Backend::fresh_url(tmp);
    history::DatabaseLocation location = history::parse_database_url(url);

    std::unique_ptr<history::HistoryDatabase> open() { return std::make_unique<history::HistoryDatabase>(location); }

    // The rows of a statement, on a connection of the test's own.
    std::vector<std::vector<QVariant>> rows(const std::string& sql)
    {
        std::vector<std::vector<QVariant>> result;
        {
            QSqlDatabase database = connection();
            QSqlQuery query(database);
            if (!query.exec(QString::fromStdString(sql)))
                ADD_FAILURE() << sql << ": " << query.lastError().text().toStdString();
            while (query.next()) {
                auto& row = result.emplace_back();
                for (int k = 0; k < query.record().count(); ++k)
                    row.push_back(query.value(k));
            }
            database.close();
        }
        QSqlDatabase::removeDatabase("test reader");
        return result;
    }

    void execute(const std::string& sql) { rows(sql); }

    // Every run holds all it was recorded with: a transaction never left half.
    void expect_runs_whole(std::size_t notices)
    {
        const auto counts = rows("SELECT r.id,"
                                 " (SELECT COUNT(*) FROM run_inputs x WHERE x.run_id = r.id),"
                                 " (SELECT COUNT(*) FROM run_notices x WHERE x.run_id = r.id),"
                                 " (SELECT COUNT(*) FROM run_planes x WHERE x.run_id = r.id),"
                                 " (SELECT COUNT(*) FROM plane_files x WHERE x.run_id = r.id),"
                                 " (SELECT COUNT(*) FROM roi_figures x WHERE x.run_id = r.id) FROM runs r");
        for (const auto& run : counts) {
            EXPECT_EQ(run[1].toInt(), 2) << "run " << run[0].toLongLong();
            EXPECT_EQ(run[2].toULongLong(), notices) << "run " << run[0].toLongLong();
            EXPECT_EQ(run[3].toInt(), 3) << "run " << run[0].toLongLong();
            EXPECT_EQ(run[4].toInt(), 6) << "run " << run[0].toLongLong();
            EXPECT_EQ(run[5].toInt(), 3) << "run " << run[0].toLongLong();
        }
    }

private:
    QSqlDatabase connection()
    {
        const bool sqlite = location.kind == history::DatabaseLocation::Kind::Sqlite;
        QSqlDatabase database = QSqlDatabase::addDatabase(sqlite ? "QSQLITE" : "QPSQL", "test reader");
        if (sqlite) {
            database.setDatabaseName(QString::fromStdString(location.path));
        } else {
            database.setHostName(QString::fromStdString(location.host));
            database.setUserName(QString::fromStdString(location.user));
            database.setDatabaseName(QString::fromStdString(location.dbname));
        }
        if (!database.open())
            ADD_FAILURE() << database.lastError().text().toStdString();
        return database;
    }
};

using Backends = ::testing::Types<SqliteBackend, PostgresBackend>;

}  // namespace snr::test
