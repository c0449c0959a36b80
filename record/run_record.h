// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/display.h"
#include "core/legend.h"
#include "core/plane.h"
#include "core/roi_stats.h"
#include "core/slice_file.h"
#include "record/plane_summary.h"
#include "window_model/legend_edit.h"

namespace snr {

// An input file of a run and how it was read.
struct InputFile {
    std::string role;  // the folder's or the image's role: "nopi", "pi", "nopi_1", ...
    std::string name;  // without its folder
    SliceSource source;  // of its first frame
    std::string path;    // as given
};

// A file written of a plane, and the SHA-256 of its bytes (64 hexadecimal digits).
struct PlaneFile {
    std::string name;  // in the output folder
    std::string sha256;
};

// One plane of the result list with the window its list selection sets.
struct ResultPlane {
    std::string name;  // the plane's name in the store, and of its files
    std::string item;  // the text of its list item
    const Plane* plane = nullptr;
    ItemKind kind = ItemKind::Other;
    DisplayWindow window;
    // The legend its wedge was stamped with, in the units the windows' labels read (g for the
    // g-factor map); the labels follow from it (legend_label_texts). Empty for items without
    // a legend.
    std::optional<LegendScale> legend;
    // A map's values under its legend box as the computation gave them, before the stamp;
    // none where the record does not hold them (read back from summary.json).
    const LegendBoxValues* legend_box = nullptr;
    PlaneSummary figures;  // over the measured region, once summarize_results has run
    std::vector<PlaneFile> files;  // where the plane was written and the digests were asked for
};

// The figures of one region of interest for every plane of the result list, in list order.
struct RoiFigures {
    Roi roi;
    std::vector<RoiStats> planes;
};

// The DICOM Parametric Maps written of a run's maps: one series, in the study of the inputs
// or, where they name none (raw slices), in a study of its own.
struct DicomMapsRecord {
    std::vector<std::string> files;  // in the output folder, in list order
    bool new_study = false;
    std::string study_instance_uid, series_instance_uid, frame_of_reference_uid;
    // The report as Encapsulated PDF and the measurement report in the same series, where
    // they were asked for.
    std::vector<std::string> documents;
};

// What a run leaves: its settings, its inputs, its planes and their figures. summary.json,
// the report and the history are written from it.
struct RunRecord {
    std::string program;  // "snrmap 0.3.0", ...
    std::string method;   // "consecutive" or "submap"
    std::string time;     // when the run ended, ISO 8601 with the offset from UTC
    bool gfactor = false;
    std::vector<std::pair<std::string, std::string>> inputs;  // role, absolute path
    std::string output_folder;  // absolute; empty when the run wrote none
    std::vector<std::pair<std::string, long long>> slice_counts;
    std::vector<InputFile> files;  // as they were read
    std::vector<std::string> notices;
    std::optional<double> r;  // read only with the g-factor
    double scale_min = 0.0, scale_step = 0.0;
    std::vector<ResultPlane> planes;  // in list order
    // The pixels every plane's figures are over: found in the no-PI signal image (or every
    // pixel outside the legend box). Read back from summary.json, `inside` is empty until
    // found again in the planes.
    MeasuredRegion region;
    std::vector<RoiFigures> rois;
    std::optional<DicomMapsRecord> dicom_maps;  // when they were asked for
    std::shared_ptr<const void> store;  // holds the planes
};

// The figures of each region for every plane, as the windows' ROI table has them.
std::vector<RoiFigures> measure_rois(const std::vector<Roi>& rois, const std::vector<ResultPlane>& planes);

// The figures of a plane over the run's measured region: the g-factor map's in units of g.
PlaneSummary summarize_result(const ResultPlane& plane, const MeasuredRegion& region);

// The plane the measured region is found in: the no-PI signal image.
inline constexpr const char* region_source_plane = "signal_nopi";

// The run's region of its kind, found in its planes (none found without the source plane).
void find_measured_region(RunRecord& run);

// The local time now, as RunRecord::time has it.
std::string record_time_now();

}  // namespace snr
