// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <optional>
#include <string>

#include "core/dicom_image.h"

namespace snr {

// The reduction factor an image's headers give, and the attribute it was taken from.
struct HeaderReduction {
    long double r = 1;
    std::string source;  // "Parallel Reduction Factor", "(0043,1083)" or "Parallel Acquisition NO"
};

// R as the headers say: 1 where Parallel Acquisition is NO; else Parallel Reduction Factor
// In-plane × Out-of-plane (where that is given) when positive, unless Parallel Acquisition is
// YES and they multiply to 1; else the maker's own (0043,1083), in-plane × slice. Nothing
// where none of them holds a positive number.
std::optional<HeaderReduction> header_reduction(const DicomAttributes& a);

// A factor as the report and the notices write it: at most six significant digits ("2", "1.5").
std::string reduction_text(long double r);

}  // namespace snr
