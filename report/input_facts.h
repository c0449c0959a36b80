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

// The first file of an input that was read as a DICOM image; none where it has none.
const InputFile* first_dicom_file(const RunRecord& run, const std::string& role);

// What the report says of an input: its slice count, how its files were read and the DICOM
// facts of its first DICOM file (the scanner, the coil, the series, the acquisition, the
// matrix, the pixel spacing and the field of view it gives, and the R of its headers), each
// as a caption and a text ("–" where there is none). The captions are the same for every
// input.
std::vector<std::pair<QString, QString>> input_facts(const RunRecord& run, const std::string& role);

// When an image was scanned: its acquisition date and time, else its series', else its
// study's (the source said in brackets), as "2026-12-08 13:45:00"; "–" where it says none.
QString scan_time_text(const DicomAttributes& a);

// The R an image's headers give and where from ("2 (Parallel Reduction Factor)"); "–" where
// they give none.
QString header_r_text(const DicomAttributes& a);

}  // namespace snr::report
