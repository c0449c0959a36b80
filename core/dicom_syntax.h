// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcxfer.h>

namespace snr {

// What the reader does with the pixels of a transfer syntax.
enum class SyntaxUse {
    Native,      // words in the file, read where they lie
    Decoded,     // a lossless compression that DCMTK's codecs decode
    Inflated,    // the whole data set deflated; DCMTK inflates it while parsing
    Lossy,       // refused: the compression changes the noise being measured
    Unsupported, // refused: no codec here (lossless) or no pixels in the file
    Unknown,     // no transfer syntax the toolkit knows: the file's own is detected
};

struct TransferSyntax {
    E_TransferSyntax xfer = EXS_Unknown;
    SyntaxUse use = SyntaxUse::Unknown;
    std::string name;  // for messages
};

// The transfer syntax a UID names, as written in a file meta group (padding allowed).
TransferSyntax transfer_syntax(const std::string& uid);

// Why a file in a syntax of use Lossy or Unsupported is refused, after its name.
std::string syntax_refusal(const TransferSyntax& syntax, const std::string& uid);

}  // namespace snr
