// SPDX-License-Identifier: BSD-3-Clause
#include "record/json_text.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

#include "window_model/roi_report.h"
#include "core/utf8.h"

namespace snr {

namespace {

void append_escaped_byte(std::string& out, unsigned char byte)
{
    static const char hex[] = "0123456789abcdef";
    out += "\\u00";
    out += hex[byte >> 4];
    out += hex[byte & 0xF];
}

}  // namespace

std::string json_string(std::string_view bytes)
{
    std::string out = "\"";
    for (std::size_t at = 0; at < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        const std::size_t length = utf8_at(bytes, at).length;
        if (length == 0) {
            append_escaped_byte(out, byte);
            ++at;
            continue;
        }
        if (length == 1) {
            switch (byte) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            default:
                if (byte < 0x20 || byte == 0x7F)
                    append_escaped_byte(out, byte);
                else
                    out += static_cast<char>(byte);
            }
        } else {
            out.append(bytes.substr(at, length));
        }
        at += length;
    }
    out += '"';
    return out;
}

std::string json_number(double value)
{
    if (!std::isfinite(value))
        throw std::invalid_argument("JSON has no NaN or infinity");
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

void JsonText::next_member(std::string_view key)
{
    if (!has_members_.empty()) {
        if (has_members_.back())
            text_ += ',';
        has_members_.back() = true;
        text_ += '\n';
        text_.append(2 * has_members_.size(), ' ');
        if (!in_array_.back()) {
            text_ += json_string(key);  // an empty key too: "" names a member
            text_ += ": ";
        }
    }
}

void JsonText::open(std::string_view key, char bracket)
{
    next_member(key);
    text_ += bracket;
    has_members_.push_back(false);
    in_array_.push_back(bracket == '[');
}

void JsonText::close(char bracket)
{
    const bool had_members = has_members_.back();
    has_members_.pop_back();
    in_array_.pop_back();
    if (had_members) {
        text_ += '\n';
        text_.append(2 * has_members_.size(), ' ');
    }
    text_ += bracket;
    if (has_members_.empty())
        text_ += '\n';
}

void JsonText::begin_object(std::string_view key) { open(key, '{'); }
void JsonText::end_object() { close('}'); }
void JsonText::begin_array(std::string_view key) { open(key, '['); }
void JsonText::end_array() { close(']'); }

void JsonText::field(std::string_view key, std::string_view value)
{
    next_member(key);
    text_ += json_string(value);
}

void JsonText::field(std::string_view key, double value)
{
    const std::string number = json_number(value);  // a refused value leaves the text as it was
    next_member(key);
    text_ += number;
}

void JsonText::field(std::string_view key, long long value)
{
    next_member(key);
    text_ += std::to_string(value);
}

void JsonText::field(std::string_view key, unsigned long long value)
{
    next_member(key);
    text_ += std::to_string(value);
}

void JsonText::field(std::string_view key, bool value)
{
    next_member(key);
    text_ += value ? "true" : "false";
}

void JsonText::exact_field(std::string_view key, std::optional<double> value)
{
    if (value && !std::isfinite(*value))
        throw std::invalid_argument("JSON has no NaN or infinity");
    next_member(key);
    text_ += value ? exact_number(*value) : std::string("null");
}

void JsonText::field(std::string_view key, std::optional<double> value)
{
    if (value) {
        field(key, *value);
        return;
    }
    next_member(key);
    text_ += "null";
}

}  // namespace snr
