// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>
#include <vector>

#include "node/node_log.h"
#include "node/quiet_studies.h"
#include "tools/snrmap/command_line.h"
#include "tools/snrmap/scan_groups.h"

namespace snr::snrmap {

struct HistoryModule;

// The node's settings for every study: listen's command line, its rules file read once, and
// the history's module (loaded by the caller where --record).
struct StudySettings {
    const CommandLine& line;
    std::vector<scan::Rule> rules;
    const HistoryModule* history = nullptr;
};

// A quiet batch of a study measured as snrmap scan measures a folder: the instances of the
// study's earlier batches (`earlier`, where it exists) and of this one indexed, grouped, paired
// and planned together, then each run that the study's record (OUT/STUDY/measured.txt) does not
// hold made into OUT/STUDY/NAME with its DICOM results (and report.pdf with --report, recorded
// with --record); the results' commit adds the runs made to the record. So a new series pairs
// with a series measured before it, and a run made before is not made again. Raises Error
// where the study's folder cannot be written.
node::StudyResults measure_study(const std::string& batch, const std::string& earlier, const StudySettings& settings,
                                 node::NodeLog& log);

}  // namespace snr::snrmap
