// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>

#include "core/measured_region.h"
#include "window_model/legend_edit.h"

namespace snr {

// What a run is asked to measure with, as typed: whether the g-factor map is made, R and the
// legend's minimum and interval; and the region its plane figures are over. The windows' edits start with these texts, and snrmap's
// options default to them; a run reads them (text to number) when it starts.
struct RunSettings {
    bool gfactor = true;
    std::string r_text = "2";
    LegendTexts legend;  // "60" and "20"
    RegionKind region = RegionKind::Phantom;
};

}  // namespace snr
