// SPDX-License-Identifier: BSD-3-Clause
#include "core/dicom_pixels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcrledrg.h>
#include <string>
#include <vector>

#include "core/dicom_codecs.h"
#include "core/dicom_text.h"
#include "core/modules.h"

namespace snr {

namespace {

int value_mask(const PixelFormat& format) { return (1 << format.bits_stored) - 1; }
int lowest_value(const PixelFormat& format) { return format.signed_values ? -(1 << (format.bits_stored - 1)) : 0; }
int highest_value(const PixelFormat& format)
{
    return format.signed_values ? (1 << (format.bits_stored - 1)) - 1 : value_mask(format);
}

bool rescale_in_range(const PixelFormat& format)
{
    for (const int stored : {lowest_value(format), std::min(highest_value(format), 32767)}) {
        if (!std::isfinite(static_cast<double>(stored * format.slope + format.intercept)))
            return false;
    }
    return true;
}

}  // namespace

bool values_may_refuse(const PixelFormat& format) { return !format.signed_values && format.bits_stored == 16; }

std::string decode_pixels(std::uint16_t* words, const PixelFormat& format, SliceValues* values)
{
    if (format.big_endian) {
        for (int p = 0; p < plane_pixels; ++p)
            words[p] = __builtin_bswap16(words[p]);
    }
    const int mask = value_mask(format);
    const int sign = format.signed_values ? 1 << (format.bits_stored - 1) : 0;
    const auto stored = [&](int p) { return ((words[p] & mask) ^ sign) - sign; };
    if (values_may_refuse(format)) {
        int highest = 0;
        for (int p = 0; p < plane_pixels; ++p)
            highest = std::max(highest, stored(p));
        if (highest > 32767)
            return "には32767を超える画素値があります (" + std::to_string(highest) + ")";
    }
    if (values == nullptr)
        return {};
    // Every stored value now lies within the 16-bit signed range. Words read in place as
    // signed 16-bit values are those values already.
    const bool in_place = words == value_words(*values);
    if (!in_place || format.bits_stored != 16 || !format.signed_values) {
        for (int p = 0; p < plane_pixels; ++p)
            values->stored[p] = static_cast<std::int16_t>(stored(p));
    }
    values->rescaled = format.rescaled;
    values->slope = format.slope;
    values->intercept = format.intercept;
    return {};
}

std::string take_rescale(const DicomAttributes& attributes, PixelFormat& format)
{
    const std::string slope = trimmed(attributes.rescale_slope);
    const std::string intercept = trimmed(attributes.rescale_intercept);
    const auto slope_value = slope.empty() ? ext::real(1) : decimal(slope);
    const auto intercept_value = intercept.empty() ? ext::real(0) : decimal(intercept);
    const auto written = [&] {
        std::string texts;
        for (const auto& [name, text] : {std::pair{"Rescale Slope ", &slope}, {"Rescale Intercept ", &intercept}}) {
            if (!text->empty())
                texts += (texts.empty() ? "" : ", ") + (name + shown(*text));
        }
        return texts;
    };
    // A slope of 0 would make every sample the intercept: a blank map, not a measurement.
    if (slope_value && *slope_value == 0)
        return "のリスケール値が使えません (" + written() + ")";
    if (slope_value && intercept_value) {
        format.slope = *slope_value;
        format.intercept = *intercept_value;
        format.rescaled = format.slope != 1 || format.intercept != 0;
        if (rescale_in_range(format))
            return {};
    }
    return "のリスケール値が読めません (" + written() + ")";
}

namespace {

// The parameters of the first scan of a JPEG or JPEG-LS stream that make it lossy: the point
// transform of lossless JPEG; NEAR and the point transform of JPEG-LS. Empty when they are 0
// or the stream shows no scan header among these bytes.
std::string lossy_scan(const Uint8* bytes, std::size_t length, bool jpeg_ls)
{
    if (length < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return {};
    std::size_t at = 2;
    while (at + 4 <= length) {
        if (bytes[at] != 0xFF)
            return {};
        const Uint8 marker = bytes[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        const std::size_t segment = static_cast<std::size_t>(bytes[at + 2]) << 8 | bytes[at + 3];
        if (marker == 0xDA) {
            const std::size_t components = at + 4 < length ? bytes[at + 4] : 0;
            const std::size_t after = at + 5 + 2 * components;  // Ss / NEAR, Se / ILV, Ah Al / Pt
            if (after + 2 >= length)
                return {};
            const int point_transform = bytes[after + 2] & 0x0F;
            if (jpeg_ls && bytes[after] != 0)
                return "NEAR " + std::to_string(bytes[after]);
            if (point_transform != 0)
                return "Point Transform " + std::to_string(point_transform);
            return {};
        }
        at += 2 + segment;
    }
    return {};
}

}  // namespace

std::string lossy_stream_detail(DcmPixelSequence& fragments, E_TransferSyntax xfer)
{
    if (xfer != EXS_JPEGProcess14 && xfer != EXS_JPEGProcess14SV1 && xfer != EXS_JPEGLSLossless)
        return {};
    std::array<Uint8, 1024> head;
    // Item 0 is the offset table; every frame's stream starts a fragment with its SOI marker.
    for (unsigned long k = 1; k < fragments.card(); ++k) {
        DcmPixelItem* fragment = nullptr;
        if (fragments.getItem(fragment, k).bad() || fragment == nullptr)
            continue;
        const std::size_t length = std::min<std::size_t>(head.size(), fragment->getLength());
        if (length < 2 || fragment->getPartialValue(head.data(), 0, static_cast<Uint32>(length)).bad())
            continue;
        if (std::string detail = lossy_scan(head.data(), length, xfer == EXS_JPEGLSLossless); !detail.empty())
            return detail;
    }
    return {};
}

namespace {

// Registers the JPEG and JPEG-LS decoders of the codec module. Without the module those frames
// do not decode, and their files are refused as such.
void load_codec_module()
{
    if (const void* module = find_module("snr-codecs"))
        static_cast<const CodecModule*>(module)->register_codecs();
}

}  // namespace

bool decode_frame(DcmPixelData& pixels, DcmItem& data, int frame, Uint32& start_fragment, std::uint16_t* words)
{
    static const bool registered = [] {
        DcmRLEDecoderRegistration::registerCodecs();
        std::atexit(DcmRLEDecoderRegistration::cleanup);  // before the toolkit's list goes
        load_codec_module();
        return true;
    }();
    (void)registered;
    OFString colour_model;
    return pixels
        .getUncompressedFrame(&data, static_cast<Uint32>(frame), start_fragment, words,
                              static_cast<Uint32>(slice_bytes), colour_model)
        .good();
}

}  // namespace snr
