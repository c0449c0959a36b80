// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>

#include "record/run_record.h"
#include "report/parametric_maps.h"

namespace snr::snrmap {

// What snrmap loads only when a run asks for a report or DICOM maps, from a module of its own
// (snrmap_extras.so): linked into snrmap, Qt and DCMTK's Parametric Map libraries would add
// some 16 ms to the start of every run. Each function fills its result and returns an empty
// text, or returns the failure's text; no exception crosses the module's edge.
struct Extras {
    const char* version;  // of the snrmap the module was built with
    // The report of the run as PDF bytes (a QGuiApplication on the offscreen platform is
    // started at the first call).
    std::string (*report_pdf)(const RunRecord& run, std::string& pdf);
    // The record of a run from its summary.json; the planes are not read.
    std::string (*read_summary)(const std::string& json, RunRecord& run);
    std::string (*parametric_maps)(const RunRecord& run, report::ParametricMaps& maps);
};

// The module's functions, loaded at the first call. Raises snr::Error naming the module when
// it cannot be loaded or comes from another version of snrmap.
const Extras& extras();

// The module to load in place of the one installed beside snrmap (tests: the one just built).
void use_extras_module(const std::string& path);

}  // namespace snr::snrmap

// The module's one entry.
extern "C" const snr::snrmap::Extras* snrmap_extras();
