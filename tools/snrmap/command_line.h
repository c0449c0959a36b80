// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/roi_stats.h"
#include "run/run_settings.h"

namespace snr::snrmap {

enum class Action { Help, Version, Consecutive, Submap, Phantom, Report, History, Trend, Scan, Listen };

// The settings of a run (--r, --scale-min, --scale-step: texts read as the windows read their
// edits, with the windows' defaults; the g-factor where two folders or four images are given),
// and the rest of the command.
struct CommandLine : RunSettings {
    Action action = Action::Help;
    std::vector<std::string> inputs;  // folders or image files (report: the output folder), in the order given
    std::string out;                  // report: the PDF, empty for OUTDIR/report.pdf
    bool quiet = false;
    std::vector<Roi> rois;  // --roi, in the order given
    std::string report;     // --report FILE.pdf: a run's report, or trend's chart
    bool dicom_maps = false;
    bool dicom_results = false;  // the maps, the report as Encapsulated PDF and the measurement report
    // phantom
    int repeats = 16;
    std::uint64_t seed = 1;
    double phantom_r = 2.0;
    // the results history
    bool record = false;               // consecutive, submap: record the run
    std::string db;                    // --db URL; empty: $SNR_MAPS_DB or the user's own file
    std::string scanner, coil, since;  // history, trend: which runs
    std::string format = "table";      // table, csv or json
    std::string item;                  // trend: the plane's name
    int trend_roi = 0;                 // trend: --roi N, a region by its number from 1
    std::string figure = "mean";       // trend: --stat
    long long baseline = 0;            // trend: a run's id, 0 for the first of the series
    std::optional<double> tolerance;   // trend: per cent
    // scan (its inputs are the roots; --report is a flag: report.pdf in each run's folder)
    std::string rules;                 // --rules FILE
    bool dry_run = false;
    bool again = false;
    int consecutive_from = 5;
    // A run of the scan: the slice files of each consecutive input, in order, in place of the
    // listing of its folder (which then only names the input).
    std::vector<std::vector<std::string>> input_files;
    // listen (--rules as scan's; --report a flag, as in scan)
    int port = 11112;
    std::string aet = "SNRMAP";
    std::vector<std::string> allow;  // calling AE titles let in; none: any
    std::string spool;
    int study_timeout = 30;  // seconds
    std::string send_to;     // AET@HOST:PORT
    bool run_reports = false;  // listen --report: each run's report.pdf
};

// A command line that names no valid command; the text says what is wrong.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr int min_repeats = 2;
inline constexpr int max_repeats = 999;
inline constexpr double max_phantom_r = 16.0;
inline constexpr int max_trend_roi = 1000000;

// Arguments without the program name; listen takes the same options from --config FILE too
// (KEY = VALUE lines, # comments; the command line wins). Raises UsageError.
CommandLine parse_command_line(const std::vector<std::string>& args);

std::string usage_text();
std::string help_text();

}  // namespace snr::snrmap
