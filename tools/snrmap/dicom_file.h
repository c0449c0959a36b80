#pragma once

#include <string>

#include "core/plane.h"

namespace snr::snrmap {

// What the phantom's images say about themselves beside their pixels.
struct DicomImage {
    std::string sop_instance_uid;
    std::string study_instance_uid;
    std::string series_instance_uid;
    int instance_number = 1;
    std::string patient_name = "SNR^PHANTOM";
    std::string patient_id = "SNRPHANTOM";
};

inline constexpr char mr_image_storage[] = "1.2.840.10008.5.1.4.1.1.4";
inline constexpr char explicit_vr_little_endian[] = "1.2.840.10008.1.2.1";

// A 256 x 256 MR image in the DICOM file format: 128 zero bytes, "DICM", the file meta group,
// then the data set in explicit VR little endian with the 16-bit signed pixels last, so the
// file ends with the 131,072 pixel bytes that the slice reader takes.
std::string dicom_bytes(const DicomImage& image, const Samples& pixels);

}  // namespace snr::snrmap
