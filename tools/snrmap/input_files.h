// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>
#include <vector>

#include "core/slice_file.h"

namespace snr::snrmap {

class JsonText;

// An input file of a measurement and how it was read.
struct InputFile {
    std::string role;  // the folder's or the image's role: "nopi", "pi", "nopi_1", ...
    std::string name;  // without its folder
    SliceSource source;
};

// The member "files": for each role, in order, each file by name with "read_as" ("dicom" or
// "raw") and, for a DICOM image, what it says about itself as written (empty when absent)
// and the byte offset of its Pixel Data.
void write_input_files(JsonText& json, const std::vector<InputFile>& files);

}  // namespace snr::snrmap
