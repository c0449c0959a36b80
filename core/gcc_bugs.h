// SPDX-License-Identifier: BSD-3-Clause
#pragma once

// GCC 12 at -O3 reports a false overlap (-Wrestrict) in the inlined insert of a literal
// prepended to a std::string ("x" + std::string(...)): GCC bug 105651. Wrap only the function
// that does it; other compilers see nothing.
#if defined(__GNUC__) && !defined(__clang__)
#define SNR_GCC_BUG_105651_BEGIN _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wrestrict\"")
#define SNR_GCC_BUG_105651_END _Pragma("GCC diagnostic pop")
#else
#define SNR_GCC_BUG_105651_BEGIN
#define SNR_GCC_BUG_105651_END
#endif
