#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/plane.h"
#include "core/run_view.h"
#include "core/viewer_state.h"

namespace snr {

// Process-wide state of snr_consecutive: its planes, counters and the viewer state.
struct ConsecutiveState : ViewerState {
    Plane rep_nopi{}, signal_nopi{}, noise_nopi{}, snr_nopi{};
    Plane rep_pi{}, signal_pi{}, noise_pi{}, snr_pi{};
    Plane gfactor_map{};
    std::int32_t count_nopi = 0;
    std::int32_t count_pi = 0;
    std::int32_t slice_counter = 0;
};

// The control values a run reads when the start button is pressed.
struct ConsecutiveInputs {
    std::string min_text = "60";
    std::string step_text = "20";
    std::string r_text = "2";
    bool gfactor = true;
    std::string nopi_folder;
    std::string pi_folder;
};

// The run's view; one interface for both programs and snrmap.
using ConsecutiveRunView = RunView;

// One press of the start button up to the automatic window: reads the settings, measures
// both folders and the g-factor map, stamps the legends, copies the last no-PI slice into
// disp_image and sets the window from it. Returns false when R is refused (the text "0").
// Failures raise snr::Error; what was written before stays.
bool run_consecutive(ConsecutiveState& state, const ConsecutiveInputs& inputs, ConsecutiveRunView& view);

}  // namespace snr
