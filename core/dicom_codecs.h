// SPDX-License-Identifier: BSD-3-Clause
#pragma once

namespace snr {

// The module snr-codecs: DCMTK's JPEG and JPEG-LS decoders, which the reader loads at its first
// file that needs them (linked into the programs, their libraries, and dcmimage's, would load
// at every start: a few milliseconds that most runs never use).
struct CodecModule {
    // Adds the decoders to DCMTK's list, and takes them out of it at exit.
    void (*register_codecs)();
};

}  // namespace snr
