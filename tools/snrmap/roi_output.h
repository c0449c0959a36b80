// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>
#include <vector>

#include "tools/snrmap/json_text.h"
#include "tools/snrmap/measurement.h"

namespace snr::snrmap {

// The figures of each ROI for every plane, as the windows' ROI table has them.
std::vector<RoiFigures> measure_rois(const std::vector<Roi>& rois, const std::vector<ResultPlane>& planes);

// summary.json's "rois": per ROI its place and, per plane name, n, mean, sd, min and max in
// 17 significant digits, null where a figure is empty.
void add_rois(JsonText& json, const Measurement& measurement);

// roi.csv: roi,plane,n,mean,sd,min,max with the ROIs numbered from 1 in the order given.
std::string roi_csv(const Measurement& measurement);

}  // namespace snr::snrmap
