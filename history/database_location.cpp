// SPDX-License-Identifier: BSD-3-Clause
#include "history/database_location.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace snr::history {

namespace {

constexpr std::string_view masked = "***";

[[noreturn]] void refuse(std::string_view url, const std::string& why)
{
    throw LocationError("database URL '" + masked_url(url) + "': " + why +
                        " (sqlite:PATH or postgresql://[USER[:PASSWORD]@][HOST][:PORT][/DBNAME][?NAME=VALUE&...])");
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string percent_decoded(std::string_view url, std::string_view part)
{
    std::string text;
    for (std::size_t k = 0; k < part.size(); ++k) {
        if (part[k] != '%') {
            text += part[k];
            continue;
        }
        const int high = k + 2 < part.size() ? hex_digit(part[k + 1]) : -1;
        const int low = high >= 0 ? hex_digit(part[k + 2]) : -1;
        if (low < 0)
            refuse(url, "a '%' that starts no escape");
        text += static_cast<char>(high * 16 + low);
        k += 2;
    }
    return text;
}

// A parameter name with its escapes read where they are whole, for telling secrets.
std::string lenient_name(std::string_view text)
{
    std::string name;
    for (std::size_t k = 0; k < text.size(); ++k) {
        const int high = text[k] == '%' && k + 2 < text.size() ? hex_digit(text[k + 1]) : -1;
        const int low = high >= 0 ? hex_digit(text[k + 2]) : -1;
        name += static_cast<char>(low >= 0 ? high * 16 + low : text[k]);
        if (low >= 0)
            k += 2;
    }
    return name;
}

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

std::string checked_port(std::string_view url, const std::string& port)
{
    for (std::string_view one : split(port, ',')) {
        int number = 0;
        const auto [end, error] = std::from_chars(one.data(), one.data() + one.size(), number);
        if (!one.empty() && (error != std::errc() || end != one.data() + one.size() || number < 1 || number > 65535))
            refuse(url, "the port '" + std::string(one) + "' is no number from 1 to 65535");
    }
    return port;
}

// HOST[:PORT] items, separated by commas; an IPv6 address in brackets.
void read_hosts(std::string_view url, std::string_view hostspec, DatabaseLocation& location)
{
    if (hostspec.empty())
        return;
    std::string hosts, ports;
    bool any_port = false;
    const auto items = split(hostspec, ',');
    for (std::size_t k = 0; k < items.size(); ++k) {
        const std::string_view item = items[k];
        std::string_view host = item, port;
        if (item.starts_with('[')) {
            const std::size_t close = item.find(']');
            if (close == std::string_view::npos)
                refuse(url, "an IPv6 address without its ']'");
            host = item.substr(1, close - 1);
            if (close + 1 < item.size()) {
                if (item[close + 1] != ':')
                    refuse(url, "text after an IPv6 address");
                port = item.substr(close + 2);
            }
        } else if (const std::size_t colon = item.rfind(':'); colon != std::string_view::npos) {
            host = item.substr(0, colon);
            port = item.substr(colon + 1);
        }
        if (k > 0) {
            hosts += ',';
            ports += ',';
        }
        hosts += percent_decoded(url, host);
        ports += percent_decoded(url, port);
        any_port = any_port || !port.empty();
    }
    location.host = hosts;
    location.port = any_port ? checked_port(url, ports) : std::string();
}

void read_query(std::string_view url, std::string_view query, DatabaseLocation& location)
{
    for (std::string_view pair : split(query, '&')) {
        if (pair.empty())
            continue;
        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos || equals == 0)
            refuse(url, "the parameter '" + std::string(pair) + "' is not NAME=VALUE");
        const std::string name = percent_decoded(url, pair.substr(0, equals));
        const std::string value = percent_decoded(url, pair.substr(equals + 1));
        for (char c : name) {
            if (!((c >= 'a' && c <= 'z') || c == '_'))
                refuse(url, "'" + name + "' is no connection parameter");
        }
        if (name == "host")
            location.host = value;
        else if (name == "port")
            location.port = checked_port(url, value);
        else if (name == "user")
            location.user = value;
        else if (name == "password")
            location.password = value;
        else if (name == "dbname")
            location.dbname = value;
        else if (name == "lock_timeout")
            location.lock_timeout = value;
        else if (name == "statement_timeout")
            location.statement_timeout = value;
        else
            location.options.emplace_back(name, value);
    }
}

std::string shown_postgres(const DatabaseLocation& location)
{
    std::string shown = "postgresql://";
    if (!location.user.empty())
        shown += location.user + "@";
    const bool socket = location.host.find('/') != std::string::npos;
    if (!socket)
        shown += location.host;
    if (!location.port.empty() && location.port.find(',') == std::string::npos && !socket)
        shown += ":" + location.port;
    shown += "/" + location.dbname;
    std::string query;
    const auto add = [&query](const std::string& name, const std::string& value) {
        query += (query.empty() ? "?" : "&") + name + "=" + value;
    };
    if (socket)
        add("host", location.host);
    if (!location.port.empty() && (socket || location.port.find(',') != std::string::npos))
        add("port", location.port);
    for (const auto& [name, value] : location.options)
        add(name, secret_parameter(name) ? std::string(masked) : value);
    return shown + query;
}

DatabaseLocation parse_postgres(std::string_view url, std::string_view rest)
{
    DatabaseLocation location;
    location.kind = DatabaseLocation::Kind::Postgres;
    const std::size_t query_at = rest.find('?');
    const std::string_view query = query_at == std::string_view::npos ? std::string_view() : rest.substr(query_at + 1);
    rest = rest.substr(0, query_at);
    const std::size_t path_at = rest.find('/');
    std::string_view authority = rest.substr(0, path_at);
    if (path_at != std::string_view::npos)
        location.dbname = percent_decoded(url, rest.substr(path_at + 1));
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        const std::string_view userspec = authority.substr(0, at);
        const std::size_t colon = userspec.find(':');
        location.user = percent_decoded(url, userspec.substr(0, colon));
        if (colon != std::string_view::npos)
            location.password = percent_decoded(url, userspec.substr(colon + 1));
        authority = authority.substr(at + 1);
    }
    read_hosts(url, authority, location);
    read_query(url, query, location);
    location.shown = shown_postgres(location);
    return location;
}

DatabaseLocation parse_sqlite(std::string_view url, std::string_view rest)
{
    if (rest.starts_with("//")) {
        if (!rest.starts_with("///"))
            refuse(url, "an SQLite file is local: sqlite:/PATH or sqlite:///PATH");
        rest.remove_prefix(2);
    }
    if (rest.empty())
        refuse(url, "no file named");
    DatabaseLocation location;
    std::error_code error;
    const auto absolute = std::filesystem::absolute(std::string(rest), error);
    location.path = error ? std::string(rest) : absolute.lexically_normal().string();
    location.shown = "sqlite:" + location.path;
    return location;
}

}  // namespace

bool secret_parameter(std::string_view name)
{
    std::string lower(name);
    for (char& c : lower)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower.find("password") != std::string::npos || lower.find("secret") != std::string::npos;
}

std::string masked_url(std::string_view url)
{
    std::string text(url);
    // The password of USER:PASSWORD@ in the authority.
    const std::size_t scheme_end = text.find("://");
    const std::size_t start = scheme_end == std::string::npos ? 0 : scheme_end + 3;
    const std::size_t authority_end = std::min(text.find_first_of("/?", start), text.size());
    const std::size_t at = text.rfind('@', authority_end == 0 ? 0 : authority_end - 1);
    if (at != std::string::npos && at >= start && !(scheme_end == std::string::npos && text.starts_with("sqlite:"))) {
        const std::size_t colon = text.find(':', start);
        if (colon < at)
            text.replace(colon + 1, at - colon - 1, masked);
    }
    // NAME=VALUE anywhere after it, as a query or as libpq's keyword list.
    const auto name_character = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '%';
    };
    for (std::size_t equals = text.find('=', start); equals != std::string::npos; equals = text.find('=', equals + 1)) {
        std::size_t first = equals;
        while (first > start && name_character(text[first - 1]))
            --first;
        if (!secret_parameter(lenient_name(std::string_view(text).substr(first, equals - first))))
            continue;
        const std::size_t end = std::min(text.find_first_of("& \t", equals + 1), text.size());
        text.replace(equals + 1, end - equals - 1, masked);
        equals += masked.size();
    }
    return text;
}

DatabaseLocation parse_database_url(std::string_view url)
{
    if (url.starts_with("sqlite:"))
        return parse_sqlite(url, url.substr(7));
    for (std::string_view scheme : {"postgresql://", "postgres://"}) {
        if (url.starts_with(scheme))
            return parse_postgres(url, url.substr(scheme.size()));
    }
    refuse(url, "no known kind of database");
}

std::string default_database_url()
{
    const char* variable = std::getenv(database_variable);
    if (variable != nullptr && *variable != '\0')
        return variable;
    std::string data_home;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
        data_home = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || *home == '\0') {
            const passwd* entry = ::getpwuid(::getuid());
            home = entry != nullptr ? entry->pw_dir : "/";
        }
        data_home = std::string(home) + "/.local/share";
    }
    return "sqlite:" + data_home + "/snr-maps/history.sqlite";
}

}  // namespace snr::history
