// SPDX-License-Identifier: BSD-3-Clause
#include "core/text_number.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

#include "core/errors.h"

namespace snr {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Checks the grammar; on success [first, last) is the number without the blanks.
bool well_formed(std::string_view text, std::size_t& first, std::size_t& last)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    first = i;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < n && is_digit(text[i]))
        ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && is_digit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < n && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            ++i;
        std::size_t exponent_digits = 0;
        while (i < n && is_digit(text[i]))
            ++i, ++exponent_digits;
        if (exponent_digits == 0)
            return false;
    }
    last = i;
    while (i < n && text[i] == ' ')
        ++i;
    return i == n;
}

locale_t c_locale()
{
    static locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return locale;
}

}  // namespace

long double text_to_float(std::string_view text)
{
    std::size_t first = 0, last = 0;
    if (!well_formed(text, first, last))
        throw ConvertError(text);
    const std::string number(text.substr(first, last - first));
    errno = 0;
    char* end = nullptr;
    long double value = strtold_l(number.c_str(), &end, c_locale());
    if (end != number.c_str() + number.size() || std::isinf(value) || std::isnan(value))
        throw ConvertError(text);
    return value;
}

}  // namespace snr
