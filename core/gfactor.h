// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstddef>
#include <span>

#include "core/extended.h"

namespace snr {

// The g-factor map holds 100 x g at each pixel: 100 x SNR without PI / (sqrt(R) x SNR with
// PI), formed in extended precision and rounded once. Raises FloatError as ext:: does.
inline double gfactor_pixel(double snr_nopi, double snr_pi, double r)
{
    return ext::store(ext::div(100 * static_cast<ext::real>(snr_nopi), ext::sqrt(r) * snr_pi));
}

// The g-factor map's values from the two SNR maps' values at the same pixels: 0 where the PI
// SNR is 0, which gives no g.
inline void gfactor_values(std::span<const double> snr_nopi, std::span<const double> snr_pi, double r,
                           std::span<double> gfactor)
{
    for (std::size_t p = 0; p < gfactor.size(); ++p)
        gfactor[p] = snr_pi[p] != 0 ? gfactor_pixel(snr_nopi[p], snr_pi[p], r) : 0.0;
}

// A value of the g-factor map in g: divided by 100 in extended precision and rounded to double.
inline double in_g(double value) { return ext::store(static_cast<ext::real>(value) / 100); }

}  // namespace snr
