// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace snr {

// A JSON value as read: members in the order of the text. Strings come back as the bytes
// json_string wrote them from: \u0080 to \u00FF stand for the bytes of no valid UTF-8.
struct JsonMember;

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool flag = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::vector<JsonMember> members;

    // The member of that name; nullptr where there is none (or this is no object).
    const JsonValue* member(std::string_view name) const;
};

struct JsonMember {
    std::string name;
    JsonValue value;
};

// A text that is no JSON: where (bytes from its start) and why.
struct JsonSyntaxError {
    std::size_t offset;
    std::string reason;
};

// Raises JsonSyntaxError. Nesting deeper than 200 levels is refused.
JsonValue parse_json(std::string_view text);

}  // namespace snr
