// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>
#include <vector>

namespace snr::history {

// Where the SQL of the two back ends differs; everything else is one text for both.
struct Dialect {
    const char* driver;       // the Qt SQL driver
    const char* id_column;    // a key the database numbers
    const char* begin_write;  // a transaction that will write (SQLite takes the write lock at once)
    const char* lock_schema;  // serialises schema changes inside that transaction; empty if it does
};

const Dialect& sqlite_dialect();
const Dialect& postgres_dialect();

// The version that keeps which region a run's plane figures are over (runs.region).
inline constexpr int region_since = 4;

// The statements that take the schema from `version` to the next (from 0 they create it), to be
// run in one transaction that also sets the version.
std::vector<QString> migration_from(int version, const Dialect& dialect);

}  // namespace snr::history
