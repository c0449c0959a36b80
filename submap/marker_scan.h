#pragma once

#include <string>

namespace snr {

// The DICM check of a chosen image: zero bytes are skipped, the letters D, I, C and M are
// collected, any other byte ends the scan; the file is taken when exactly "DICM" was collected.
// A directory raises IoError(5); a FIFO, socket or device is refused unopened. Other failures
// raise IoError with the code of the operating system's error.
bool has_dicm_marker(const std::string& path);

}  // namespace snr
