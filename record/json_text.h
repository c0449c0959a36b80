// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace snr {

// A quoted JSON string of any bytes. Valid UTF-8 is kept; control characters, quotes and
// backslashes are escaped; a byte that is not part of valid UTF-8 is written as \u00XX of
// its value, so the text stays valid JSON and the byte can still be told.
std::string json_string(std::string_view bytes);

// The shortest text that reads back as the same double. Planes never hold NaN or infinity.
std::string json_number(double value);

// Builds an indented JSON text; the caller keeps keys and values in order. The outermost
// object and the members of an array take no key (it is ignored).
class JsonText {
public:
    void begin_object(std::string_view key = {});
    void end_object();
    void begin_array(std::string_view key = {});
    void end_array();
    void field(std::string_view key, std::string_view text);
    void field(std::string_view key, const char* text) { field(key, std::string_view(text)); }
    void field(std::string_view key, double value);
    void field(std::string_view key, long long value);
    void field(std::string_view key, unsigned long long value);
    void field(std::string_view key, bool value);
    void field(std::string_view key, std::optional<double> value);
    // A number in 17 significant digits, or null.
    void exact_field(std::string_view key, std::optional<double> value);
    const std::string& text() const { return text_; }

private:
    void next_member(std::string_view key);
    void open(std::string_view key, char bracket);
    void close(char bracket);
    std::string text_;
    std::vector<bool> has_members_;  // per open object or array
    std::vector<bool> in_array_;
};

}  // namespace snr
