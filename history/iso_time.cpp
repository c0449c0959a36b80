// SPDX-License-Identifier: BSD-3-Clause
#include "history/iso_time.h"

#include <charconv>
#include <ctime>

namespace snr::history {

namespace {

// A number of exactly `digits` digits at `at`, or -1.
int digits_at(std::string_view text, std::size_t at, std::size_t digits)
{
    if (at + digits > text.size())
        return -1;
    int value = 0;
    for (std::size_t k = at; k < at + digits; ++k) {
        if (text[k] < '0' || text[k] > '9')
            return -1;
        value = value * 10 + (text[k] - '0');
    }
    return value;
}

}  // namespace

std::optional<std::string> utc_time(std::string_view text)
{
    std::tm fields{};
    const int year = digits_at(text, 0, 4), month = digits_at(text, 5, 2), day = digits_at(text, 8, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    std::size_t at = 10;
    if (at < text.size()) {
        if (text[at] != 'T' && text[at] != ' ')
            return std::nullopt;
        fields.tm_hour = digits_at(text, at + 1, 2);
        fields.tm_min = at + 3 < text.size() && text[at + 3] == ':' ? digits_at(text, at + 4, 2) : -1;
        at += 6;
        if (at < text.size() && text[at] == ':') {
            fields.tm_sec = digits_at(text, at + 1, 2);
            at += 3;
            if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
                do
                    ++at;
                while (at < text.size() && text[at] >= '0' && text[at] <= '9');
            }
        }
        if (fields.tm_hour < 0 || fields.tm_hour > 23 || fields.tm_min < 0 || fields.tm_min > 59 || fields.tm_sec < 0 ||
            fields.tm_sec > 60)
            return std::nullopt;
    }
    const std::tm asked = fields;
    std::time_t seconds = 0;
    if (at == text.size()) {
        fields.tm_isdst = -1;
        seconds = std::mktime(&fields);
    } else {
        long offset = 0;
        if (text.substr(at) != "Z") {
            const char sign = text[at];
            const int hours = digits_at(text, at + 1, 2);
            const bool colon = at + 3 < text.size() && text[at + 3] == ':';
            const int minutes = digits_at(text, at + (colon ? 4 : 3), 2);
            if ((sign != '+' && sign != '-') || hours < 0 || hours > 23 || minutes < 0 || minutes > 59 ||
                at + (colon ? 6 : 5) != text.size())
                return std::nullopt;
            offset = (sign == '-' ? -1 : 1) * (hours * 3600L + minutes * 60L);
        }
        seconds = ::timegm(&fields) - offset;
    }
    // A day beyond its month's end comes back normalised into the next month.
    if (fields.tm_mday != asked.tm_mday || fields.tm_mon != asked.tm_mon)
        return std::nullopt;
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return std::string(buffer);
}

}  // namespace snr::history
