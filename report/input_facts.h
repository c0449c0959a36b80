// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>
#include <string>
#include <utility>
#include <vector>

#include "record/run_record.h"

namespace snr::report {

// The caption of a run's method as the report names it: "連続撮像法 (consecutive)", ...
QString method_caption(const std::string& method);

// The caption of an input's role as the windows name it: "PIなし", "PIあり 画像2", ...
QString role_caption(const std::string& role);

// What the report says of an input: its slice count, how its files were read and the DICOM
// facts of its first DICOM file (the scanner, the coil, the series, the acquisition, the
// matrix and the pixel spacing), each as a caption and a text ("–" where there is none). The
// captions are the same for every input.
std::vector<std::pair<QString, QString>> input_facts(const RunRecord& run, const std::string& role);

}  // namespace snr::report
