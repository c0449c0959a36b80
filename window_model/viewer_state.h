// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>

#include "core/display.h"
#include "core/legend.h"
#include "core/plane.h"

namespace snr {

// What both programs keep for the whole run besides their own planes.
struct ViewerState {
    Plane disp_image{};
    DisplayWindow window;
    DragState drag;
    LegendSettings legend;
    std::string export_name;
};

}  // namespace snr
