// SPDX-License-Identifier: BSD-3-Clause
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
    std::string frame_of_reference_uid = "2.25.1";
    int series_number = 1;
    std::string series_description;
    // Parallel Acquisition (0018,9077) "NO" or "YES", with Parallel Reduction Factor In-plane
    // (0018,9069) for YES; both left out where empty.
    std::string parallel_acquisition;
    std::string reduction_factor;
};

// A 256 x 256 signed 16-bit MR Image Storage file (explicit VR little endian) with the Patient,
// General Study, General Series, Frame of Reference, General Equipment, General Image, Image
// Plane, Image Pixel, MR Image and SOP Common modules. Pixel Data ends the file, so readers
// that take the last 131,072 bytes read it too. The same image gives the same bytes.
std::string dicom_bytes(const DicomImage& image, const StoredPixels& pixels);

}  // namespace snr::snrmap
