// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/plane.h"

namespace snr::test {

inline constexpr char explicit_little_endian[] = "1.2.840.10008.1.2.1";
inline constexpr char implicit_little_endian[] = "1.2.840.10008.1.2";
inline constexpr char explicit_big_endian[] = "1.2.840.10008.1.2.2";
inline constexpr char deflated_little_endian[] = "1.2.840.10008.1.2.1.99";
inline constexpr char jpeg_lossless[] = "1.2.840.10008.1.2.4.70";  // first-order prediction
inline constexpr char jpeg_lossless_any_predictor[] = "1.2.840.10008.1.2.4.57";
inline constexpr char jpeg_ls_lossless[] = "1.2.840.10008.1.2.4.80";
inline constexpr char jpeg_ls_near_lossless[] = "1.2.840.10008.1.2.4.81";
inline constexpr char rle_lossless[] = "1.2.840.10008.1.2.5";
inline constexpr char jpeg_baseline[] = "1.2.840.10008.1.2.4.50";
inline constexpr char jpeg_2000_lossless[] = "1.2.840.10008.1.2.4.90";
inline constexpr char jpeg_2000[] = "1.2.840.10008.1.2.4.91";

inline constexpr char enhanced_mr_image[] = "1.2.840.10008.5.1.4.1.1.4.1";

// One more attribute for a file: its tag and its value as text.
struct Element {
    std::uint16_t group, element;
    std::string value;
};

// A DICOM image file as a test wants it. The defaults give a 256 x 256 signed 16-bit MR image
// in explicit VR little endian whose Pixel Data ends the file; each field changes one thing.
struct DicomOptions {
    std::string transfer_syntax = explicit_little_endian;
    int rows = 256, columns = 256;
    int bits_allocated = 16, bits_stored = 16, high_bit = 15;
    int pixel_representation = 1;
    int samples_per_pixel = 1;
    std::string photometric = "MONOCHROME2";
    int frames = 1;  // Number of Frames is written when it is not 1 (or the image is enhanced)
    std::string rescale_slope, rescale_intercept;  // written when not empty
    std::string manufacturer, model, series_number, series_description;
    std::string sop_instance_uid = "1.2.826.0.1.3680043.2.1143.1";
    // The maker's own parallel-imaging factors, (0043,1083) as DS under a private creator.
    std::string private_factors;
    int nesting = 0;  // items nested one in another before the image attributes
    bool pixel_data = true;
    std::size_t padding = 0;  // bytes of a trailing padding element after Pixel Data
    // An Enhanced MR Image: the rescale and the attributes that belong to functional groups
    // (spacing, thickness, orientation, position, TR, flip angle, effective TE, coil, the
    // parallel-imaging facts of the MR Modifier group, rescale) go into the shared
    // groups, and `frame_elements` into each frame's own.
    bool enhanced = false;
    std::vector<Element> elements;                     // more attributes of the data set
    std::vector<std::vector<Element>> frame_elements;  // of each frame, with `enhanced`
    bool encoded = true;      // false: a compressed syntax gets the raw bytes as one fragment
    int point_transform = 0;  // of a lossless JPEG encoding
    int near = 2;             // of a near-lossless JPEG-LS encoding
    // The Transfer Syntax UID the file meta group names, in place of the one the data set is
    // written in ("" leaves the element empty); without `meta_syntax_element`, it names none.
    std::optional<std::string> meta_syntax;
    bool meta_syntax_element = true;
};

// Writes the file; the stored values are `pixels` over and over, as many as its matrix,
// samples and frames need (the low byte of each for 8 bits). The lossless JPEG, JPEG-LS and
// RLE syntaxes go through DCMTK's encoders, deflated through its writer; any other
// encapsulated syntax gets the bytes as one fragment.
void write_dicom(const std::string& path, const StoredPixels& pixels, const DicomOptions& options = {});

// The same with frames of their own (their number is the frame count).
void write_dicom_frames(const std::string& path, const std::vector<StoredPixels>& frames, DicomOptions options);

// The encapsulated Pixel Data of a file: its Basic Offset Table and its fragments, as bytes.
struct Fragments {
    std::vector<std::uint8_t> table;
    std::vector<std::vector<std::uint8_t>> items;
};

Fragments read_fragments(const std::string& path);

// The SOP Instance UID of a DICOM file; empty where it has none or cannot be read.
std::string sop_instance_uid(const std::string& path);

// Puts `fragments` in place of the file's own; the rest of the file stays as it is.
void write_fragments(const std::string& path, const Fragments& fragments);

// An offset table for frames that begin at the fragments `firsts` (counted from 0).
std::vector<std::uint8_t> offset_table(const std::vector<std::vector<std::uint8_t>>& items,
                                       const std::vector<std::size_t>& firsts);

}  // namespace snr::test
