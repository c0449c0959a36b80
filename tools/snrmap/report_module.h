// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>

#include "history/history_rows.h"
#include "record/run_record.h"
#include "report/parametric_maps.h"
#include "core/modules.h"

namespace snr::snrmap {

// The report room's module, snrmap-report.so (report_functions.cpp): Qt Gui and DCMTK's
// Parametric Map libraries. Each function fills its result and returns an empty text, or
// returns the failure's text. A drawing starts a QGuiApplication on the offscreen platform for
// its time unless the program has one.
struct ReportModule {
    // The report of the run as PDF bytes.
    std::string (*report_pdf)(const RunRecord& run, std::string& pdf);
    // The record of a run from its summary.json; the planes are not read.
    std::string (*read_summary)(const std::string& json, RunRecord& run);
    std::string (*parametric_maps)(const RunRecord& run, report::ParametricMaps& maps);
    // The report as Encapsulated PDF and the figures as a measurement report, beside the maps.
    std::string (*dicom_documents)(const RunRecord& run, const std::string& pdf, std::vector<report::MapFile>& files);
    // The chart of `snrmap trend --report` as PDF bytes.
    std::string (*trend_pdf)(const history::Trend& trend, std::string& pdf);
};

inline const ReportModule& report_module() { return module_functions<ReportModule>("snrmap-report"); }

}  // namespace snr::snrmap
