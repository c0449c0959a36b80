// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/measurement.h"

#include <cerrno>
#include <dirent.h>
#include <filesystem>

#include "consecutive/consecutive_items.h"
#include "core/extended.h"
#include "core/file_io.h"
#include "core/large_memory.h"
#include "core/path.h"
#include "core/text_number.h"
#include "core/together.h"
#include "submap/marker_scan.h"
#include "submap/submap_items.h"
#include "tools/snrmap/interrupt.h"
#include "tools/snrmap/json_text.h"
#include "tools/snrmap/npy_file.h"
#include "tools/snrmap/output_folder.h"
#include "tools/snrmap/plane_picture.h"
#include "tools/snrmap/plane_summary.h"
#include "tools/snrmap/progress_bar.h"
#include "tools/snrmap/roi_output.h"

namespace snr::snrmap {

namespace {

// A run on the terminal: refusals are failures of their own, no list, and the progress bar
// where the run reports progress.
class CommandRunView : public RunView {
public:
    explicit CommandRunView(ProgressBar* bar = nullptr) : bar_(bar) {}
    void refuse(const std::string& message) override { throw Refusal(message); }
    void begin(const std::vector<std::string>&) override {}
    void progress(int position) override
    {
        check_interrupt();
        if (bar_ != nullptr)
            bar_->show(position);
    }
    void notices(const std::vector<std::string>& texts) override { notices_ = texts; }
    const std::vector<std::string>& notices() const { return notices_; }

private:
    ProgressBar* bar_;
    std::vector<std::string> notices_;
};

// The view selection without a window: no controls, no edits to preset, nothing drawn.
class NoWindow : public SelectionView {
public:
    void show_legend_controls(bool) override {}
    void set_readout_title(const std::string&) override {}
    void preset_legend_edits(const std::string&, const std::string&) override {}
    void update_scale_labels() override {}
    void clear_readout() override {}
    void set_window_caption(const std::string&) override {}
    void render_display() override {}
};

std::optional<double> reduction_rate(const CommandLine& line, bool gfactor)
{
    if (!gfactor)
        return std::nullopt;
    return ext::store(text_to_float(line.r_text));
}

// The settings of the run, then every item of the list in list order with the window its
// selection sets; the state holds the planes.
template <class State, class Select>
Measurement finish_measurement(Measurement result, const CommandLine& line, std::shared_ptr<State> state,
                               ItemTable<State> table, Select select)
{
    result.r = reduction_rate(line, result.gfactor);
    result.scale_min = state->scale_min;
    result.scale_step = state->scale_step;
    NoWindow no_window;
    const auto captions = list_captions(table, result.gfactor);
    for (std::size_t index = 0; index < captions.size(); ++index) {
        select(*state, static_cast<int>(index), no_window);
        const auto& item = table[index];
        result.planes.push_back({item.file_name, captions[index], &((*state).*item.plane), item.kind, state->window});
    }
    result.rois = measure_rois(line.rois, result.planes);
    result.store = std::move(state);
    return result;
}

// A folder the window's folder list could not have shown: report it rather than measure an
// empty listing.
void require_folder(const std::string& path)
{
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr)
        raise_io_error(errno, path);
    ::closedir(dir);
}

std::string absolute_path(const std::string& path)
{
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

}  // namespace

Measurement measure_consecutive(const CommandLine& line, ProgressBar& bar)
{
    ConsecutiveInputs inputs;
    inputs.min_text = line.min_text;
    inputs.step_text = line.step_text;
    inputs.r_text = line.r_text;
    inputs.gfactor = line.inputs.size() == 2;
    inputs.nopi_folder = line.inputs.at(0);
    if (inputs.gfactor)
        inputs.pi_folder = line.inputs.at(1);
    require_folder(inputs.nopi_folder);
    if (inputs.gfactor)
        require_folder(inputs.pi_folder);

    auto state = make_shared_large<ConsecutiveState>();
    CommandRunView view(&bar);
    run_consecutive(*state, inputs, view, Halves::Together);

    Measurement result;
    result.method = "consecutive";
    result.notices = view.notices();
    result.gfactor = inputs.gfactor;
    result.inputs.emplace_back("nopi", absolute_path(inputs.nopi_folder));
    result.slice_counts.emplace_back("nopi", state->count_nopi);
    if (inputs.gfactor) {
        result.inputs.emplace_back("pi", absolute_path(inputs.pi_folder));
        result.slice_counts.emplace_back("pi", state->count_pi);
    }
    for (const auto& [role, slices] : {std::pair{"nopi", &state->slices_nopi}, std::pair{"pi", &state->slices_pi}}) {
        for (const auto& slice : *slices) {
            if (slice.frame == 0)  // a file of several frames is listed once
                result.files.push_back({role, file_name_part(slice.path), slice.source, slice.path});
        }
    }
    return finish_measurement(std::move(result), line, std::move(state), consecutive_item_table(),
                              select_consecutive_item);
}

Measurement measure_submap(const CommandLine& line)
{
    // The checks that the window's image selectors make before a file is taken.
    const char* roles[] = {"nopi_1", "nopi_2", "pi_1", "pi_2"};
    std::vector<InputFile> files;
    for (std::size_t k = 0; k < line.inputs.size(); ++k) {
        Selection selection = check_selection(line.inputs[k]);
        if (!selection.refusal.empty())
            throw Refusal(selection.refusal);
        files.push_back({roles[k], file_name_part(line.inputs[k]), std::move(selection.source), line.inputs[k]});
    }
    auto state = make_shared_large<SubmapState>();
    SubmapInputs inputs;
    inputs.gfactor = line.inputs.size() == 4;
    inputs.r_text = line.r_text;
    inputs.min_text = line.min_text;
    inputs.step_text = line.step_text;
    std::string* paths[] = {&state->path1_nopi, &state->path2_nopi, &state->path1_pi, &state->path2_pi};
    std::string* captions[] = {&inputs.caption1, &inputs.caption2, &inputs.caption3, &inputs.caption4};
    for (std::size_t k = 0; k < line.inputs.size(); ++k) {
        *paths[k] = line.inputs[k];
        *captions[k] = file_name_part(line.inputs[k]);
    }
    CommandRunView view;
    run_submap(*state, inputs, view, Halves::Together);

    Measurement result;
    result.method = "submap";
    result.notices = view.notices();
    result.gfactor = inputs.gfactor;
    result.files = std::move(files);
    for (std::size_t k = 0; k < line.inputs.size(); ++k)
        result.inputs.emplace_back(roles[k], absolute_path(line.inputs[k]));
    result.slice_counts.emplace_back("nopi", 2);
    if (inputs.gfactor)
        result.slice_counts.emplace_back("pi", 2);
    return finish_measurement(std::move(result), line, std::move(state), submap_item_table(), select_submap_item);
}

PlaneSummary summarize_result(const ResultPlane& plane)
{
    const bool gfactor = plane.kind == ItemKind::GFactor;
    return summarize_plane(*plane.plane, gfactor, gfactor);
}

std::string summary_json(const Measurement& measurement, const std::vector<PlaneSummary>& summaries)
{
    JsonText json;
    json.begin_object();
    json.field("program", "snrmap " SNRMAP_VERSION);
    json.field("method", measurement.method);
    json.field("gfactor", measurement.gfactor);
    json.begin_object("inputs");
    for (const auto& [role, path] : measurement.inputs)
        json.field(role, path);
    json.end_object();
    write_input_files(json, measurement.files);
    json.begin_object("slice_counts");
    for (const auto& [role, count] : measurement.slice_counts)
        json.field(role, count);
    json.end_object();
    json.field("r", measurement.r);
    json.field("scale_min", measurement.scale_min);
    json.field("scale_step", measurement.scale_step);
    json.begin_array("notices");
    for (const std::string& notice : measurement.notices)
        json.field("", notice);
    json.end_array();
    json.begin_object("planes");
    for (std::size_t k = 0; k < measurement.planes.size(); ++k) {
        const ResultPlane& plane = measurement.planes[k];
        const bool gfactor = plane.kind == ItemKind::GFactor;
        const PlaneSummary& summary = summaries.at(k);
        json.begin_object(plane.name);
        json.field("item", plane.item);
        if (gfactor)
            json.field("unit", "g");
        json.field("pixels", summary.pixels);
        json.field("min", summary.min);
        json.field("max", summary.max);
        json.field("mean", summary.mean);
        if (gfactor)
            json.field("p95", summary.p95);
        json.end_object();
    }
    json.end_object();
    add_rois(json, measurement);
    json.end_object();
    return json.text();
}

void write_measurement(const Measurement& measurement, StagedOutput& output)
{
    // A job for each plane's figures, picture and raw file, four at a time: the figures and
    // the pictures keep the processors busy while the flushes wait for the disk. Each file is
    // flushed as soon as it is written. The summary and roi.csv follow.
    const std::size_t count = measurement.planes.size();
    std::vector<std::string> names;
    for (const ResultPlane& plane : measurement.planes) {
        names.push_back(plane.name + ".png");
        names.push_back(plane.name + ".npy");
    }
    const auto paths = output.name_flushed_files(names);
    const std::string header = npy_header();
    std::vector<PlaneSummary> summaries(count);
    side_by_side(3 * count, 4, [&](std::size_t k) {
        const std::size_t index = k / 3;
        const ResultPlane& plane = measurement.planes[index];
        if (k % 3 == 0)
            summaries[index] = summarize_result(plane);
        else if (k % 3 == 1)
            write_file(paths[2 * index], png_bytes(*plane.plane, plane.window.wl, plane.window.ww));
        else
            write_file(paths[2 * index + 1], {header, npy_data(*plane.plane)});
    });

    const std::string texts[] = {summary_json(measurement, summaries), roi_csv(measurement)};
    const auto text_paths = output.name_flushed_files({"summary.json", "roi.csv"});
    side_by_side(2, 2, [&](std::size_t k) { write_file(text_paths[k], texts[k]); });
}

}  // namespace snr::snrmap
