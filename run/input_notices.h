// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/slice_file.h"

namespace snr {

// An input as the notices name it: a file (with its frame, in a file of several) and how it
// was read.
struct NoticeInput {
    std::string name;
    const SliceSource* source;
};

// The inputs of one half of a measurement: a folder's slices, or a pair of images.
struct NoticeGroup {
    std::string where;  // the folder the messages name; empty for a pair
    std::vector<NoticeInput> inputs;
};

// How a message names a slice: the file's name, with the frame in a file of several.
std::string notice_name(const std::string& path, const SliceSource& source);

// Where the inputs of a measurement differ in what should be alike: within each half, and
// between the halves (the first input of each) except in what parallel imaging changes (the
// acceleration and the series, which are not compared). A difference is a notice, not a
// refusal: the texts say which inputs differ in what, and how. Compared are the maker, model
// and serial number, the matrix, the pixel spacing, the orientation and position, the protocol
// and sequence names, TE and TR (numbers equal within a relative 1e-4) and the receive coil;
// and whether each was read as a DICOM image. One notice per fact and half at most. With the
// typed R of a g-factor run, a notice too where the first PI input's headers give another R
// (header_reduction; numbers equal within a relative 1e-4), and where the first no-PI input's
// headers give an R above 1.
std::vector<std::string> input_notices(const NoticeGroup& nopi, const std::optional<NoticeGroup>& pi,
                                       std::optional<double> typed_r = std::nullopt);

}  // namespace snr
