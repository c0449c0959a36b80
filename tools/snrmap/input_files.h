// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "core/slice_file.h"

namespace snr::snrmap {

class JsonText;

// An input file of a measurement and how it was read.
struct InputFile {
    std::string role;  // the folder's or the image's role: "nopi", "pi", "nopi_1", ...
    std::string name;  // without its folder
    SliceSource source;  // of its first frame
    std::string path;    // as given
};

// The member "files": for each role, in order, each file by name with "read_as" ("dicom" or
// "raw"); "dicm_marker": true for a raw file that carries the marker; for a DICOM image what
// it says about itself as written (empty when absent; its first frame's, for a file of
// several), "transfer_syntax_detected": true where the syntax was detected, "frames" where
// there are several, and the byte offset of its Pixel Data (-1 where compressed).
void write_input_files(JsonText& json, const std::vector<InputFile>& files);

// The warnings of a measurement on standard error: each DICM file read by the tail rule, then
// each notice of inputs that differ.
void warn_about_inputs(std::ostream& err, const std::vector<InputFile>& files, const std::vector<std::string>& notices);

}  // namespace snr::snrmap
