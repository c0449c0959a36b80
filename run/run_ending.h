// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "core/plane.h"
#include "window_model/viewer_state.h"

namespace snr {

// How both runs end once their planes are measured: the g-factor map (where one was made) gets
// its legend box, and the plane on display its automatic window.
void finish_run(ViewerState& state, Plane* gfactor_map);

}  // namespace snr
