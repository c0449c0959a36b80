// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace snr {

// The module snr-codecs: DCMTK's JPEG and JPEG-LS decoders, which the reader loads at its first
// file that needs them (linked into the programs, their libraries, and dcmimage's, would load
// at every start: a few milliseconds that most runs never use).
struct CodecModule {
    // Adds the JPEG-LS decoder to DCMTK's list, and takes it out of it at exit.
    void (*register_codecs)();
    // Decodes one lossless JPEG stream whose frame header says `precision` bits and `samples`
    // samples into `words`, one a sample. Why it could not, or why the stream is damaged (a
    // warning of the decoder counts), after "JPEG: "; empty once every sample is decoded.
    std::string (*decode_jpeg)(const std::uint8_t* stream, std::size_t size, int precision, std::uint16_t* words,
                               std::size_t samples);
};

}  // namespace snr
