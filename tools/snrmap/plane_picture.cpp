// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/plane_picture.h"

#include <algorithm>
#include <array>
#include <zlib.h>

#include "core/display.h"

namespace snr::snrmap {

namespace {

constexpr std::size_t row_bytes = plane_side + 1;  // a filter type byte, then the greys
constexpr std::size_t rows_bytes = row_bytes * plane_side;
constexpr std::size_t most_stored = 65535;  // bytes of one stored deflate block
constexpr std::size_t stored_blocks = (rows_bytes + most_stored - 1) / most_stored;
// zlib header, the blocks (each a header byte and two lengths), Adler-32.
constexpr std::size_t zlib_bytes = 2 + stored_blocks * 5 + rows_bytes + 4;
constexpr std::size_t chunk_overhead = 12;  // length, type, CRC
constexpr std::size_t header_bytes = 13;  // IHDR's data
constexpr std::size_t png_size =
    8 + (chunk_overhead + header_bytes) + (chunk_overhead + zlib_bytes) + chunk_overhead;

void put_u32(std::string& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

// A chunk of `length` bytes of data, which `write` appends to `out`.
template <class Write>
void put_chunk(std::string& out, const char* type, std::size_t length, Write write)
{
    put_u32(out, static_cast<std::uint32_t>(length));
    const std::size_t start = out.size();
    out += type;
    write();
    const auto* bytes = reinterpret_cast<const Bytef*>(out.data() + start);
    put_u32(out, static_cast<std::uint32_t>(crc32(0, bytes, static_cast<uInt>(out.size() - start))));
}

}  // namespace

std::string png_bytes(const Plane& plane, std::int16_t wl, std::int16_t ww)
{
    if (ww == 0)
        ww = 1;
    // Scan lines unfiltered, in stored deflate blocks written straight into the picture: about
    // 64 KiB where compressing would make 10 to 25 KiB, but a fiftieth of the time (a noise map
    // compresses hardly at all), and no buffer besides, since fresh memory comes page by page
    // and each page costs more than the copying.
    std::array<std::uint8_t, plane_pixels> greys;
    render_greys(plane, wl, ww, greys.data());

    std::string png;
    png.reserve(png_size);
    // Bytes [from, to) of the scan lines: each a filter type byte (0, None), then its greys.
    const auto append_rows = [&](std::size_t from, std::size_t to) {
        while (from < to) {
            const std::size_t row = from / row_bytes, column = from % row_bytes;
            if (column == 0) {
                png += '\0';
                ++from;
                continue;
            }
            const std::size_t count = std::min(row_bytes - column, to - from);
            png.append(reinterpret_cast<const char*>(greys.data() + row * plane_side + column - 1), count);
            from += count;
        }
    };
    png.append("\x89PNG\r\n\x1a\n", 8);
    put_chunk(png, "IHDR", header_bytes, [&] {
        put_u32(png, plane_side);
        put_u32(png, plane_side);
        png.append("\x08\x00\x00\x00\x00", 5);  // 8-bit grey, deflate, adaptive filtering, not interlaced
    });
    put_chunk(png, "IDAT", zlib_bytes, [&] {
        png.append("\x78\x01", 2);  // deflate with a 32 KiB window, no dictionary, fastest
        uLong checksum = adler32(0, nullptr, 0);
        for (std::size_t start = 0; start < rows_bytes; start += most_stored) {
            const std::size_t size = std::min(most_stored, rows_bytes - start);
            png += static_cast<char>(start + size == rows_bytes ? 1 : 0);  // the last block?
            for (const std::size_t length : {size, ~size & 0xFFFF}) {
                png += static_cast<char>(length & 0xFF);
                png += static_cast<char>(length >> 8 & 0xFF);
            }
            append_rows(start, start + size);
            checksum = adler32(checksum, reinterpret_cast<const Bytef*>(png.data() + png.size() - size),
                               static_cast<uInt>(size));
        }
        put_u32(png, static_cast<std::uint32_t>(checksum));
    });
    put_chunk(png, "IEND", 0, [] {});
    return png;
}

}  // namespace snr::snrmap
