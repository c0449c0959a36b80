// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/display.h"
#include "core/errors.h"
#include "core/plane.h"
#include "core/roi_stats.h"
#include "tools/snrmap/plane_summary.h"
#include "tools/snrmap/command_line.h"
#include "tools/snrmap/input_files.h"

namespace snr::snrmap {

class ProgressBar;
class StagedOutput;

// A program's own check said no (the windows show these in a plain message box).
class Refusal : public Error {
public:
    using Error::Error;
};

// One plane of the result list with the window its list selection sets.
struct ResultPlane {
    std::string name;  // the plane's name in the store, and of its files
    std::string item;  // the text of its list item
    const Plane* plane = nullptr;
    ItemKind kind = ItemKind::Other;
    DisplayWindow window;
};

// The figures of one --roi for every plane of the result list, in list order.
struct RoiFigures {
    Roi roi;
    std::vector<RoiStats> planes;
};

struct Measurement {
    std::string method;
    bool gfactor = false;
    std::vector<std::pair<std::string, std::string>> inputs;  // role, path
    std::vector<std::pair<std::string, long long>> slice_counts;
    std::vector<InputFile> files;  // as they were read
    std::vector<std::string> notices;  // where the inputs differ
    std::optional<double> r;  // read only with the g-factor
    double scale_min = 0.0, scale_step = 0.0;
    std::vector<ResultPlane> planes;  // in list order
    std::vector<RoiFigures> rois;
    std::shared_ptr<const void> store;  // holds the planes
};

// The measurements of the two windows, through their own computations. They raise Refusal for
// a program check and snr::Error for any other failure.
Measurement measure_consecutive(const CommandLine& line, ProgressBar& bar);
Measurement measure_submap(const CommandLine& line);

// The figures of a plane for the summary: the g-factor map's in units of g, with its 95th percentile.
PlaneSummary summarize_result(const ResultPlane& plane);

// The summary, with the figures of every plane in list order.
std::string summary_json(const Measurement& measurement, const std::vector<PlaneSummary>& summaries);

// NAME.npy and NAME.png for every result plane, summary.json and roi.csv.
void write_measurement(const Measurement& measurement, StagedOutput& output);

}  // namespace snr::snrmap
