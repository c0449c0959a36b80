// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <span>

#include "core/plane.h"

namespace snr {

// The per-pixel steps of the two passes over a folder's slices, in extended precision, each
// result rounded to double where it is stored. A failure raises FloatError at the first pixel
// in row-major order, with the pixels before it updated and none after.

// rep := the sample; then signal := signal + rep.
void add_slice(const Samples& samples, Plane& rep, Plane& signal);

// noise := noise + (sample - mean)^2.
void add_squared_deviations(const Samples& samples, const Plane& mean, Plane& noise);

// The same steps for slices of whole (not rescaled) samples, one slice after the other, with
// the same results: rep := the last slice. These never fail. add_whole_slices needs a signal
// of whole sums alone (zero, or the sums of whole slices so far); add_whole_squared_deviations
// needs a mean of such a signal.
void add_whole_slices(std::span<const StoredPixels* const> slices, Plane& rep, Plane& signal);
void add_whole_squared_deviations(std::span<const StoredPixels* const> slices, const Plane& mean, Plane& noise);

}  // namespace snr
