// SPDX-License-Identifier: BSD-3-Clause
#include "core/dicom_meta.h"

#include <algorithm>
#include <cstring>

namespace snr {

namespace {

constexpr std::size_t meta_start = 132;  // after the preamble and "DICM"
constexpr std::size_t most_starts = 8;
constexpr std::size_t longest_uid = 64;

unsigned little16(const unsigned char* at) { return at[0] | at[1] << 8; }
unsigned long little32(const unsigned char* at) { return little16(at) | static_cast<unsigned long>(little16(at + 2)) << 16; }

bool uid_text(const unsigned char* at, std::size_t length)
{
    return std::all_of(at, at + length, [](unsigned char c) { return (c >= '0' && c <= '9') || c == '.' || c == 0 || c == ' '; });
}

}  // namespace

MetaClues meta_clues(const unsigned char* head, std::size_t length)
{
    MetaClues clues;
    if (length >= meta_start + 12 && std::memcmp(head + meta_start, "\x02\x00\x00\x00UL\x04\x00", 8) == 0) {
        const unsigned long group_length = little32(head + meta_start + 8);
        clues.data_set_starts.push_back(static_cast<long long>(meta_start + 12 + group_length));
    }
    for (std::size_t at = meta_start; at + 8 <= length && clues.transfer_syntax.empty(); ++at) {
        if (std::memcmp(head + at, "\x02\x00\x10\x00", 4) != 0)
            continue;
        const bool explicit_vr = head[at + 4] == 'U' && head[at + 5] == 'I';
        const std::size_t value_length = explicit_vr ? little16(head + at + 6) : little32(head + at + 4);
        const std::size_t value = at + 8;
        if (value_length > 0 && value_length <= longest_uid && value + value_length <= length &&
            uid_text(head + value, value_length))
            clues.transfer_syntax.assign(reinterpret_cast<const char*>(head + value), value_length);
    }
    // An image's data set opens with one of its first elements: (0008,0005) to (0008,0018), SOP
    // Instance UID, of which SOP Class UID is never missing. Other elements of group 0008 come
    // later, or nested in sequences, where a parse starting there would take the items'
    // attributes as the data set's.
    for (std::size_t at = meta_start; at + 4 <= length && clues.data_set_starts.size() < most_starts; ++at) {
        const bool little = head[at] == 0x08 && head[at + 1] == 0x00 && head[at + 2] <= 0x18 && head[at + 3] == 0;
        const bool big = head[at] == 0x00 && head[at + 1] == 0x08 && head[at + 2] == 0 && head[at + 3] <= 0x18;
        if (little || big)
            clues.data_set_starts.push_back(static_cast<long long>(at));
    }
    return clues;
}

}  // namespace snr
