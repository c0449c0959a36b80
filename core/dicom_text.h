// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <optional>
#include <string>

#include "core/extended.h"

namespace snr {

// A text of a DICOM file without the blanks and NULs that pad it.
std::string trimmed(std::string text);

// A text from the file as a message shows it: trimmed, printable ASCII, at most 64 characters.
std::string shown(const std::string& text);

// A decimal string (DS or IS) with one finite value; nothing for any other text.
std::optional<ext::real> decimal(std::string text);

}  // namespace snr
