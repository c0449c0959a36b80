// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstdint>
#include <string>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcpixel.h>

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

// Why the compressed Pixel Data in `xfer` is not what its lossless syntax promises: a JPEG
// lossless stream with a point transform, a JPEG-LS stream with NEAR or a point transform.
// Empty when each frame's stream starts as a lossless one.
std::string lossy_stream_detail(DcmPixelSequence& fragments, E_TransferSyntax xfer);

// Decodes frame `frame` of the Pixel Data of `data` into 65,536 words in this machine's byte
// order through DCMTK's codecs (registered at the first call); `start_fragment` carries the
// fragment of the next frame from call to call. False when the codec fails.
bool decode_frame(DcmPixelData& pixels, DcmItem& data, int frame, Uint32& start_fragment, std::uint16_t* words);

}  // namespace snr
