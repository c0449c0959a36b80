// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstdint>
#include <string>

#include "core/plane.h"

namespace snr::snrmap {

// The plane drawn through the window as the window's picture draws it, as 8-bit grey PNG
// bytes. The window draws nothing for a width of 0 (a plane whose maximum is below 1); the
// picture then takes the width 1, the least width a drag leaves.
std::string png_bytes(const Plane& plane, std::int16_t wl, std::int16_t ww);

}  // namespace snr::snrmap
