// SPDX-License-Identifier: BSD-3-Clause
#include "core/dicom_pixels.h"

#include <algorithm>
#include <cmath>

#include <string>

#include "core/dicom_text.h"

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
    if (!attributes.rescale_missing.empty())
        return "のリスケール値がありません (Pixel Value Transformation Sequence: " + attributes.rescale_missing + ")";
    // A slope of 0 would make every sample the intercept: a blank map, not a measurement. So
    // would one that is 0 once it is a double, and one beyond a double gives no samples.
    if (slope_value && (*slope_value == 0 || static_cast<double>(*slope_value) == 0 ||
                        !std::isfinite(static_cast<double>(*slope_value))))
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

}  // namespace snr
