// SPDX-License-Identifier: BSD-3-Clause
#include "run/run_ending.h"

#include "core/display.h"
#include "core/legend.h"

namespace snr {

void finish_run(ViewerState& state, Plane* gfactor_map)
{
    if (gfactor_map != nullptr)
        stamp_legend(*gfactor_map, state.legend);
    auto_window(state.disp_image, state.window);
}

}  // namespace snr
