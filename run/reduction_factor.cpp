// SPDX-License-Identifier: BSD-3-Clause
#include "run/reduction_factor.h"

#include <cstdio>

#include "core/dicom_text.h"

namespace snr {

std::optional<HeaderReduction> header_reduction(const DicomAttributes& a)
{
    const std::string acquisition = trimmed(a.parallel_acquisition);
    if (acquisition == "NO")
        return HeaderReduction{1, "Parallel Acquisition NO"};
    const auto in_plane = decimal(a.parallel_factor_in_plane);
    const auto out_of_plane = decimal(a.parallel_factor_out_of_plane);
    if (in_plane && *in_plane > 0 && (!out_of_plane || *out_of_plane > 0)) {
        const long double r = *in_plane * (out_of_plane ? *out_of_plane : 1);
        if (acquisition != "YES" || r != 1)
            return HeaderReduction{r, "Parallel Reduction Factor"};
    }
    const std::string& maker = a.maker_parallel_factors;
    const std::size_t split = maker.find('\\');
    const auto maker_in_plane = decimal(maker.substr(0, split));
    const auto maker_slice = split == std::string::npos ? std::optional<ext::real>(1) : decimal(maker.substr(split + 1));
    if (maker_in_plane && maker_slice && *maker_in_plane > 0 && *maker_slice > 0)
        return HeaderReduction{*maker_in_plane * *maker_slice, "(0043,1083)"};
    return std::nullopt;
}

std::string reduction_text(long double r)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6Lg", r);
    return buffer;
}

}  // namespace snr
