// SPDX-License-Identifier: BSD-3-Clause
// snrmap's JSON writer and reader on any bytes. A string of any bytes becomes a valid JSON string (no
// raw control byte, valid UTF-8, known escapes only) from which the bytes can be told again;
// a number, also in 17 digits, reads back as the same double or is refused; a document built
// of any keys, values, objects and arrays is valid JSON.
//
// Input: the first line is the string; the rest is a list of steps, each a byte choosing
// what to add and the key and value it takes from the lines that follow.

#include <charconv>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "record/json_reading.h"
#include "record/json_text.h"

using namespace snr;

namespace {

// Reads JSON as RFC 8259 has it; every read_ function fails the check on bad input.
class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    void document()
    {
        blanks();
        value(0);
        blanks();
        fuzz::check(at_ == text_.size(), "text after the document");
    }

    // A string at the position; returns its bytes with each \u00XX escape taken as byte XX.
    std::string string()
    {
        expect('"');
        std::string bytes;
        for (;;) {
            fuzz::check(at_ < text_.size(), "unterminated string");
            const auto c = static_cast<unsigned char>(text_[at_]);
            if (c == '"') {
                ++at_;
                return bytes;
            }
            fuzz::check(c >= 0x20, "raw control byte in a string");
            fuzz::check(c != 0x7F, "raw DEL in a string");
            if (c == '\\') {
                fuzz::check(at_ + 1 < text_.size(), "escape at the end");
                const char kind = text_[at_ + 1];
                at_ += 2;
                const char* from = "\"\\/bfnrt";
                const char* to = "\"\\/\b\f\n\r\t";
                if (const char* found = std::strchr(from, kind); found != nullptr && kind != '\0') {
                    bytes += to[found - from];
                    continue;
                }
                fuzz::check(kind == 'u' && at_ + 4 <= text_.size(), "unknown escape");
                unsigned code = 0;
                const auto [end, error] = std::from_chars(text_.data() + at_, text_.data() + at_ + 4, code, 16);
                fuzz::check(error == std::errc() && end == text_.data() + at_ + 4, "bad \\u escape");
                fuzz::check(code < 0x100, "an escape beyond one byte");
                bytes += static_cast<char>(code);
                at_ += 4;
                continue;
            }
            const std::size_t length = utf8_length(at_);
            fuzz::check(length > 0, "invalid UTF-8 in a string");
            bytes.append(text_.substr(at_, length));
            at_ += length;
        }
    }

private:
    void value(int depth)
    {
        fuzz::check(depth < 200, "nested too deep");
        fuzz::check(at_ < text_.size(), "missing value");
        const char c = text_[at_];
        if (c == '{' || c == '[') {
            const char close = c == '{' ? '}' : ']';
            ++at_;
            blanks();
            if (peek(close))
                return;
            for (;;) {
                blanks();
                if (c == '{') {
                    string();
                    blanks();
                    expect(':');
                    blanks();
                }
                value(depth + 1);
                blanks();
                if (peek(close))
                    return;
                expect(',');
            }
        }
        if (c == '"') {
            string();
            return;
        }
        for (const char* word : {"true", "false", "null"}) {
            if (text_.substr(at_, std::strlen(word)) == word) {
                at_ += std::strlen(word);
                return;
            }
        }
        number();
    }

    void number()
    {
        peek('-');
        const std::size_t first = at_;
        const std::size_t whole = digits();
        fuzz::check(whole > 0, "number without digits");
        fuzz::check(whole == 1 || text_[first] != '0', "number with a leading zero");
        if (peek('.'))
            fuzz::check(digits() > 0, "fraction without digits");
        if (peek('e') || peek('E')) {
            if (!peek('+'))
                peek('-');
            fuzz::check(digits() > 0, "exponent without digits");
        }
    }

    std::size_t digits()
    {
        std::size_t n = 0;
        while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9')
            ++at_, ++n;
        return n;
    }

    bool peek(char c)
    {
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    void expect(char c) { fuzz::check(peek(c), std::string("expected ") + c); }

    void blanks()
    {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\t' || text_[at_] == '\r'))
            ++at_;
    }

    std::size_t utf8_length(std::size_t at) const
    {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text_[k]); };
        const unsigned char lead = byte(at);
        if (lead < 0x80)
            return 1;
        std::size_t length = lead >= 0xF0 && lead <= 0xF4   ? 4
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                                                            : 0;
        if (length == 0 || at + length > text_.size())
            return 0;
        char32_t code = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            if ((byte(at + k) & 0xC0) != 0x80)
                return 0;
            code = (code << 6) | (byte(at + k) & 0x3F);
        }
        const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
            return 0;
        return length;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

double double_of(const std::string& bytes)
{
    double value = 0;
    std::memcpy(&value, bytes.data(), std::min(bytes.size(), sizeof value));
    return value;
}

void check_number(double value, bool exact)
{
    std::string text;
    try {
        if (exact) {
            JsonText json;
            json.begin_object();
            json.exact_field("", value);
            json.end_object();
            const std::string& whole = json.text();
            const std::size_t from = whole.find(": ") + 2;
            text = whole.substr(from, whole.rfind("\n}") - from);
        } else {
            text = json_number(value);
        }
    } catch (const std::invalid_argument&) {
        fuzz::check(!std::isfinite(value), "refused a finite number");
        return;
    }
    fuzz::check(std::isfinite(value), "wrote a number that is not finite: " + text);
    Reader(text).document();
    double back = 0;
    std::from_chars(text.data(), text.data() + text.size(), back);
    fuzz::check(std::memcmp(&back, &value, sizeof value) == 0, "number reads back differently: " + text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const std::string bytes = input.line(4096);
    const std::string quoted = json_string(bytes);
    Reader whole(quoted);
    whole.document();
    fuzz::check(Reader(quoted).string() == bytes, "the bytes cannot be told from the string");
    fuzz::check(parse_json(quoted).text == bytes, "snrmap's reader gives other bytes than were written");
    // Any text: read, or refused as no JSON.
    try {
        parse_json(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const JsonSyntaxError&) {
    }

    JsonText json;
    json.begin_object();
    std::vector<bool> open{false};  // per open container: an array?
    for (int step = 0; step < 64 && !open.empty(); ++step) {
        const std::uint8_t kind = input.byte();
        const std::string key = input.line(64);
        switch (kind % 10) {
        case 0:
            json.begin_object(key);
            open.push_back(false);
            break;
        case 8:
            json.begin_array(key);
            open.push_back(true);
            break;
        case 1:
            open.back() ? json.end_array() : json.end_object();
            open.pop_back();
            break;
        case 2:
            json.field(key, input.line(64));
            break;
        case 3:
        case 9: {
            const double value = double_of(input.line(8));
            check_number(value, kind % 10 == 9);
            try {
                if (kind % 10 == 9)
                    json.exact_field(key, value);
                else
                    json.field(key, value);
            } catch (const std::invalid_argument&) {
                // refused, and the document goes on as it was
            }
            break;
        }
        case 4:
            json.field(key, static_cast<long long>(input.word()) - 32768);
            break;
        case 5:
            json.field(key, static_cast<unsigned long long>(input.word()) << 48);
            break;
        case 6:
            json.field(key, (input.byte() & 1) != 0);
            break;
        default:
            json.field(key, std::optional<double>());
            break;
        }
    }
    for (; !open.empty(); open.pop_back())
        open.back() ? json.end_array() : json.end_object();
    Reader(json.text()).document();
    parse_json(json.text());
    return 0;
}
