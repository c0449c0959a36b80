#pragma once

#include "core/plane.h"

namespace snr {

// The per-pixel steps of the two passes over a folder's slices, in extended precision, each
// result rounded to double where it is stored. A failure raises FloatError at the first pixel
// in row-major order, with the pixels before it updated and none after.

// rep := the sample; then signal := signal + rep.
void add_slice(const Samples& samples, Plane& rep, Plane& signal);

// noise := noise + (sample - mean)^2.
void add_squared_deviations(const Samples& samples, const Plane& mean, Plane& noise);

}  // namespace snr
