// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstdint>
#include <string>

#include "core/dicom_image.h"
#include "core/plane.h"

namespace snr {

// Memory for the words of a frame, decoded in place into the values.
inline std::uint16_t* value_words(SliceValues& values) { return reinterpret_cast<std::uint16_t*>(values.stored.data()); }

// The stored values of a frame's words (the stored bits of each, sign-extended where the
// values are signed) and their rescale, or why the file is refused. The words may be
// `values`' own, read there; without `values` the words are only looked at where their values
// may refuse the file.
std::string decode_pixels(std::uint16_t* words, const PixelFormat& format, SliceValues* values);

// Whether a frame's values are looked at by a check: unsigned 16-bit values may exceed 32767.
bool values_may_refuse(const PixelFormat& format);

// Why the rescale of a frame (its texts as written) cannot be used, or nothing once `format`
// holds it.
std::string take_rescale(const DicomAttributes& attributes, PixelFormat& format);

}  // namespace snr
