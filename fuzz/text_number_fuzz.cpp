// SPDX-License-Identifier: BSD-3-Clause
// Text to number on any text: accepted exactly when it is a decimal number within the
// extended range, with the value the C library reads; refused with the conversion message
// naming the text otherwise. Storing the value into a double gives a finite double or the
// overflow error, never an infinity.

#include <cerrno>
#include <cstring>
#include <locale.h>

#include "core/extended.h"
#include "core/text_number.h"
#include "fuzz/fuzz_support.h"

using namespace snr;

// The grammar, written out once more: blanks, sign, digits with an optional fraction (at
// least one digit), an optional exponent with at least one digit, blanks.
static bool grammatical(const std::string& text, std::string& number)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return false;
    const auto last = text.find_last_not_of(' ');
    number = text.substr(first, last - first + 1);
    std::size_t i = 0;
    auto digits = [&] {
        std::size_t n = 0;
        while (i < number.size() && number[i] >= '0' && number[i] <= '9')
            ++i, ++n;
        return n;
    };
    if (i < number.size() && (number[i] == '+' || number[i] == '-'))
        ++i;
    std::size_t mantissa = digits();
    if (i < number.size() && number[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return false;
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
        ++i;
        if (i < number.size() && (number[i] == '+' || number[i] == '-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    return i == number.size();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string number;
    const bool expected = grammatical(text, number);
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    const long double reference = expected ? strtold_l(number.c_str(), nullptr, c_locale) : 0.0L;
    const bool in_range = expected && std::isfinite(reference);

    long double value = 0;
    try {
        value = text_to_float(text);
    } catch (const ConvertError& error) {
        fuzz::check(!in_range, "refused a number: " + text);
        // Compared as the C string the error box receives (a NUL in the text ends it there too).
        fuzz::check(std::strcmp(error.what(), ("'" + text + "' は浮動小数点数ではありません").c_str()) == 0,
                    "message without the text");
        return 0;
    }
    fuzz::check(in_range, "accepted a text that is no number in range: " + text);
    fuzz::check(value == reference, "value differs from the C library: " + text);

    // Halfway between the largest double and 2^1024 rounds up (to even): the overflow begins there.
    const long double overflow_from = std::ldexp(1.0L, 1024) - std::ldexp(1.0L, 970);
    try {
        const double stored = ext::store(value);
        fuzz::check(std::isfinite(stored), "stored an infinity");
        fuzz::check(std::fabs(value) < overflow_from, "stored beyond double");
    } catch (const FloatError& error) {
        fuzz::check(error.fault() == FloatFault::Overflow, "store failed without overflow");
        fuzz::check(std::fabs(value) >= overflow_from, "overflow within range");
    }
    return 0;
}
