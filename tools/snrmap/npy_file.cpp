// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/npy_file.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace snr::snrmap {

static_assert(std::endian::native == std::endian::little, "planes are written as they lie in memory");

std::string npy_header()
{
    constexpr char magic[] = "\x93NUMPY\x01\x00";
    constexpr std::size_t magic_size = 8;
    std::string header = "{'descr': '<f8', 'fortran_order': False, 'shape': (" + std::to_string(plane_side) + ", " +
                         std::to_string(plane_side) + "), }";
    // Magic, two length bytes and the header, padded with blanks and ended by a newline, fill
    // a multiple of 64 bytes so the data is aligned.
    const std::size_t unpadded = magic_size + 2 + header.size() + 1;
    header.append((64 - unpadded % 64) % 64, ' ');
    header += '\n';

    std::string bytes(magic, magic_size);
    bytes += static_cast<char>(header.size() & 0xFF);
    bytes += static_cast<char>(header.size() >> 8);
    bytes += header;
    return bytes;
}

std::string_view npy_data(const Plane& plane)
{
    return {reinterpret_cast<const char*>(plane.data()), sizeof(double) * plane.size()};
}

std::string npy_bytes(const Plane& plane)
{
    return npy_header() + std::string(npy_data(plane));
}

bool npy_plane(std::string_view bytes, Plane& plane)
{
    const std::string header = npy_header();
    if (bytes.size() != header.size() + sizeof(double) * plane.size() || bytes.substr(0, header.size()) != header)
        return false;
    std::memcpy(plane.data(), bytes.data() + header.size(), sizeof(double) * plane.size());
    return true;
}

}  // namespace snr::snrmap
