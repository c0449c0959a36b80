// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/legend.h"
#include "core/plane.h"
#include "core/slice_file.h"
#include "run/run_settings.h"
#include "run/run_view.h"
#include "window_model/viewer_state.h"

namespace snr {

// A slice of a run's listing and how it was read: a file, or a frame of a file of several.
struct ListedSlice {
    std::string path;
    int frame = 0;
    SliceSource source;
    // As the file's check found it, so the passes need not parse it again; shared by its frames.
    std::shared_ptr<const DicomLayout> layout;
};

// Process-wide state of snr_consecutive: its planes, counters and the viewer state.
struct ConsecutiveState : ViewerState {
    Plane rep_nopi{}, signal_nopi{}, noise_nopi{}, snr_nopi{};
    Plane rep_pi{}, signal_pi{}, noise_pi{}, snr_pi{};
    Plane gfactor_map{};
    // What each map held under its legend box before the stamp: the values the computation
    // gave there (the g-factor map's from the unstamped SNR maps).
    LegendBoxValues snr_nopi_box{}, snr_pi_box{}, gfactor_box{};
    std::int32_t count_nopi = 0;
    std::int32_t count_pi = 0;
    std::int32_t slice_counter = 0;
    // A run lists each folder once; both passes read that listing and its size is the count:
    // a folder's slices are its files' frames, files in name order, frames in frame order.
    std::vector<ListedSlice> slices_nopi, slices_pi;
};

// The control values a run reads when the start button is pressed: the settings and the
// two folders.
struct ConsecutiveInputs : RunSettings {
    std::string nopi_folder;
    std::string pi_folder;
    // Where given, a folder's slice files in order, in place of its listing (snrmap scan).
    std::vector<std::string> nopi_files, pi_files;
};

// The run's view; one interface for both programs and snrmap.
using ConsecutiveRunView = RunView;

// One press of the start button up to the automatic window: reads the settings, lists the
// folders and checks their slices, measures both folders and the g-factor map, stamps the
// legends, copies the last no-PI slice into disp_image and sets the window from it. Returns
// false when R is refused (the text "0") or a DICOM image cannot be read; the list and the
// planes are untouched then. Failures raise snr::Error; what was written before stays.
bool run_consecutive(ConsecutiveState& state, const ConsecutiveInputs& inputs, ConsecutiveRunView& view,
                     Halves halves = Halves::InTurn);

}  // namespace snr
