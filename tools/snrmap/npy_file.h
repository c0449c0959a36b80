// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>
#include <string_view>

#include "core/plane.h"

namespace snr::snrmap {

// A plane as a NumPy file, version 1.0: little-endian float64, shape (256, 256), C order.
std::string npy_bytes(const Plane& plane);

// The same file in two parts: its header, then the plane's memory as it lies.
std::string npy_header();
std::string_view npy_data(const Plane& plane);

// The plane of such a file: false unless `bytes` are a header as npy_header() writes it
// followed by the plane's 524,288 bytes.
bool npy_plane(std::string_view bytes, Plane& plane);

}  // namespace snr::snrmap
