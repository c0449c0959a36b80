#pragma once

#include <optional>
#include <string>

#include "core/plane.h"

namespace snr {

// What a DICOM image file says about itself, as written in it.
struct DicomAttributes {
    std::string transfer_syntax;
    std::string manufacturer, model, series_number, series_description;
    std::string rescale_slope, rescale_intercept;  // full text; empty when absent
    long long pixel_offset = -1;                   // of the Pixel Data value; -1 when there is none
};

struct DicomRead {
    DicomAttributes attributes;
    // Why the file holds no slice the programs can read, as the text that follows the file's
    // name in a message ("は256×256の16ビット画像ではありません (512×512)"); empty when it holds one.
    std::string refusal;
};

// Reads the open regular file `fd` of `size` bytes as a DICOM image when it is one: the
// 128-byte preamble, "DICM" and a file meta group that names a transfer syntax. Returns nothing
// for any other file, which is then a raw slice file. With `samples` the 65,536 samples are
// read (the stored value, rescaled where the file says so); without, only what may refuse the
// file is read. Raises IoError when the file cannot be read as large as it was found.
std::optional<DicomRead> read_dicom_image(int fd, long long size, const std::string& path, Samples* samples);

}  // namespace snr
