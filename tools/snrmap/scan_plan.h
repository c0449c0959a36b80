// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/snrmap/scan_groups.h"

namespace snr::scan {

// A run the scan will make, as `snrmap consecutive` or `snrmap submap` would.
struct PlannedRun {
    std::string name;  // of its folder in the output folder
    std::string method;  // "consecutive" or "submap"
    bool gfactor = false;
    std::string r_text;  // of the PI group
    std::size_t nopi_group = 0;
    std::optional<std::size_t> pi_group;
    // The slice files of each input, in order: consecutive all of them, submap the first two.
    std::vector<std::string> nopi_files, pi_files;
    // Of the files measured: the role each has in the run and its SOP Instance UID.
    std::vector<std::pair<std::string, std::string>> instances;
};

// A group that is measured in no run, and why.
struct UnplannedGroup {
    std::size_t group = 0;
    std::string reason;
};

struct ScanPlan {
    std::vector<PlannedRun> runs;
    std::vector<UnplannedGroup> unplanned;
};

// Acquisitions from this many slices on are measured by the consecutive method, from two up to
// it by the difference method on their first two images.
inline constexpr int default_consecutive_from = 5;

// A no-PI and a PI group alike in all but the parallel-imaging facts make a g-factor run (each
// PI group with the first such no-PI group); any other group with a role an SNR-only run.
ScanPlan plan_runs(const ArchiveIndex& index, const std::vector<AcquisitionGroup>& groups,
                   int consecutive_from = default_consecutive_from);

}  // namespace snr::scan
