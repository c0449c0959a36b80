// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace snr {

// One character of UTF-8 text: its code point and its length in bytes.
struct Utf8Char {
    char32_t code = 0;
    std::size_t length = 0;  // 0: no valid sequence starts here
};

// The character at bytes[at]. Overlong forms, surrogates, code points beyond U+10FFFF and
// sequences cut short are not valid.
Utf8Char utf8_at(std::string_view bytes, std::size_t at);

// Appends the code point (at most U+10FFFF, no surrogate) as UTF-8.
void append_utf8(std::string& out, char32_t code);

// The code point of the last character of the text, 0 for empty text; a last byte that ends
// no valid sequence counts as its own value.
char32_t last_code_point(std::string_view text);

// The text as a terminal may show it without being steered by it: valid UTF-8 as it is, but
// control characters, line separators and the marks that reorder text (bidirectional
// controls) as \xHH or \uHHHH, and so is each byte that starts no valid character.
std::string visible_text(std::string_view text);

}  // namespace snr
