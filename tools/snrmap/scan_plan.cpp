// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/scan_plan.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>

#include "core/dicom_text.h"

namespace snr::scan {

namespace {

// Letters, digits, '.', '-' and '_' of a text; the rest become '_'.
std::string folder_word(const std::string& text)
{
    std::string word;
    for (const char c : trimmed(text))
        word += (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_') ? c : '_';
    return word.empty() ? "unknown" : word;
}

// Eight hexadecimal digits of the study's UID (FNV-1a): the same study gets the same folder in
// every scan, so a later scan never writes another run into an earlier run's folder.
std::string study_tag(const std::string& uid)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : trimmed(uid))
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    char text[9];
    std::snprintf(text, sizeof text, "%08llx", static_cast<unsigned long long>(hash >> 32));
    return text;
}

// Scanner, study date, series and study: "STATION_20240105_s3-s4_1a2b3c4d".
std::string run_name(const ArchiveIndex& index, const AcquisitionGroup& nopi, const AcquisitionGroup* pi)
{
    const DicomAttributes& a = index.images[nopi.images.front()].first();
    const std::string scanner = !trimmed(a.station_name).empty() ? a.station_name
                                : !trimmed(a.model).empty()      ? a.model
                                                                 : a.manufacturer;
    std::string series;
    for (const AcquisitionGroup* group : {&nopi, pi}) {
        if (group == nullptr)
            continue;
        for (const std::string& number : group->series)
            series += (series.empty() ? "s" : "-s") + folder_word(number);
    }
    return folder_word(scanner) + "_" + folder_word(a.study_date) + "_" + series + "_" + study_tag(a.study_instance_uid);
}

bool one_frame_each(const ArchiveIndex& index, const AcquisitionGroup& group, std::size_t count)
{
    for (std::size_t k = 0; k < count && k < group.images.size(); ++k) {
        if (index.images[group.images[k]].frames.size() != 1)
            return false;
    }
    return true;
}

// The first `count` files of a group, with their SOP Instance UIDs under their roles in the run:
// `half` ("nopi", "pi"), numbered from 1 for the images of a pair.
std::vector<std::string> files_of(const ArchiveIndex& index, const AcquisitionGroup& group, std::size_t count,
                                  const std::string& half, bool numbered, PlannedRun& run)
{
    std::vector<std::string> files;
    for (std::size_t k = 0; k < count; ++k) {
        const IndexedImage& image = index.images[group.images[k]];
        files.push_back(image.path);
        run.instances.emplace_back(numbered ? half + "_" + std::to_string(k + 1) : half,
                                   trimmed(image.first().sop_instance_uid));
    }
    return files;
}

}  // namespace

ScanPlan plan_runs(const ArchiveIndex& index, const std::vector<AcquisitionGroup>& groups, int consecutive_from)
{
    ScanPlan plan;
    // The first no-PI group of each acquisition is the partner of its PI groups.
    std::map<std::string, std::size_t> partner;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        if (groups[g].role == Role::NoPi)
            partner.emplace(groups[g].pairing_key, g);
    }
    std::set<std::size_t> partnered;
    std::vector<std::pair<std::size_t, std::optional<std::size_t>>> pairs;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        if (groups[g].role != Role::Pi)
            continue;
        const auto found = partner.find(groups[g].pairing_key);
        if (found == partner.end()) {
            pairs.emplace_back(g, std::nullopt);
        } else {
            pairs.emplace_back(found->second, g);
            partnered.insert(found->second);
        }
    }
    for (std::size_t g = 0; g < groups.size(); ++g) {
        if (groups[g].role == Role::Unassigned)
            plan.unplanned.push_back({g, groups[g].role_source});
        else if (groups[g].role == Role::NoPi && partnered.count(g) == 0)
            pairs.emplace_back(g, std::nullopt);
    }
    std::sort(pairs.begin(), pairs.end());

    std::map<std::string, int> names;
    for (const auto& [first, second] : pairs) {
        const AcquisitionGroup& nopi = groups[first];
        const AcquisitionGroup* pi = second ? &groups[*second] : nullptr;
        const long long slices = std::min(nopi.slices, pi != nullptr ? pi->slices : nopi.slices);
        const bool consecutive = slices >= consecutive_from;
        const std::size_t count = 2;
        if (slices < 2 || (!consecutive && (!one_frame_each(index, nopi, count) ||
                                            (pi != nullptr && !one_frame_each(index, *pi, count))))) {
            const char* reason = slices < 2 ? "fewer than two slices" : "the difference method wants one-frame images";
            for (const auto group : {std::optional(first), second}) {
                if (group)
                    plan.unplanned.push_back({*group, reason});
            }
            continue;
        }
        PlannedRun run;
        run.method = consecutive ? "consecutive" : "submap";
        run.gfactor = pi != nullptr;
        // An SNR-only run of a PI group measures it in the first (no-PI) place.
        run.r_text = pi != nullptr ? pi->r_text : "";
        run.nopi_group = first;
        run.pi_group = second;
        const auto take = [&](const AcquisitionGroup& group, const std::string& half) {
            return files_of(index, group, consecutive ? group.images.size() : count, half, !consecutive, run);
        };
        run.nopi_files = take(nopi, "nopi");
        if (pi != nullptr)
            run.pi_files = take(*pi, "pi");
        run.name = run_name(index, nopi, pi);
        if (const int seen = names[run.name]++; seen > 0)
            run.name += "_" + std::to_string(seen + 1);
        plan.runs.push_back(std::move(run));
    }
    return plan;
}

}  // namespace snr::scan
