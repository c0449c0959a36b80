// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/snrmap/scan_index.h"

namespace snr::scan {

enum class Role { NoPi, Pi, Unassigned };

const char* role_name(Role role);  // "nopi", "pi", "unassigned"

// A line of a rules file: images whose series description or protocol name matches the
// pattern take the role (and R).
struct Rule {
    int line = 0;
    std::string field;    // "description" or "protocol"
    std::string pattern;  // shell style (*, ?, [...]), matched whole, case ignored
    Role role = Role::NoPi;
    std::string r_text;   // for pi
};

// The rules file: one rule a line, `FIELD PATTERN ROLE [R]`, a pattern with spaces in double
// quotes; empty lines and lines from # on are ignored. Raises Error naming the file and line.
std::vector<Rule> read_rules(const std::string& path);

// Images of one acquisition in one study, whether in one series or several, in order:
// Instance Number, then acquisition time, then path (the frames of a file in frame order).
struct AcquisitionGroup {
    std::vector<std::size_t> images;  // into ArchiveIndex::images
    long long slices = 0;             // frames
    std::vector<std::string> series;  // the series numbers, in order of first appearance
    std::string pairing_key;          // the acquisition without its parallel-imaging facts
    Role role = Role::Unassigned;
    std::string r_text;       // of a PI group: in-plane × out-of-plane factor
    std::string role_source;  // where the role came from, or why there is none
};

// The groups of the index, in order of their first image; roles and R from the headers, else
// from the first rule that matches the group's first image.
std::vector<AcquisitionGroup> group_images(const ArchiveIndex& index, const std::vector<Rule>& rules);

}  // namespace snr::scan
