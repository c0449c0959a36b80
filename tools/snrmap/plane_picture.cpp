#include "tools/snrmap/plane_picture.h"

#include <new>
#include <stdexcept>
#include <vector>
#include <zlib.h>

#include "core/display.h"

namespace snr::snrmap {

namespace {

void put_u32(std::string& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

void put_chunk(std::string& out, const char* type, const std::string& data)
{
    put_u32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out += type;
    out += data;
    const auto* bytes = reinterpret_cast<const Bytef*>(out.data() + start);
    put_u32(out, static_cast<std::uint32_t>(crc32(0, bytes, static_cast<uInt>(out.size() - start))));
}

// Scan lines with the Up filter (each byte less the one above it): flat areas and smooth maps
// turn into runs of zeros, which run-length deflate compresses about as well as the default
// level and several times faster. Runs look back one byte, so the least window will do, and
// a small state is less fresh memory.
std::string compressed_rows(const std::vector<std::uint8_t>& greys)
{
    std::vector<std::uint8_t> filtered((plane_side + 1) * plane_side);
    for (int row = 0; row < plane_side; ++row) {
        std::uint8_t* line = filtered.data() + row * (plane_side + 1);
        const std::uint8_t* here = greys.data() + row * plane_side;
        line[0] = row == 0 ? 0 : 2;  // None for the first line, Up after it
        for (int column = 0; column < plane_side; ++column)
            line[1 + column] = static_cast<std::uint8_t>(here[column] - (row == 0 ? 0 : here[column - plane_side]));
    }
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 9, 6, Z_RLE) != Z_OK)
        throw std::bad_alloc();
    std::string out(deflateBound(&stream, static_cast<uLong>(filtered.size())), '\0');
    stream.next_in = filtered.data();
    stream.avail_in = static_cast<uInt>(filtered.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (status != Z_STREAM_END)
        throw std::runtime_error("PNG encoding failed");
    return out;
}

}  // namespace

std::string png_bytes(const Plane& plane, std::int16_t wl, std::int16_t ww)
{
    if (ww == 0)
        ww = 1;
    std::vector<std::uint8_t> greys(plane_pixels);
    render_greys(plane, wl, ww, greys.data());

    std::string header;
    put_u32(header, plane_side);
    put_u32(header, plane_side);
    header += std::string("\x08\x00\x00\x00\x00", 5);  // 8-bit grey, deflate, filtered, not interlaced
    std::string png("\x89PNG\r\n\x1a\n", 8);
    put_chunk(png, "IHDR", header);
    put_chunk(png, "IDAT", compressed_rows(greys));
    put_chunk(png, "IEND", "");
    return png;
}

}  // namespace snr::snrmap
