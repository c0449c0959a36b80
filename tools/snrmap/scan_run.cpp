// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/scan_run.h"

#include <sstream>

#include "core/errors.h"
#include "core/path.h"
#include "run/run_view.h"
#include "tools/snrmap/history_module.h"
#include "tools/snrmap/interrupt.h"
#include "tools/snrmap/snrmap_main.h"
#include "window_model/legend_edit.h"

namespace snr::scan {

namespace {

// The folder that holds all the files: the input's name in the run's record and messages.
std::string common_folder(const std::vector<std::string>& files)
{
    std::string folder = absolute_path(folder_part(files.front()));
    for (const std::string& file : files) {
        const std::string own = absolute_path(folder_part(file));
        while (!(own == folder || own.starts_with(folder == "/" ? folder : folder + "/")))
            folder = folder_part(folder);
    }
    return folder;
}

snrmap::CommandLine run_line(const PlannedRun& run, const snrmap::CommandLine& settings)
{
    snrmap::CommandLine line = settings;
    line.action = run.method == "consecutive" ? snrmap::Action::Consecutive : snrmap::Action::Submap;
    line.gfactor = run.gfactor;
    line.r_text = run.gfactor ? run.r_text : RunSettings{}.r_text;
    line.out = settings.out + "/" + run.name;
    if (!settings.report.empty())
        line.report = line.out + "/report.pdf";
    line.quiet = true;
    line.inputs.clear();
    line.input_files.clear();
    if (run.method == "consecutive") {
        for (const auto* files : {&run.nopi_files, &run.pi_files}) {
            if (files->empty())
                continue;
            line.inputs.push_back(common_folder(*files));
            line.input_files.push_back(*files);
        }
    } else {
        line.inputs = run.nopi_files;
        line.inputs.insert(line.inputs.end(), run.pi_files.begin(), run.pi_files.end());
    }
    return line;
}

// The runs the history already holds, by their ids (0 where not).
std::vector<long long> recorded_earlier(const ScanPlan& plan, const snrmap::CommandLine& settings,
                                        const snrmap::HistoryModule& history)
{
    LegendSettings legend;
    read_legend_settings(settings.legend, legend);
    std::vector<history::RunInstances> runs;
    for (const PlannedRun& run : plan.runs) {
        history::RunInstances key{run.method, run.gfactor, std::nullopt, legend.scale_min, legend.scale_step,
                                  run.instances, region_kind_name(settings.region)};
        if (run.gfactor)
            key.r = reduction_rate(run.r_text);
        for (const auto& instance : run.instances) {
            if (instance.second.empty())
                key.instances.clear();  // a file without its UID is never known to be the same
        }
        runs.push_back(std::move(key));
    }
    std::vector<long long> ids;
    std::ostringstream failure;
    if (history.recorded_runs(runs, settings, ids, failure) != snrmap::exit_success)
        throw Error(failure.str().substr(0, failure.str().find_last_not_of('\n') + 1));
    return ids;
}

}  // namespace

const char* status_name(RunOutcome::Status status)
{
    switch (status) {
    case RunOutcome::Status::Done: return "done";
    case RunOutcome::Status::Failed: return "failed";
    case RunOutcome::Status::RecordedEarlier: return "recorded earlier";
    }
    return "";
}

std::vector<RunOutcome> run_plan(const ScanPlan& plan, const snrmap::CommandLine& settings,
                                 const snrmap::HistoryModule* history, const RunProgress& progress)
{
    std::vector<long long> earlier(plan.runs.size(), 0);
    if (history != nullptr && settings.record && !settings.again && !plan.runs.empty())
        earlier = recorded_earlier(plan, settings, *history);
    std::vector<RunOutcome> outcomes;
    for (std::size_t k = 0; k < plan.runs.size(); ++k) {
        if (progress)
            progress(k, plan.runs.size());
        RunOutcome outcome;
        if (earlier[k] != 0) {
            outcome.status = RunOutcome::Status::RecordedEarlier;
            outcome.earlier_run = earlier[k];
            outcomes.push_back(std::move(outcome));
            continue;
        }
        std::ostringstream said, failure;
        const int status = snrmap::measure_into_folder(run_line(plan.runs[k], settings), history, said, failure, false);
        if (status > 128)
            throw snrmap::Interrupted(status - 128);
        outcome.status = status == snrmap::exit_success ? RunOutcome::Status::Done : RunOutcome::Status::Failed;
        outcome.said = said.str();
        outcome.message = failure.str();
        for (std::string* text : {&outcome.said, &outcome.message}) {
            while (!text->empty() && text->back() == '\n')
                text->pop_back();
        }
        outcomes.push_back(std::move(outcome));
    }
    if (progress)
        progress(plan.runs.size(), plan.runs.size());
    return outcomes;
}

}  // namespace snr::scan
