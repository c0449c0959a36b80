// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <string>
#include <utility>
#include <vector>

#include "core/display.h"
#include "core/errors.h"
#include "core/plane.h"
#include "core/roi_stats.h"
#include "tools/snrmap/command_line.h"
#include "record/run_record.h"

namespace snr::snrmap {

class ProgressBar;
class StagedOutput;

// A program's own check said no (the windows show these in a plain message box).
class Refusal : public Error {
public:
    using Error::Error;
};

// The measurements of the two windows, through their own computations, as the record of
// the run. They raise Refusal for
// a program check and snr::Error for any other failure.
RunRecord measure_consecutive(const CommandLine& line, ProgressBar& bar);
RunRecord measure_submap(const CommandLine& line);

// The SHA-256 of bytes given in parts, in hexadecimal; empty when it cannot be had.
using Digest = std::string (*)(const std::vector<std::string_view>& parts);

// NAME.npy and NAME.png for every result plane; the planes' figures are added to the
// measurement on the way, and with a digest the files of each plane with the digests of
// their bytes.
void write_planes(RunRecord& measurement, StagedOutput& output, Digest digest = nullptr);

// NAME.dcm, a DICOM Parametric Map, for each map (through the report module); the measurement
// records them for the summary.
void write_dicom_maps(RunRecord& measurement, StagedOutput& output);

// report.dcm (the report's PDF encapsulated) and measurements.dcm (the figures), beside the
// maps, which must be written first.
void write_dicom_documents(RunRecord& measurement, const std::string& pdf, StagedOutput& output);

// summary.json and roi.csv, the last files of a run: the plane files an earlier measurement
// left that this one did not write go at the commit.
void write_summary(const RunRecord& measurement, StagedOutput& output);

// Every name a run may write into its output folder.
std::vector<std::string> output_names(const RunRecord& measurement);

}  // namespace snr::snrmap
