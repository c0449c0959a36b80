// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace snr {

// What the bytes of a file meta group that DCMTK cannot read (or that names no known transfer
// syntax) still tell: the Transfer Syntax UID where its element (explicit or implicit VR
// little endian, as meta groups are written) is whole, and where the data set may begin —
// after the length the group length element gives, then at each tag that may open an image's
// data set ((0008,0000) to (0008,0018)) in either byte order, in file order.
struct MetaClues {
    std::string transfer_syntax;
    std::vector<long long> data_set_starts;
};

// `head` holds the file's first bytes, from the preamble on.
MetaClues meta_clues(const unsigned char* head, std::size_t length);

}  // namespace snr
