// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/plane.h"

namespace snr {

// What a DICOM image file says about itself, as written in it: each text whole (values of a
// multi-valued attribute joined by backslashes), empty when absent.
struct DicomAttributes {
    std::string transfer_syntax;
    std::string sop_class_uid, sop_instance_uid;
    // The scanner and the acquisition.
    std::string manufacturer, model, station_name, device_serial_number;
    std::string receive_coil, protocol_name, sequence_name;
    std::string acquisition_date, acquisition_time, repetition_time, echo_time;
    std::string series_number, series_description;
    // The image's place and size.
    std::string pixel_spacing, image_orientation, image_position;
    unsigned rows = 0, columns = 0;
    // Who and which study, for objects derived from the image.
    std::string patient_name, patient_id, patient_birth_date, patient_sex;
    std::string study_instance_uid, series_instance_uid, frame_of_reference_uid;
    std::string study_date, study_time, study_id, accession_number, referring_physician;
    std::string rescale_slope, rescale_intercept;
    long long pixel_offset = -1;  // of the Pixel Data value; -1 when there is none
};

// How the stored 16-bit words of an image become samples.
struct PixelFormat {
    bool big_endian = false;
    bool signed_values = true;
    unsigned bits_stored = 16;
    bool rescaled = false;
    long double slope = 1, intercept = 0;
};

// What a check learned of an image it accepts, enough to read its pixels later without parsing
// it again: a parse of a file of the same size that starts with the same bytes up to its Pixel
// Data value finds the same attributes and the same format.
struct DicomLayout {
    long long size = -1;             // -1: none (not an image, refused, or a head too long to keep)
    std::vector<unsigned char> head;  // the bytes before the Pixel Data value
    PixelFormat format;
    DicomAttributes attributes;
};

struct DicomRead {
    DicomAttributes attributes;
    // Why the file holds no slice the programs can read, as the text that follows the file's
    // name in a message ("は256×256の16ビット画像ではありません (512×512)"); empty when it holds one.
    std::string refusal;
};

// Loads what the reader needs before its first file (the toolkit's data dictionary, some
// milliseconds), so that a second thread can do it while the caller does other work.
void prepare_dicom_reading();

// Before DICOM files are written: the whole of the standard's dictionary, where the reader
// made the dictionary with its own entries alone.
void prepare_dicom_writing();

// Reads the open regular file `fd` of `size` bytes as a DICOM image when it is one: the
// 128-byte preamble, "DICM" and a file meta group that names a transfer syntax. Returns nothing
// for any other file, which is then a raw slice file. With `values` the 65,536 stored values
// and their rescale are read; without, only what may refuse the file is read. Raises IoError
// when the file cannot be read as large as it was found. With `layout`, an accepted image's
// layout is kept there.
std::optional<DicomRead> read_dicom_image(int fd, long long size, const std::string& path, SliceValues* values,
                                          DicomLayout* layout = nullptr);

// Reads the values of the open file `fd` of `size` bytes, whose layout a check kept, without
// parsing it: nothing when the size or a byte before the Pixel Data differs from the layout's
// (the caller parses the file afresh then), otherwise the refusal (empty once the values are
// read). Raises IoError.
std::optional<std::string> read_known_image(int fd, long long size, const DicomLayout& layout,
                                            const std::string& path, SliceValues& values);

}  // namespace snr
