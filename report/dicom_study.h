// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>
#include <vector>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include "core/dicom_image.h"
#include "record/run_record.h"

namespace snr::report {

// What the DICOM objects of a run share: the study, the series and the plane they lie in.
struct StudyContext {
    const DicomAttributes* study = nullptr;  // the input whose study the maps join; none for a new one
    std::string study_uid, series_uid, frame_of_reference_uid;
    std::string date, time;  // of the run, DICOM DA and TM
    std::string series_number;
    std::string pixel_spacing = "1\\1", slice_thickness;
    std::vector<std::string> orientation{"1", "0", "0", "0", "1", "0"}, position{"0", "0", "0"};
    bool utf8 = false;  // some text copied from an input is UTF-8 beyond ASCII
};

// What a map holds: its quantity, and the inputs it derives from.
struct MapKind {
    const char* label;        // Content Label and LUT Label (CS / SH)
    const char* description;  // Content Description and LUT Explanation
    const char* code;         // the quantity
    const char* scheme;
    const char* meaning;
    const char* role_prefix;  // of the inputs it derives from; "" for all
};
MapKind map_kind(const ResultPlane& plane);

// Whether a map of this kind derives from the file: a DICOM input of its roles that names its
// SOP instance and class.
bool derives_from(const MapKind& kind, const InputFile& file);

// The study of the first DICOM input that names one (else a new one), and the run's time.
StudyContext study_context(const RunRecord& run);

// A UID under the 2.25 root: a random (version 4) UUID as a decimal number.
std::string new_uid();

// A text copied from an input as written: ASCII, or UTF-8 (declared then); a text in any
// other character set, which the record does not name, is left out rather than mislabelled.
std::string copied(const std::string& text, StudyContext& context);

// The patient and study attributes of the context into a data set.
void put_patient_and_study(DcmItem& data, StudyContext& context);

}  // namespace snr::report
