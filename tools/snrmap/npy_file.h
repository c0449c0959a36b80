#pragma once

#include <string>

#include "core/plane.h"

namespace snr::snrmap {

// A plane as a NumPy file, version 1.0: little-endian float64, shape (256, 256), C order.
std::string npy_bytes(const Plane& plane);

}  // namespace snr::snrmap
