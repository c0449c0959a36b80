// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstddef>
#include <string>

#include "core/plane.h"

namespace snr::test {

inline constexpr char explicit_little_endian[] = "1.2.840.10008.1.2.1";
inline constexpr char implicit_little_endian[] = "1.2.840.10008.1.2";
inline constexpr char explicit_big_endian[] = "1.2.840.10008.1.2.2";
inline constexpr char deflated_little_endian[] = "1.2.840.10008.1.2.1.99";
inline constexpr char jpeg_lossless[] = "1.2.840.10008.1.2.4.70";

// A DICOM image file as a test wants it. The defaults give a 256 x 256 signed 16-bit MR image
// in explicit VR little endian whose Pixel Data ends the file; each field changes one thing.
struct DicomOptions {
    std::string transfer_syntax = explicit_little_endian;
    int rows = 256, columns = 256;
    int bits_allocated = 16, bits_stored = 16, high_bit = 15;
    int pixel_representation = 1;
    int samples_per_pixel = 1;
    std::string photometric = "MONOCHROME2";
    int frames = 1;  // Number of Frames is written when it is not 1
    std::string rescale_slope, rescale_intercept;  // written when not empty
    std::string manufacturer, model, series_number, series_description;
    int nesting = 0;  // items nested one in another before the image attributes
    bool pixel_data = true;
    std::size_t padding = 0;  // bytes of a trailing padding element after Pixel Data
};

// Writes the file; the stored values are `pixels` over and over, as many as its matrix,
// samples and frames need (the low byte of each for 8 bits). An encapsulated transfer
// syntax gets the bytes as one fragment.
void write_dicom(const std::string& path, const StoredPixels& pixels, const DicomOptions& options = {});

}  // namespace snr::test
