// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/roi_stats.h"

namespace snr::history {

// What tells a run's scanner and coil: the DICOM facts of its first input (empty for raw
// slices), those of scanner_facts() in their order and the receive coil.
struct Scanner {
    std::vector<std::string> facts;
    std::string receive_coil;
    friend bool operator==(const Scanner&, const Scanner&) = default;
};

// The facts of the scanner that are given, separated by spaces.
std::string scanner_text(const Scanner& scanner);

struct RunFilter {
    std::string scanner;  // a part of the maker, model, station name or serial number
    std::string coil;     // a part of the receive coil
    std::string since;    // runs that ended at this time or later: ISO 8601 in UTC ("...Z"); "" for all
};

// What a run measured, and how: the run is the same where all of it is.
struct RunInstances {
    std::string method;
    bool gfactor = false;
    std::optional<double> r;
    double scale_min = 0, scale_step = 0;
    std::vector<std::pair<std::string, std::string>> instances;  // role, SOP Instance UID of each input file
};

// A run as the history lists it.
struct RunListing {
    long long id = 0;
    std::string time, program, method;
    bool gfactor = false;
    std::optional<double> r;
    double scale_min = 0, scale_step = 0;
    std::string output_folder;
    Scanner scanner;
    std::string protocol_name, series_description, acquisition_date;  // of the first input
    long long notices = 0;
};

// The figures a trend follows: of a plane over its measured region, or of a region of interest.
const std::vector<std::string>& plane_figure_names();  // the keys of plane_figures
const std::vector<std::string>& roi_figure_names();    // the keys of roi_figures, then n

struct TrendQuery {
    std::string item;  // a plane's name, as its files are named
    int roi = 0;       // a region of interest by its number from 1; 0 for the plane's own figures
    std::string figure = "mean";
    long long baseline = 0;           // a run's id; 0 for the first run of the series
    std::optional<double> tolerance;  // per cent
    // Without a baseline, the newest run with the item that passes the filter names the scanner,
    // coil and method of the series; with one, the baseline run does.
    RunFilter filter;
};

struct TrendPoint {
    long long run = 0;
    std::string time;
    std::optional<double> value;
    std::optional<double> change;  // per cent of the baseline's value
    bool beyond = false;           // beyond the tolerance
};

struct Trend {
    std::string item, caption, figure;
    std::string method;  // of every run of the series
    // Of a plane's figures: the region they are over in every run of the series ("phantom" or
    // "all"), and how many runs of the same scanner, coil and method were left out for having
    // theirs over the other.
    std::string region;
    long long other_region_runs = 0;
    int roi = 0;
    Roi roi_place;  // of the region, the same in every run of the series
    Scanner scanner;
    long long baseline = 0;
    std::optional<double> baseline_value;
    std::optional<double> tolerance;
    std::vector<TrendPoint> points;  // oldest first
};

// "snr_nopi (PIなし SNR map), region 1 at 100,110,20,30, mean": what a trend follows.
// A plane's figures name their region: "snr_nopi (PIなし SNR map) over the phantom, mean".
std::string trend_title(const Trend& trend);

// Which pixels a plane's figures are over in the trend, and the runs left out for another
// region: "region: phantom (2 runs over all left out; --baseline one of them follows those)".
// Empty for a region of interest's figures.
std::string region_note(const Trend& trend);

// A change in per cent as a table shows it, rounded to two decimals: 4.9999999999999964 is 5.
double change_as_shown(double change);

// Sets each point's change against the baseline and, with a tolerance, whether it lies beyond:
// a change whose size as shown (change_as_shown) exceeds it, a value where the baseline's is 0 (no change in per cent
// can be told) or no value at all where the baseline has one.
void compare_with_baseline(Trend& trend);

// The newest run of the series lies beyond the tolerance.
bool newest_beyond(const Trend& trend);

}  // namespace snr::history
