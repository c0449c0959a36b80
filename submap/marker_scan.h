// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>

#include "core/slice_file.h"

namespace snr {

// The DICM check of a chosen image: zero bytes are skipped, the letters D, I, C and M are
// collected, any other byte ends the scan; the file is taken when exactly "DICM" was collected.
// A directory raises IoError(5); a FIFO, socket or device is refused unopened. Other failures
// raise IoError with the code of the operating system's error.
bool has_dicm_marker(const std::string& path);

// What the image selectors make of a chosen file: refused with a plain message when it lacks
// the DICM marker or is a DICOM image the slice reader refuses; raises IoError as the scan does.
struct Selection {
    SliceSource source;
    std::string refusal;  // the message; empty when the file is taken
};
Selection check_selection(const std::string& path);

}  // namespace snr
