#include "tools/snrmap/plane_picture.h"

#include <algorithm>
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

// Scan lines unfiltered, in stored deflate blocks: about 64 KiB a picture where compressing
// would make 10 to 25 KiB, but a fiftieth of the time (a noise map compresses hardly at all
// and cost a millisecond a picture, the largest part of writing the output).
std::string stored_rows(const std::vector<std::uint8_t>& greys)
{
    std::vector<std::uint8_t> rows((plane_side + 1) * plane_side);
    for (int row = 0; row < plane_side; ++row) {
        std::uint8_t* line = rows.data() + row * (plane_side + 1);
        line[0] = 0;  // filter type None
        std::copy_n(greys.data() + row * plane_side, plane_side, line + 1);
    }
    z_stream stream{};
    // Stored blocks need no window nor hash: the least of both keeps the state small, since
    // fresh memory comes page by page and each page costs more than the copying.
    if (deflateInit2(&stream, Z_NO_COMPRESSION, Z_DEFLATED, 9, 1, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::bad_alloc();
    std::string out(deflateBound(&stream, static_cast<uLong>(rows.size())), '\0');
    stream.next_in = rows.data();
    stream.avail_in = static_cast<uInt>(rows.size());
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
    header += std::string("\x08\x00\x00\x00\x00", 5);  // 8-bit grey, deflate, adaptive filtering, not interlaced
    std::string png("\x89PNG\r\n\x1a\n", 8);
    put_chunk(png, "IHDR", header);
    put_chunk(png, "IDAT", stored_rows(greys));
    put_chunk(png, "IEND", "");
    return png;
}

}  // namespace snr::snrmap
