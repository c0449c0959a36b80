// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/legend.h"
#include "core/plane.h"
#include "run/run_settings.h"
#include "run/run_view.h"
#include "window_model/viewer_state.h"

namespace snr {

// Process-wide state of snr_submap: its planes, the sample buffer, the chosen files and the
// viewer state. Nothing here is cleared by a run: what a run does not write stays.
struct SubmapState : ViewerState {
    Plane img1_nopi{}, img2_nopi{}, signal_nopi{}, noise_nopi{}, snr_nopi{};
    Plane img1_pi{}, img2_pi{}, signal_pi{}, noise_pi{}, snr_pi{};
    Plane gfactor_map{};
    // What each map held under its legend box before the stamp: the values the computation
    // gave there (the g-factor map's from the unstamped SNR maps).
    LegendBoxValues snr_nopi_box{}, snr_pi_box{}, gfactor_box{};
    Plane diff_image{}, diff_mean{};  // working planes of the pair in hand
    Samples sample_image{};
    std::string path1_nopi, path2_nopi, path1_pi, path2_pi;

    // The four chosen paths in selector order.
    std::array<std::string*, 4> paths() { return {&path1_nopi, &path2_nopi, &path1_pi, &path2_pi}; }
    std::array<const std::string*, 4> paths() const { return {&path1_nopi, &path2_nopi, &path1_pi, &path2_pi}; }
};

// The control values a run reads when the start button is pressed: the settings and the
// captions of the file labels (empty while no file is chosen for that selector).
struct SubmapInputs : RunSettings {
    std::string caption1, caption2, caption3, caption4;
};

// The run's view; one interface for both programs and snrmap.
using SubmapRunView = RunView;

// One press of the start button up to the automatic window: checks the choices and R, refills
// the list, reads the settings and the files, measures the no-PI pair and, with the g-factor
// option, the PI pair and the g-factor map, stamps the legends and sets the window from no-PI
// image 1. Returns false when a check refuses (nothing changed then). Failures raise
// snr::Error; what was written before stays.
bool run_submap(SubmapState& state, const SubmapInputs& inputs, SubmapRunView& view,
                Halves halves = Halves::InTurn);

}  // namespace snr
