// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>
#include <vector>

#include "record/run_record.h"
#include "report/parametric_maps.h"

namespace snr::report {

// The run's report (PDF bytes) as an Encapsulated PDF (report.dcm), and its figures as an
// Enhanced SR measurement report (measurements.dcm): each map's figures over the measured
// region and each ROI's on each map, with units, the ROI a rectangle on the source image it
// was measured from. Each a new series in the study of the maps (run.dicom_maps, which must
// be there). Raises snr::Error.
std::vector<MapFile> dicom_documents(const RunRecord& run, const std::string& pdf, const std::string& version);

}  // namespace snr::report
