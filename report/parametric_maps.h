// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>
#include <vector>

#include "record/run_record.h"

namespace snr::report {

struct MapFile {
    std::string name;  // in the output folder: the plane's name + ".dcm"
    std::string bytes;
};

struct ParametricMaps {
    DicomMapsRecord record;
    std::vector<MapFile> files;
};

// The run's SNR maps and g-factor map as DICOM Parametric Map files (explicit VR little
// endian), one new series numbered apart from the inputs' (series_number in the source): each
// plane in Double Float Pixel Data holding its values exactly (the g-factor map in g, each
// value divided by 100 as the figures take it) and, under the legend box, the values the
// computation gave there (ResultPlane::legend_box), with a Real World Value Mapping that names
// the quantity, its unit and the range of the values. They join the study and frame of
// reference of the first DICOM input that names a study, with its slice thickness, and
// reference every DICOM input they derive from; inputs without one (raw slices) get a study
// and frame of reference of their own, with the inputs' geometry where a DICOM input gives it
// and an axial plane of 1 mm pixels otherwise. `version` goes into the equipment. Raises
// snr::Error.
ParametricMaps parametric_maps(const RunRecord& run, const std::string& version);

}  // namespace snr::report
