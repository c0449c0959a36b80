// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace snr {

// Whether a Specific Character Set names the Japanese sets of code extension (ISO 2022 IR 13,
// 87 or 159), which the toolkit cannot convert through the C library here.
bool names_japanese_sets(std::string_view sets);

// A text in those sets (escape sequences switching between ASCII or JIS X 0201 and JIS X 0208
// or 0212; half-width katakana as bytes from 0xA1 where ISO 2022 IR 13 is declared) in UTF-8;
// nothing where it holds a byte or sequence they do not decode.
std::optional<std::string> japanese_to_utf8(std::string_view text);

}  // namespace snr
