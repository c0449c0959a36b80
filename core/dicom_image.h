// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/plane.h"

namespace snr {

// What a DICOM image file says about one of its frames, as written in it: each text whole
// (values of a multi-valued attribute joined by backslashes, in the file's character set),
// empty when absent. For an enhanced image, the frame's functional groups come before the
// shared ones and those before the data set's own attributes (Acquisition Date and Time come
// from the frame's Frame Acquisition DateTime, without its offset from UTC).
struct DicomAttributes {
    std::string transfer_syntax;  // the one the data set was read in
    // The file meta group named no syntax that is known, or could not be read: the syntax was
    // detected from the data set, or taken from the meta group's damaged bytes.
    bool syntax_detected = false;
    std::string sop_class_uid, sop_instance_uid, specific_character_set;
    // The scanner and the acquisition.
    std::string manufacturer, model, station_name, device_serial_number;
    std::string institution_name, software_versions;
    std::string receive_coil, protocol_name, sequence_name, scanning_sequence;
    std::string acquisition_date, acquisition_time, repetition_time, echo_time, magnetic_field_strength;
    std::string series_number, series_description, series_date, series_time;
    std::string instance_number, flip_angle, slice_thickness;
    std::string number_of_averages, pixel_bandwidth;  // the pixel bandwidth in Hz
    // Parallel imaging: Parallel Acquisition ("YES", "NO"), the reduction factors in-plane and
    // out-of-plane, and the maker's own (0043,1083), "in-plane\\slice" factors.
    std::string parallel_acquisition, parallel_factor_in_plane, parallel_factor_out_of_plane;
    std::string maker_parallel_factors;
    // The image's place and size.
    std::string pixel_spacing, image_orientation, image_position;
    unsigned rows = 0, columns = 0;
    int frames = 1;  // Number of Frames
    int frame = 0;   // which of them these facts are of, from 0
    // Who and which study, for objects derived from the image.
    std::string patient_name, patient_id, patient_birth_date, patient_sex;
    std::string study_instance_uid, series_instance_uid, frame_of_reference_uid;
    std::string study_date, study_time, study_id, accession_number, referring_physician;
    std::string rescale_slope, rescale_intercept;
    // What an enhanced frame's Pixel Value Transformation lacks: its item, or the slope or
    // intercept the item must hold. Empty where nothing is lacking.
    std::string rescale_missing;
    // Lossy Image Compression, and its method and ratio: "01" where the pixels went through a
    // lossy compression on their way here.
    std::string lossy_compression, lossy_compression_method, lossy_compression_ratio;
    // Of the Pixel Data value; -1 when there is none, and in a deflated file (whose bytes there
    // are compressed).
    long long pixel_offset = -1;
};

// How the stored 16-bit words of an image become samples.
struct PixelFormat {
    bool big_endian = false;
    bool signed_values = true;
    unsigned bits_stored = 16;
    bool rescaled = false;
    long double slope = 1, intercept = 0;
};

// What a check learned of an image with its pixels in the file as they are, which it accepts:
// enough to read its pixels later without parsing it again. A parse of a file of the same size
// that starts with the same bytes up to its Pixel Data value finds the same attributes and the
// same formats. Frame k's words follow the head at k × 131,072 bytes.
struct DicomLayout {
    long long size = -1;             // -1: none (not such an image, refused, or a head too long to keep)
    std::vector<unsigned char> head;  // the bytes before the Pixel Data value
    std::vector<PixelFormat> formats;  // of each frame
    DicomAttributes attributes;       // of the first frame
};

struct DicomRead {
    DicomAttributes attributes;  // of the first frame asked for
    std::vector<DicomAttributes> frames;  // of every frame, when asked for
    // Why the file holds no slice the programs can read, as the text that follows the file's
    // name in a message ("は256×256の16ビット画像ではありません (512×512)"); empty when it holds one.
    std::string refusal;
    // A file with the DICM marker in which DCMTK finds no data set: a raw slice after all.
    bool tail_rule = false;
    int frames_read = 0;  // of those asked for, whole, before a refusal
};

// What a read of a DICOM image asks for.
struct DicomRequest {
    // The frames to read, from `first_frame` on, one into each of `values`; with no values,
    // only what may refuse the file is read (the pixels of all frames where their values or
    // their compression may refuse it).
    int first_frame = 0;
    std::span<SliceValues> values;
    bool several_frames = false;  // whether a file of several frames is taken
    bool frame_facts = false;     // the attributes of every frame, in DicomRead::frames
    bool headers_only = false;    // no pixel is read or decoded: only what the headers refuse
    DicomLayout* layout = nullptr;  // where an accepted image's layout is kept
};

// The refusal of a read that asks for frames up to `end` (counted from 1) of a file of `frames`.
std::string missing_frame_refusal(long long end, int frames);

// Loads what the reader needs before its first file (the toolkit's data dictionary, some
// milliseconds), so that a second thread can do it while the caller does other work.
void prepare_dicom_reading();

// Before DICOM files are written: the whole of the standard's dictionary, where the reader
// made the dictionary with its own entries alone.
void prepare_dicom_writing();

// Reads the open regular file `fd` of `size` bytes as a DICOM image when it is one: the
// 128-byte preamble and "DICM", then a data set holding Pixel Data in the transfer syntax its
// file meta group names or, when that names none that is known, the one DCMTK detects.
// Returns nothing for any other file, which is then a raw slice file. Raises IoError when the
// file cannot be read as large as it was found.
std::optional<DicomRead> read_dicom_image(int fd, long long size, const std::string& path,
                                          const DicomRequest& request);

// Reads frames of the open file `fd` of `size` bytes, whose layout a check kept, without
// parsing it: nothing when the size or a byte before the Pixel Data differs from the layout's
// (the caller parses the file afresh then), otherwise the refusal (empty once the values are
// read; `frames_read` counts those read whole before a refusal). Raises IoError.
std::optional<std::string> read_known_image(int fd, long long size, const DicomLayout& layout,
                                            const std::string& path, int first_frame,
                                            std::span<SliceValues> values, int& frames_read);

}  // namespace snr
