// SPDX-License-Identifier: BSD-3-Clause
#include "core/utf8.h"

#include <algorithm>
#include <cstdio>

namespace snr {

Utf8Char utf8_at(std::string_view bytes, std::size_t at)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return {lead, 1};
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || at + length > bytes.size())
        return {};
    char32_t code = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80)
            return {};
        code = (code << 6) | (byte(at + k) & 0x3F);
    }
    constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        return {};
    return {code, length};
}

char32_t last_code_point(std::string_view text)
{
    if (text.empty())
        return 0;
    for (std::size_t length = 1; length <= 4 && length <= text.size(); ++length) {
        const Utf8Char last = utf8_at(text, text.size() - length);
        if (last.length == length)
            return last.code;
    }
    return static_cast<unsigned char>(text.back());
}

std::string visible_text(std::string_view text)
{
    const auto plain = [](char c) { return c >= 0x20 && c < 0x7F; };
    if (std::all_of(text.begin(), text.end(), plain))
        return std::string(text);
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Char character = utf8_at(text, at);
        const char32_t code = character.code;
        const bool hidden = character.length == 0 || code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x061C ||
                            code == 0x200E || code == 0x200F || (code >= 0x2028 && code <= 0x202E) ||
                            (code >= 0x2066 && code <= 0x2069);
        if (!hidden) {
            shown.append(text, at, character.length);
            at += character.length;
            continue;
        }
        char escape[12];
        if (character.length <= 1)
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(text[at]));
        else
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(code));
        shown += escape;
        at += character.length == 0 ? 1 : character.length;
    }
    return shown;
}

void append_utf8(std::string& out, char32_t code)
{
    const auto byte = [&](char32_t value) { out += static_cast<char>(value); };
    if (code < 0x80) {
        byte(code);
    } else if (code < 0x800) {
        byte(0xC0 | code >> 6);
        byte(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        byte(0xE0 | code >> 12);
        byte(0x80 | (code >> 6 & 0x3F));
        byte(0x80 | (code & 0x3F));
    } else {
        byte(0xF0 | code >> 18);
        byte(0x80 | (code >> 12 & 0x3F));
        byte(0x80 | (code >> 6 & 0x3F));
        byte(0x80 | (code & 0x3F));
    }
}

}  // namespace snr
