// SPDX-License-Identifier: BSD-3-Clause
#pragma once

// Extended-precision arithmetic with the traps of the measurements made explicit.
// Intermediates are long double (x87, 64-bit mantissa); a value is rounded to double exactly
// where it is stored. Division by zero, invalid operations and overflow on store raise
// FloatError instead of producing an infinity or a NaN.

#include <cmath>
#include <cstdint>

#include "core/errors.h"

namespace snr::ext {

using real = long double;

inline real div(real numerator, real denominator)
{
    if (denominator == 0) {
        throw FloatError(numerator == 0 || std::isnan(numerator) ? FloatFault::Invalid
                                                                   : FloatFault::DivideByZero);
    }
    return numerator / denominator;
}

inline real sqrt(real x)
{
    if (x < 0 || std::isnan(x))
        throw FloatError(FloatFault::Invalid);
    return std::sqrt(x);
}

// Rounds to double; a result beyond the double range is an overflow, never an infinity.
inline double store(real x)
{
    double stored = static_cast<double>(x);
    if (!std::isfinite(stored))
        throw FloatError(std::isnan(x) ? FloatFault::Invalid : FloatFault::Overflow);
    return stored;
}

// Integer quotient toward zero; a zero divisor raises the integer division error.
inline long long int_div(long long numerator, long long denominator)
{
    if (denominator == 0)
        throw IntDivideByZero();
    return numerator / denominator;
}

inline std::int16_t low_16_bits(long long value)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<unsigned long long>(value) & 0xFFFFu));
}

// The low 16 bits of a whole number held in extended precision. Beyond the 64-bit integer
// range the conversion is an invalid operation.
inline std::int16_t low_16_bits_of_whole(real whole)
{
    constexpr real limit = 9223372036854775808.0L;  // 2^63
    if (!(whole >= -limit && whole < limit))
        throw FloatError(FloatFault::Invalid);
    return low_16_bits(static_cast<long long>(whole));
}

}  // namespace snr::ext
