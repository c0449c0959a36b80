// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/errors.h"

namespace snr::history {

// Where the results history is kept: an SQLite file, or a database on a PostgreSQL server.
struct DatabaseLocation {
    enum class Kind { Sqlite, Postgres };
    Kind kind = Kind::Sqlite;
    std::string path;  // SQLite: the file, absolute
    // PostgreSQL, as libpq takes them; an empty part takes libpq's default. A host that starts
    // with "/" is the folder of the server's Unix socket.
    std::string user, password, host, port, dbname;
    std::vector<std::pair<std::string, std::string>> options;  // further parameters of the URI
    // How long a statement waits for a lock, and runs at most: PostgreSQL's settings of these
    // names, from the URI's parameters of the same names.
    std::string lock_timeout = "10s", statement_timeout = "10s";
    std::string shown;  // the URL as messages name it: never with the password, secret parameters as ***
};

// A database URL that names no database.
class LocationError : public Error {
public:
    using Error::Error;
};

// "sqlite:PATH" (also "sqlite:///PATH"), or a PostgreSQL connection URI as libpq reads it:
// postgresql://[USER[:PASSWORD]@][HOST][:PORT][/DBNAME][?NAME=VALUE&...], "postgres://" alike,
// every part percent-decoded, the query's host, port, user, password and dbname in place of the
// URI's own; lock_timeout and statement_timeout are the session's. Raises LocationError.
DatabaseLocation parse_database_url(std::string_view url);

// The URL as a message may show it, however malformed: the password of its user part and
// the value of every secret parameter replaced by "***".
std::string masked_url(std::string_view url);

// A parameter that holds a secret: its name has "password" or "secret" in it, in any case
// (libpq's password and sslpassword).
bool secret_parameter(std::string_view name);

inline constexpr const char* database_variable = "SNR_MAPS_DB";

// The URL of the history when none is given: $SNR_MAPS_DB when set and not empty, otherwise
// the SQLite file $XDG_DATA_HOME/snr-maps/history.sqlite ($HOME/.local/share when the variable
// is unset or not an absolute path).
std::string default_database_url();

}  // namespace snr::history
