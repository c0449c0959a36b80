// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "core/extended.h"

namespace snr {

// The g-factor map holds 100 x g at each pixel: 100 x SNR without PI / (sqrt(R) x SNR with
// PI), formed in extended precision and rounded once. Raises FloatError as ext:: does.
inline double gfactor_pixel(double snr_nopi, double snr_pi, double r)
{
    return ext::store(ext::div(100 * static_cast<ext::real>(snr_nopi), ext::sqrt(r) * snr_pi));
}

// A value of the g-factor map in g: divided by 100 in extended precision and rounded to double.
inline double in_g(double value) { return ext::store(static_cast<ext::real>(value) / 100); }

}  // namespace snr
