// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/study_runs.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>

#include "core/dicom_text.h"
#include "core/errors.h"
#include "core/file_io.h"
#include "core/path.h"
#include "tools/snrmap/interrupt.h"
#include "tools/snrmap/scan_command.h"
#include "tools/snrmap/scan_run.h"

namespace snr::snrmap {

namespace fs = std::filesystem;

namespace {

using scan::PlannedRun;
using scan::RunOutcome;

// What makes a run the same run: its method, R and its images under their roles.
std::string run_key(const PlannedRun& run)
{
    std::vector<std::string> images;
    for (const auto& [role, uid] : run.instances) {
        if (uid.empty())
            return {};  // an image without its UID is never known to be the same
        images.push_back(role + ":" + uid);
    }
    std::sort(images.begin(), images.end());
    std::string key = run.method + " R " + (run.gfactor ? run.r_text : "-");
    for (const std::string& image : images)
        key += " " + image;
    return key;
}

// The runs made of a study, a line each: the folder's name, a tab, the run's key.
class MeasuredRuns {
public:
    explicit MeasuredRuns(std::string path) : path_(std::move(path))
    {
        std::ifstream file(path_);
        if (!file && errno != ENOENT)
            raise_io_error(errno, path_);
        for (std::string line; std::getline(file, line);) {
            const std::size_t tab = line.find('\t');
            if (tab == std::string::npos)
                continue;
            names_.insert(line.substr(0, tab));
            keys_.insert(line.substr(tab + 1));
        }
    }

    bool made(const PlannedRun& run) const
    {
        const std::string key = run_key(run);
        return !key.empty() && keys_.count(key) > 0;
    }

    // The run's name, or NAME_2, NAME_3, ... where an earlier run of other images has it.
    std::string free_name(const std::string& name) const
    {
        std::string free = name;
        for (int k = 2; names_.count(free) > 0; ++k)
            free = name + "_" + std::to_string(k);
        return free;
    }

    void add(const PlannedRun& run)
    {
        names_.insert(run.name);
        const std::string key = run_key(run);
        if (!key.empty())
            keys_.insert(key);
        text_ += run.name + "\t" + key + "\n";
    }

    // The runs added, after those read. Raises IoError.
    void save() const
    {
        if (text_.empty())
            return;
        std::ifstream earlier(path_, std::ios::binary);
        const std::string before((std::istreambuf_iterator<char>(earlier)), std::istreambuf_iterator<char>());
        write_file_atomically(path_, before + text_);
    }

private:
    std::string path_;
    std::set<std::string> names_, keys_;
    std::string text_;
};

// Whether an image of the group came in this batch.
bool in_batch(const scan::ArchiveIndex& index, const scan::AcquisitionGroup& group, const std::string& batch)
{
    return std::any_of(group.images.begin(), group.images.end(),
                       [&](std::size_t k) { return index.images[k].path.starts_with(batch + "/"); });
}

std::vector<std::string> dicom_files_in(const std::string& folder)
{
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (entry.path().extension() == ".dcm")
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string first_line(const std::string& text) { return text.substr(0, text.find('\n')); }

}  // namespace

node::StudyResults measure_study(const std::string& batch, const std::string& earlier, const StudySettings& settings,
                                 node::NodeLog& log)
{
    const std::string study = node::batch_study(batch);
    CommandLine runs = settings.line;
    runs.action = Action::Scan;
    runs.out = join_path(settings.line.out, study);
    runs.dicom_results = runs.dicom_maps = true;
    runs.report = settings.line.run_reports ? "report.pdf" : "";
    runs.quiet = true;
    runs.again = true;  // the study's own record tells what was made

    std::vector<std::string> roots;
    if (is_directory(earlier))
        roots.push_back(earlier);
    roots.push_back(batch);
    const scan::ArchiveIndex index = scan::index_archive(roots);
    const std::vector<scan::AcquisitionGroup> groups = scan::group_images(index, settings.rules);
    scan::ScanPlan plan = scan::plan_runs(index, groups, settings.line.consecutive_from);

    for (const scan::UnplannedGroup& unplanned : plan.unplanned) {
        const scan::AcquisitionGroup& group = groups[unplanned.group];
        if (in_batch(index, group, batch)) {
            log.line("study " + study + ": series " + trimmed(index.images[group.images.front()].first().series_number) +
                     " not measured: " + unplanned.reason);
        }
    }
    MeasuredRuns record(join_path(runs.out, "measured.txt"));
    std::vector<PlannedRun> fresh;
    for (PlannedRun& run : plan.runs) {
        if (record.made(run))
            continue;
        run.name = record.free_name(run.name);
        fresh.push_back(std::move(run));
    }
    if (const std::size_t before = plan.runs.size() - fresh.size(); before > 0)
        log.line("study " + study + ": " + std::to_string(before) + (before == 1 ? " run" : " runs") + " made earlier");
    plan.runs = std::move(fresh);

    node::StudyResults results;
    std::vector<RunOutcome> outcomes;
    try {
        outcomes = scan::run_plan(plan, runs, settings.history);
    } catch (const Interrupted&) {
        results.stopped = true;
        return results;
    }
    for (std::size_t k = 0; k < plan.runs.size(); ++k) {
        const PlannedRun& run = plan.runs[k];
        const std::string folder = join_path(runs.out, run.name);
        const bool done = outcomes[k].status == RunOutcome::Status::Done;
        log.line("run " + folder + " (" + run.method + (run.gfactor ? ", g-factor R " + run.r_text : ", SNR") +
                 "): " + (done ? "done" : "failed: " + first_line(outcomes[k].message)));
        if (!done)
            continue;
        record.add(run);
        for (std::string& file : dicom_files_in(folder))
            results.dicom_files.push_back(std::move(file));
    }
    if (!plan.runs.empty()) {
        write_scan_json(runs.out, index, groups, plan, outcomes);
        results.commit = [record] { record.save(); };
    }
    return results;
}

}  // namespace snr::snrmap
