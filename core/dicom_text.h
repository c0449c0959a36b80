// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <optional>
#include <string>

#include "core/extended.h"

namespace snr {

// A text of a DICOM file without the blanks and NULs that pad it.
std::string trimmed(std::string text);

// A text from the file as a message shows it: trimmed, at most 64 characters, each control
// character and byte of no valid UTF-8 visible as an escape (visible_text).
std::string shown(const std::string& text);

// A decimal string (DS or IS) with one finite value; nothing for any other text.
std::optional<ext::real> decimal(std::string text);

// A UID under the 2.25 root: the 128-bit number in decimal.
std::string uid_of(unsigned __int128 number);

}  // namespace snr
