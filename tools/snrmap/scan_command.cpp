// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/scan_command.h"

#include <cerrno>
#include <iomanip>
#include <mutex>
#include <sstream>
#include <sys/stat.h>

#include "core/dicom_text.h"
#include "core/errors.h"
#include "core/file_io.h"
#include "core/path.h"
#include "record/json_text.h"
#include "tools/snrmap/interrupt.h"
#include "tools/snrmap/progress_bar.h"
#include "tools/snrmap/scan_run.h"
#include "tools/snrmap/snrmap_main.h"

namespace snr::snrmap {

namespace {

using scan::AcquisitionGroup;
using scan::ArchiveIndex;
using scan::PlannedRun;
using scan::Role;
using scan::RunOutcome;
using scan::ScanPlan;

std::string series_text(const AcquisitionGroup& group)
{
    std::string text;
    for (const std::string& number : group.series)
        text += (text.empty() ? "" : ",") + number;
    return text;
}

// The plan, and the outcomes of its runs where they were made: scan.json and --format json.
std::string scan_json(const ArchiveIndex& index, const std::vector<AcquisitionGroup>& groups, const ScanPlan& plan,
                      const std::vector<RunOutcome>* outcomes)
{
    JsonText json;
    json.begin_object();
    json.field("program", "snrmap " SNR_VERSION);
    json.field("files_seen", index.files_seen);
    json.field("images", static_cast<long long>(index.images.size()));
    json.begin_array("skipped");
    for (const scan::SkippedFile& file : index.skipped) {
        json.begin_object();
        json.field("path", file.path);
        json.field("reason", file.reason);
        json.end_object();
    }
    json.end_array();
    json.begin_array("groups");
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const AcquisitionGroup& group = groups[g];
        const DicomAttributes& a = index.images[group.images.front()].first();
        json.begin_object();
        json.field("group", static_cast<long long>(g + 1));
        json.field("study_instance_uid", trimmed(a.study_instance_uid));
        json.field("study_date", trimmed(a.study_date));
        json.field("manufacturer", trimmed(a.manufacturer));
        json.field("model", trimmed(a.model));
        json.field("station_name", trimmed(a.station_name));
        json.field("receive_coil", trimmed(a.receive_coil));
        json.field("series", series_text(group));
        json.field("series_description", trimmed(a.series_description));
        json.field("files", static_cast<long long>(group.images.size()));
        json.field("slices", group.slices);
        json.field("role", scan::role_name(group.role));
        json.field("r", group.r_text);
        json.field("role_from", group.role_source);
        json.end_object();
    }
    json.end_array();
    json.begin_array("unplanned");
    for (const scan::UnplannedGroup& unplanned : plan.unplanned) {
        json.begin_object();
        json.field("group", static_cast<long long>(unplanned.group + 1));
        json.field("reason", unplanned.reason);
        json.end_object();
    }
    json.end_array();
    json.begin_array("runs");
    for (std::size_t k = 0; k < plan.runs.size(); ++k) {
        const PlannedRun& run = plan.runs[k];
        json.begin_object();
        json.field("name", run.name);
        json.field("method", run.method);
        json.field("gfactor", run.gfactor);
        json.field("r", run.r_text);
        json.field("nopi_group", static_cast<long long>(run.nopi_group + 1));
        if (run.pi_group)
            json.field("pi_group", static_cast<long long>(*run.pi_group + 1));
        for (const auto& [key, files] : {std::pair{"nopi_files", &run.nopi_files}, {"pi_files", &run.pi_files}}) {
            json.begin_array(key);
            for (const std::string& file : *files)
                json.field("", file);
            json.end_array();
        }
        if (outcomes != nullptr) {
            json.field("status", scan::status_name((*outcomes)[k].status));
            json.field("message", (*outcomes)[k].message);
            if ((*outcomes)[k].earlier_run != 0)
                json.field("earlier_run", (*outcomes)[k].earlier_run);
        }
        json.end_object();
    }
    json.end_array();
    json.end_object();
    return json.text() + "\n";
}

std::string plan_table(const ArchiveIndex& index, const std::vector<AcquisitionGroup>& groups, const ScanPlan& plan)
{
    std::ostringstream text;
    text << index.files_seen << " files: " << index.images.size() << " images, " << index.skipped.size()
         << " skipped; " << groups.size() << " groups; " << plan.runs.size() << " runs\n";
    text << std::left << std::setw(40) << "run" << std::setw(13) << "method" << std::setw(6) << "R" << std::setw(20)
         << "no PI (series/n)" << "PI (series/n)\n";
    for (const PlannedRun& run : plan.runs) {
        const auto half = [&](std::optional<std::size_t> g) {
            return g ? series_text(groups[*g]) + "/" + std::to_string(groups[*g].slices) : std::string("-");
        };
        text << std::setw(40) << run.name << std::setw(13) << run.method << std::setw(6)
             << (run.gfactor ? run.r_text : "-") << std::setw(20) << half(run.nopi_group) << half(run.pi_group) << "\n";
    }
    for (const scan::UnplannedGroup& unplanned : plan.unplanned) {
        const AcquisitionGroup& group = groups[unplanned.group];
        text << "not measured: series " << series_text(group) << " ("
             << trimmed(index.images[group.images.front()].first().series_description) << "): " << unplanned.reason
             << "\n";
    }
    return text.str();
}

// The output folder and those above it that are missing.
void make_folders(const std::string& folder)
{
    if (folder.empty() || folder == "/" || is_directory(folder))
        return;
    make_folders(folder_part(folder));
    if (sys().mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        raise_io_error(errno, folder);
}

}  // namespace

void write_scan_json(const std::string& out, const ArchiveIndex& index, const std::vector<AcquisitionGroup>& groups,
                     const ScanPlan& plan, const std::vector<RunOutcome>& outcomes)
{
    make_folders(absolute_path(out));
    write_file_atomically(out + "/scan.json", scan_json(index, groups, plan, &outcomes));
}

int scan_command(const CommandLine& line, const HistoryModule* history, std::ostream& out, std::ostream& err,
                 bool err_is_terminal)
{
    return status_of(err, [&] {
        const std::vector<scan::Rule> rules = line.rules.empty() ? std::vector<scan::Rule>{} : scan::read_rules(line.rules);
        ProgressBar bar(err, err_is_terminal && !line.quiet);
        std::mutex drawing;
        const int index_share = line.dry_run ? 100 : 20;
        const ArchiveIndex index = scan::index_archive(line.inputs, [&](long long done, long long total) {
            check_interrupt();
            const std::lock_guard lock(drawing);
            bar.show(static_cast<int>(done * index_share / total));
        });
        const std::vector<AcquisitionGroup> groups = scan::group_images(index, rules);
        const ScanPlan plan = scan::plan_runs(index, groups, line.consecutive_from);
        if (line.dry_run) {
            bar.clear();
            out << (line.format == "json" ? scan_json(index, groups, plan, nullptr) : plan_table(index, groups, plan))
                << std::flush;
            return exit_success;
        }
        const std::vector<RunOutcome> outcomes = scan::run_plan(plan, line, history, [&](std::size_t run, std::size_t runs) {
            bar.show(index_share + static_cast<int>((100 - index_share) * run / std::max<std::size_t>(runs, 1)));
        });
        bar.clear();
        write_scan_json(line.out, index, groups, plan, outcomes);
        bool failed = false;
        for (std::size_t k = 0; k < outcomes.size(); ++k) {
            out << plan.runs[k].name << ": " << scan::status_name(outcomes[k].status)
                << (outcomes[k].said.empty() ? "" : " (" + outcomes[k].said + ")") << "\n";
            if (!outcomes[k].message.empty())
                err << outcomes[k].message << "\n";
            failed = failed || outcomes[k].status == RunOutcome::Status::Failed;
        }
        out << std::flush;
        err << std::flush;
        return failed ? exit_failure : exit_success;
    });
}

}  // namespace snr::snrmap
