// SPDX-License-Identifier: BSD-3-Clause
#include "core/dicom_frames.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <dcmtk/dcmdata/dcpxitem.h>

#include "core/dicom_codecs.h"
#include "core/modules.h"

namespace snr {

namespace {

std::string damaged(const std::string& detail) { return "の画素データが壊れています (" + detail + ")"; }

bool is_frame_marker(int marker)
{
    // SOF0-SOF15 but DHT (C4), JPG (C8) and DAC (CC); SOF55 of JPEG-LS.
    return (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) || marker == 0xF7;
}

std::string frame_marker_name(int marker)
{
    return marker == 0xF7 ? "SOF55" : "SOF" + std::to_string(marker - 0xC0);
}

// The fragments of one frame: items [first, end) of the sequence, whose item 0 is the offset table.
struct FragmentRange {
    unsigned long first = 0, end = 0;
};

DcmPixelItem* item_at(DcmPixelSequence& fragments, unsigned long k)
{
    DcmPixelItem* item = nullptr;
    return fragments.getItem(item, k).good() ? item : nullptr;
}

bool starts_a_stream(DcmPixelItem& fragment)
{
    std::array<Uint8, 2> head{};
    return fragment.getLength() >= 2 && fragment.getPartialValue(head.data(), 0, 2).good() && head[0] == 0xFF &&
           head[1] == 0xD8;
}

// Where each frame begins by the Basic Offset Table: the offsets of the frames' first
// fragments, from the first fragment's item tag on, each at a fragment's start.
std::string by_offset_table(DcmPixelSequence& fragments, DcmPixelItem& table, int frames,
                            std::vector<unsigned long>& firsts)
{
    const Uint32 length = table.getLength();
    if (length != 4ULL * static_cast<unsigned>(frames))
        return damaged("オフセット表の項目数がフレーム数と合いません (" + std::to_string(length / 4) + "項目)");
    std::vector<Uint8> bytes(length);
    if (table.getPartialValue(bytes.data(), 0, length).bad())
        return damaged("オフセット表が読めません");
    const auto offset = [&](int k) {
        const Uint8* b = &bytes[4 * static_cast<std::size_t>(k)];
        return static_cast<unsigned long long>(b[0] | b[1] << 8 | b[2] << 16) | static_cast<unsigned long long>(b[3]) << 24;
    };
    // The item each offset names, walking the fragments once.
    unsigned long long at = 0;
    const unsigned long items = fragments.card();
    for (unsigned long k = 1; k < items && firsts.size() < static_cast<std::size_t>(frames); ++k) {
        const unsigned long long wanted = offset(static_cast<int>(firsts.size()));
        if (wanted == at)
            firsts.push_back(k);
        else if (wanted < at)
            break;
        DcmPixelItem* fragment = item_at(fragments, k);
        at += 8 + (fragment != nullptr ? fragment->getLength() : 0);
    }
    if (firsts.size() != static_cast<std::size_t>(frames))
        return damaged("オフセット表がフレーム" + std::to_string(firsts.size() + 1) + "の断片の始まりを指していません");
    return {};
}

// The item each frame's fragments start at, for every frame of the file.
std::string frame_starts(DcmPixelSequence& fragments, E_TransferSyntax xfer, int frames,
                         std::vector<unsigned long>& firsts)
{
    const unsigned long items = fragments.card();
    const unsigned long count = items - 1;
    DcmPixelItem* table = item_at(fragments, 0);
    if (table != nullptr && table->getLength() > 0)
        return by_offset_table(fragments, *table, frames, firsts);
    if (count == static_cast<unsigned long>(frames) || frames == 1) {
        for (unsigned long k = 1; k <= static_cast<unsigned long>(frames); ++k)
            firsts.push_back(k);
        return {};
    }
    // Without a table, a JPEG or JPEG-LS frame begins where a fragment begins a stream (SOI);
    // an RLE frame's fragments cannot be told apart.
    if (xfer == EXS_RLELossless)
        return damaged("オフセット表がなく、どの断片がどのフレームのものか分かりません");
    for (unsigned long k = 1; k < items; ++k) {
        DcmPixelItem* fragment = item_at(fragments, k);
        if (fragment != nullptr && starts_a_stream(*fragment))
            firsts.push_back(k);
    }
    if (firsts.size() != static_cast<std::size_t>(frames) || firsts.front() != 1)
        return damaged("断片の中のJPEGの始まりがフレーム数と合いません (" + std::to_string(firsts.size()) + "個)");
    return {};
}

std::string frame_bytes(DcmPixelSequence& fragments, const FragmentRange& range, std::vector<Uint8>& bytes)
{
    bytes.clear();
    for (unsigned long k = range.first; k < range.end; ++k) {
        DcmPixelItem* fragment = item_at(fragments, k);
        if (fragment == nullptr)
            return damaged("断片" + std::to_string(k) + "が読めません");
        const std::size_t at = bytes.size();
        bytes.resize(at + fragment->getLength());
        if (fragment->getLength() > 0 && fragment->getPartialValue(bytes.data() + at, 0, fragment->getLength()).bad())
            return damaged("断片" + std::to_string(k) + "が読めません");
    }
    return {};
}

// The frame header of a stream against the image it is a frame of.
std::string check_header(const JpegHeader& header, int marker, const std::string& codec, const PixelFormat& format)
{
    const std::string prefix = codec + ": ";
    if (header.frame_marker == 0 || !header.scan)
        return damaged(prefix + "フレームヘッダがありません");
    if (header.frame_marker != marker)
        return damaged(prefix + "可逆圧縮のフレームヘッダではありません (" + frame_marker_name(header.frame_marker) + ")");
    if (header.components != 1)
        return damaged(prefix + "フレームヘッダの成分数が1ではありません (" + std::to_string(header.components) + ")");
    if (header.rows != plane_side || header.columns != plane_side)
        return damaged(prefix + "フレームヘッダの大きさが画像と違います (" + std::to_string(header.columns) + "×" +
                       std::to_string(header.rows) + ")");
    if (header.precision < static_cast<int>(format.bits_stored) || header.precision > 16)
        return damaged(prefix + "フレームヘッダの精度がBits Storedと合いません (" + std::to_string(header.precision) +
                       "ビット, Bits Stored " + std::to_string(format.bits_stored) + ")");
    return {};
}

// A stream of more bits than Bits Stored holds its values in the low bits: the bits above are
// zero, or copies of the sign. Others were not decoded as they were encoded.
std::string check_high_bits(const std::uint16_t* words, const PixelFormat& format, const std::string& codec)
{
    if (format.bits_stored >= 16)
        return {};
    const unsigned high_bits = 0xFFFFu >> format.bits_stored;
    for (int p = 0; p < plane_pixels; ++p) {
        const unsigned high = words[p] >> format.bits_stored;
        const bool negative = (words[p] >> (format.bits_stored - 1) & 1) != 0;
        if (high != 0 && !(format.signed_values && negative && high == high_bits))
            return damaged(codec + ": Bits Storedを超える値があります (" + std::to_string(words[p]) + ")");
    }
    return {};
}

const CodecModule* codec_module()
{
    // Without the module, the JPEG and JPEG-LS frames do not decode, and their files are refused as such.
    static const CodecModule* module = [] {
        const auto* found = static_cast<const CodecModule*>(find_module("snr-codecs"));
        if (found != nullptr)
            found->register_codecs();
        return found;
    }();
    return module;
}

// PackBits into every second byte of `out` (from its first), exactly `count` bytes; a single
// byte left over is the segment's padding to an even length.
std::string unpack_segment(const Uint8* in, std::size_t size, Uint8* out, std::size_t count, int segment)
{
    const std::string name = "RLE: セグメント" + std::to_string(segment);
    std::size_t at = 0, made = 0;
    while (made < count) {
        if (at >= size)
            return damaged(name + "が画素の数に足りません (" + std::to_string(made) + " / " + std::to_string(count) + "バイト)");
        const auto control = static_cast<std::int8_t>(in[at++]);
        if (control >= 0) {
            const std::size_t literal = static_cast<std::size_t>(control) + 1;
            if (at + literal > size || made + literal > count)
                return damaged(name + (at + literal > size ? "が途中で切れています" : "が画素の数より長くなっています"));
            for (std::size_t k = 0; k < literal; ++k)
                out[2 * (made + k)] = in[at + k];
            at += literal;
            made += literal;
        } else if (control != -128) {
            const auto repeat = static_cast<std::size_t>(1 - control);
            if (at >= size || made + repeat > count)
                return damaged(name + (at >= size ? "が途中で切れています" : "が画素の数より長くなっています"));
            for (std::size_t k = 0; k < repeat; ++k)
                out[2 * (made + k)] = in[at];
            ++at;
            made += repeat;
        }
    }
    // What follows may only be the padding byte, or runs that make nothing.
    if (size - at == 1)
        return {};
    for (; at < size; ++at) {
        if (in[at] != 0x80)
            return damaged(name + "が画素の数より長くなっています");
    }
    return {};
}

}  // namespace

JpegHeader jpeg_header(const std::uint8_t* bytes, std::size_t length)
{
    JpegHeader header;
    if (length < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return header;
    std::size_t at = 2;
    while (at + 4 <= length) {
        if (bytes[at] != 0xFF)
            return header;
        const int marker = bytes[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        const std::size_t segment = static_cast<std::size_t>(bytes[at + 2]) << 8 | bytes[at + 3];
        if (segment < 2 || at + 2 + segment > length)
            return header;
        const std::uint8_t* value = bytes + at + 4;
        const std::size_t value_length = segment - 2;
        if (is_frame_marker(marker) && value_length >= 6) {
            header.frame_marker = marker;
            header.precision = value[0];
            header.rows = value[1] << 8 | value[2];
            header.columns = value[3] << 8 | value[4];
            header.components = value[5];
        } else if (marker == 0xDA && value_length >= 1) {
            const std::size_t after = 1 + 2 * static_cast<std::size_t>(value[0]);  // Ss / NEAR, Se / ILV, Ah Al
            if (after + 3 > value_length)
                return header;
            header.scan = true;
            header.selection = value[after];
            header.point_transform = value[after + 2] & 0x0F;
            return header;
        }
        at += 2 + segment;
    }
    return header;
}

std::string lossy_stream_detail(DcmPixelSequence& fragments, E_TransferSyntax xfer)
{
    if (xfer != EXS_JPEGProcess14 && xfer != EXS_JPEGProcess14SV1 && xfer != EXS_JPEGLSLossless)
        return {};
    std::array<Uint8, 1024> head;
    // Item 0 is the offset table; every frame's stream starts a fragment with its SOI marker.
    for (unsigned long k = 1; k < fragments.card(); ++k) {
        DcmPixelItem* fragment = item_at(fragments, k);
        if (fragment == nullptr)
            continue;
        const std::size_t length = std::min<std::size_t>(head.size(), fragment->getLength());
        if (length < 2 || fragment->getPartialValue(head.data(), 0, static_cast<Uint32>(length)).bad())
            continue;
        const JpegHeader header = jpeg_header(head.data(), length);
        if (!header.scan)
            continue;
        if (xfer == EXS_JPEGLSLossless && header.selection != 0)
            return "NEAR " + std::to_string(header.selection);
        if (header.point_transform != 0)
            return "Point Transform " + std::to_string(header.point_transform);
    }
    return {};
}

std::string decode_rle(const std::uint8_t* stream, std::size_t size, std::uint16_t* words)
{
    if (size < 64)
        return damaged("RLE: ヘッダが途中で切れています");
    const auto number = [&](std::size_t at) {
        return static_cast<std::size_t>(stream[at] | stream[at + 1] << 8 | stream[at + 2] << 16) |
               static_cast<std::size_t>(stream[at + 3]) << 24;
    };
    // A 16-bit sample: its high bytes, then its low bytes.
    if (number(0) != 2)
        return damaged("RLE: セグメントの数が2ではありません (" + std::to_string(number(0)) + ")");
    const std::size_t starts[] = {number(4), number(8), size};
    if (starts[0] != 64)
        return damaged("RLE: 最初のセグメントの位置が64ではありません (" + std::to_string(starts[0]) + ")");
    if (starts[1] <= starts[0] || starts[1] >= size)
        return damaged("RLE: セグメント2の位置が断片と合いません (" + std::to_string(starts[1]) + " / " +
                       std::to_string(size) + "バイト)");
    auto* bytes = reinterpret_cast<Uint8*>(words);
    for (int s = 0; s < 2; ++s) {
        Uint8* out = bytes + (s == 0 ? 1 : 0);  // this machine is little-endian
        if (std::string failure = unpack_segment(stream + starts[s], starts[s + 1] - starts[s], out, plane_pixels, s + 1);
            !failure.empty())
            return failure;
    }
    return {};
}

std::string decode_frame(DcmPixelData& pixels, DcmPixelSequence& fragments, DcmItem& data, E_TransferSyntax xfer,
                         int frames, int frame, std::vector<unsigned long>& starts, const PixelFormat& format,
                         std::uint16_t* words)
{
    // Nothing another frame or file left here can be taken for this one's.
    std::memset(words, 0, slice_bytes);
    if (starts.empty()) {
        std::vector<unsigned long> found;
        if (std::string failure = frame_starts(fragments, xfer, frames, found); !failure.empty())
            return failure;
        starts = std::move(found);
    }
    const auto k = static_cast<std::size_t>(frame);
    const FragmentRange range{starts[k], k + 1 < starts.size() ? starts[k + 1] : fragments.card()};
    std::vector<Uint8> bytes;
    if (std::string failure = frame_bytes(fragments, range, bytes); !failure.empty())
        return failure;
    if (xfer == EXS_RLELossless)
        return decode_rle(bytes.data(), bytes.size(), words);

    const bool jpeg_ls = xfer == EXS_JPEGLSLossless;
    const std::string codec = jpeg_ls ? "JPEG-LS" : "JPEG";
    const JpegHeader header = jpeg_header(bytes.data(), bytes.size());
    if (std::string failure = check_header(header, jpeg_ls ? 0xF7 : 0xC3, codec, format); !failure.empty())
        return failure;
    const CodecModule* module = codec_module();
    if (module == nullptr)
        return "の画素データを展開できません (" + codec + ": 復号器のモジュールがありません)";
    if (!jpeg_ls) {
        if (std::string failure = module->decode_jpeg(bytes.data(), bytes.size(), header.precision, words, plane_pixels);
            !failure.empty())
            return damaged(codec + ": " + failure);
    } else {
        // DCMTK's JPEG-LS decoder, from the frame's first fragment; it must use up the frame's
        // fragments and no others.
        Uint32 next = static_cast<Uint32>(range.first);
        OFString colour_model;
        const OFCondition decoded = pixels.getUncompressedFrame(&data, static_cast<Uint32>(frame), next, words,
                                                                static_cast<Uint32>(slice_bytes), colour_model);
        if (decoded.bad())
            return damaged(codec + ": " + decoded.text());
        if (next != range.end && !(next == 0 && range.end == fragments.card()))
            return damaged(codec + ": フレームの断片の数が合いません");
    }
    return check_high_bits(words, format, codec);
}

}  // namespace snr
