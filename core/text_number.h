// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string_view>

namespace snr {

// Text to number: blanks around, an optional sign, digits with an optional "." fraction,
// an optional exponent ("E" or "e", optional sign, digits), at least one mantissa digit.
// "." is the decimal separator whatever the locale. The result keeps extended precision;
// anything else, or a value beyond the extended range, raises ConvertError.
long double text_to_float(std::string_view text);

}  // namespace snr
