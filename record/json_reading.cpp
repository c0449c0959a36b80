// SPDX-License-Identifier: BSD-3-Clause
#include "record/json_reading.h"

#include <charconv>
#include <cmath>

#include "core/utf8.h"

namespace snr {

const JsonValue* JsonValue::member(std::string_view name) const
{
    for (const auto& [key, value] : members) {
        if (key == name)
            return &value;
    }
    return nullptr;
}

namespace {

constexpr int deepest = 200;

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    JsonValue document()
    {
        JsonValue value = parse(0);
        skip_blanks();
        if (at_ != text_.size())
            fail("garbage at the end of the document");
        return value;
    }

private:
    [[noreturn]] void fail(const char* reason) const { throw JsonSyntaxError{at_, reason}; }

    void skip_blanks()
    {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r' || text_[at_] == '\n'))
            ++at_;
    }

    bool take(std::string_view word)
    {
        if (text_.substr(at_, word.size()) != word)
            return false;
        at_ += word.size();
        return true;
    }

    JsonValue parse(int depth)
    {
        if (depth > deepest)
            fail("too deeply nested");
        skip_blanks();
        if (at_ >= text_.size())
            fail("unexpected end of the document");
        JsonValue value;
        const char c = text_[at_];
        if (c == '{') {
            ++at_;
            value.kind = JsonValue::Kind::Object;
            skip_blanks();
            if (take("}"))
                return value;
            do {
                skip_blanks();
                if (at_ >= text_.size() || text_[at_] != '"')
                    fail("a member's name is missing");
                std::string key = string();
                skip_blanks();
                if (!take(":"))
                    fail("a ':' is missing after a member's name");
                value.members.push_back(JsonMember{std::move(key), parse(depth + 1)});
                skip_blanks();
            } while (take(","));
            if (!take("}"))
                fail("a ',' or '}' is missing in an object");
        } else if (c == '[') {
            ++at_;
            value.kind = JsonValue::Kind::Array;
            skip_blanks();
            if (take("]"))
                return value;
            do
                value.items.push_back(parse(depth + 1));
            while ((skip_blanks(), take(",")));
            if (!take("]"))
                fail("a ',' or ']' is missing in an array");
        } else if (c == '"') {
            value.kind = JsonValue::Kind::String;
            value.text = string();
        } else if (take("true")) {
            value.kind = JsonValue::Kind::Bool;
            value.flag = true;
        } else if (take("false")) {
            value.kind = JsonValue::Kind::Bool;
        } else if (take("null")) {
            value.kind = JsonValue::Kind::Null;
        } else {
            value.kind = JsonValue::Kind::Number;
            value.number = number();
        }
        return value;
    }

    double number()
    {
        const std::size_t start = at_;
        const auto digits = [&] {
            const std::size_t from = at_;
            while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9')
                ++at_;
            return at_ > from;
        };
        take("-");
        if (!take("0") && !digits())
            fail("illegal value");
        if (take(".") && !digits())
            fail("illegal number");
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
            ++at_;
            if (!take("+"))
                take("-");
            if (!digits())
                fail("illegal number");
        }
        double value = 0;
        const auto [end, error] = std::from_chars(text_.data() + start, text_.data() + at_, value);
        if (error != std::errc() || end != text_.data() + at_ || !std::isfinite(value))
            fail("number out of range");
        return value;
    }

    unsigned hex4()
    {
        if (at_ + 4 > text_.size())
            fail("unterminated string");
        unsigned value = 0;
        const auto [end, error] = std::from_chars(text_.data() + at_, text_.data() + at_ + 4, value, 16);
        if (error != std::errc() || end != text_.data() + at_ + 4)
            fail("illegal escape sequence");
        at_ += 4;
        return value;
    }

    std::string string()
    {
        ++at_;  // the opening quote
        std::string out;
        while (true) {
            if (at_ >= text_.size())
                fail("unterminated string");
            const char c = text_[at_];
            if (c == '"') {
                ++at_;
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20)
                fail("a control character in a string");
            if (c != '\\') {
                out += c;
                ++at_;
                continue;
            }
            ++at_;
            if (at_ >= text_.size())
                fail("unterminated string");
            const char escaped = text_[at_++];
            switch (escaped) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': unicode(out); break;
            default: fail("illegal escape sequence");
            }
        }
    }

    // \uXXXX: up to \u00FF the byte itself (the writer's convention for bytes of no valid
    // UTF-8 and control characters), else the character, a surrogate pair taken whole.
    void unicode(std::string& out)
    {
        unsigned code = hex4();
        if (code <= 0xFF) {
            out += static_cast<char>(code);
            return;
        }
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (!take("\\u"))
                fail("a lone surrogate");
            const unsigned low = hex4();
            if (low < 0xDC00 || low > 0xDFFF)
                fail("a lone surrogate");
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        } else if (code >= 0xDC00 && code <= 0xDFFF) {
            fail("a lone surrogate");
        }
        append_utf8(out, code);
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

JsonValue parse_json(std::string_view text) { return Parser(text).document(); }

}  // namespace snr
