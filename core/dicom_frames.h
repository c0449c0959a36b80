// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>

#include "core/dicom_image.h"

namespace snr {

// What the markers of a JPEG or JPEG-LS stream say before its first scan.
struct JpegHeader {
    int frame_marker = 0;  // the SOF marker's second byte (0xC3 lossless JPEG, 0xF7 JPEG-LS); 0: none
    int precision = 0, rows = 0, columns = 0, components = 0;
    bool scan = false;   // a scan header follows the frame header
    int selection = 0;   // of the first scan: the predictor (JPEG) or NEAR (JPEG-LS)
    int point_transform = 0;
};

JpegHeader jpeg_header(const std::uint8_t* bytes, std::size_t length);

// Why the compressed Pixel Data in `xfer` is not what its lossless syntax promises: a JPEG
// lossless stream with a point transform, a JPEG-LS stream with NEAR or a point transform.
// Empty when each frame's stream starts as a lossless one.
std::string lossy_stream_detail(DcmPixelSequence& fragments, E_TransferSyntax xfer);

// The 65,536 words of a 16-bit RLE frame, both its segments checked: the header's count and
// offsets, and each segment decoding to exactly a byte a pixel. Why not, after "RLE: ".
std::string decode_rle(const std::uint8_t* stream, std::size_t size, std::uint16_t* words);

// Decodes frame `frame` of `frames` of the encapsulated Pixel Data of `data` into 65,536 words
// in this machine's byte order: the fragments that hold the frame (by the offset table, else
// one a frame, else where each stream begins), the stream's header against the image's
// attributes, the decoder's every complaint. Why the file is refused, after its name;
// empty once every word is the frame's. `starts` holds the item each frame's fragments start
// at: empty before a file's first frame is decoded, which finds them for all its frames.
std::string decode_frame(DcmPixelData& pixels, DcmPixelSequence& fragments, DcmItem& data, E_TransferSyntax xfer,
                         int frames, int frame, std::vector<unsigned long>& starts, const PixelFormat& format,
                         std::uint16_t* words);

}  // namespace snr
