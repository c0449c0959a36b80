// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>

#include "record/json_text.h"
#include "record/run_record.h"

namespace snr {

// summary.json: the run's settings, inputs and files, notices, the figures of every plane in
// list order and the regions' figures.
std::string summary_json(const RunRecord& run);

// A region's place as both summary.json and snrmap's listings give it: row, column, height
// and width.
void write_roi_place(JsonText& json, const Roi& roi);

// roi.csv: roi,plane,n,mean,sd,min,max with the regions numbered from 1 in the order given.
std::string roi_csv(const RunRecord& run);

}  // namespace snr
