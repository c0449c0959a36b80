// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/measurement.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>

#include "consecutive/consecutive_items.h"
#include "core/extended.h"
#include "core/file_io.h"
#include "core/gfactor.h"
#include "core/large_memory.h"
#include "core/path.h"
#include "core/text_number.h"
#include "core/together.h"
#include "submap/marker_scan.h"
#include "record/json_text.h"
#include "submap/submap_items.h"
#include "tools/snrmap/interrupt.h"
#include "tools/snrmap/npy_file.h"
#include "tools/snrmap/output_folder.h"
#include "tools/snrmap/plane_picture.h"
#include "tools/snrmap/progress_bar.h"
#include "tools/snrmap/report_module.h"
#include "record/summary_json.h"

namespace snr::snrmap {

namespace {

// A run on the terminal: refusals are failures of their own, no list, and the progress bar
// where the run reports progress.
class CommandRunView : public RunView {
public:
    explicit CommandRunView(ProgressBar* bar = nullptr) : bar_(bar) {}
    void refuse(const std::string& message) override { throw Refusal(message); }
    void refuse_file(const FileRefusal& refusal) override
    {
        Refusal named(refusal.reason);
        named.set_subject(refusal.path);
        throw named;
    }
    void begin(const std::vector<std::string>&) override {}
    void progress(int position) override
    {
        check_interrupt();
        if (bar_ != nullptr)
            bar_->show(position);
    }

private:
    ProgressBar* bar_;
};

// The view selection without a window: no controls, nothing drawn.
class NoWindow : public SelectionView {
public:
    void show_legend_controls(bool) override {}
    void set_readout_title(const std::string&) override {}
    void show_scale_labels(const LegendLabelTexts&) override {}
    void clear_readout() override {}
    void set_window_caption(const std::string&) override {}
    void render_display() override {}
};

template <class State>
using Select = std::optional<LegendTexts> (*)(State&, int, SelectionView&);
template <class State>
using Show = void (*)(State&, int, SelectionView&);

std::optional<double> reduction_rate(const CommandLine& line, bool gfactor)
{
    if (!gfactor)
        return std::nullopt;
    return ext::store(text_to_float(line.r_text));
}

// The settings of the run, then every item of the list in list order as a window shows it
// when the item is selected and the run's legend is then typed into its edits: the
// selection's legend texts applied to its map as the edits' change handlers apply them, the
// window the selection sets, then the map stamped with the run's settings again. The state
// holds the planes.
template <class State>
RunRecord finish_measurement(RunRecord result, const CommandLine& line, std::shared_ptr<State> state,
                               ItemTable<State> table, Select<State> select, Show<State> show)
{
    result.program = "snrmap " SNRMAP_VERSION;
    result.time = record_time_now();
    result.r = reduction_rate(line, result.gfactor);
    const LegendSettings settings = state->legend;
    result.scale_min = settings.scale_min;
    result.scale_step = settings.scale_step;
    NoWindow no_window;
    const auto captions = list_captions(table, result.gfactor);
    for (std::size_t index = 0; index < captions.size(); ++index) {
        const auto& item = table[index];
        Plane& plane = (*state).*item.plane;
        if (const auto preset = select(*state, static_cast<int>(index), no_window))
            apply_legend_edit(*state, item.kind, &plane, *preset);
        show(*state, static_cast<int>(index), no_window);
        ResultPlane& result_plane =
            result.planes.emplace_back(ResultPlane{item.file_name, captions[index], &plane, item.kind, state->window});
        if (item.kind != ItemKind::Other) {
            // The map keeps the wedge of the run's settings, and its labels read them, in g for
            // the g-factor map.
            stamp_legend_wedge(plane, settings);
            const bool gfactor = item.kind == ItemKind::GFactor;
            result_plane.legend = LegendTexts{json_number(gfactor ? in_g(settings.scale_min) : settings.scale_min),
                                              json_number(gfactor ? in_g(settings.scale_step) : settings.scale_step)};
        }
    }
    result.rois = measure_rois(line.rois, result.planes);
    result.output_folder = absolute_path(line.out);
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

}  // namespace

RunRecord measure_consecutive(const CommandLine& line, ProgressBar& bar)
{
    ConsecutiveInputs inputs;
    inputs.legend = line.legend;
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

    RunRecord result;
    result.method = "consecutive";
    result.gfactor = inputs.gfactor;
    result.inputs.emplace_back("nopi", absolute_path(inputs.nopi_folder));
    result.slice_counts.emplace_back("nopi", state->count_nopi);
    if (inputs.gfactor) {
        result.inputs.emplace_back("pi", absolute_path(inputs.pi_folder));
        result.slice_counts.emplace_back("pi", state->count_pi);
    }
    for (const auto& [role, slices] : {std::pair{"nopi", &state->slices_nopi}, std::pair{"pi", &state->slices_pi}}) {
        for (const auto& slice : *slices)
            result.files.push_back({role, file_name_part(slice.path), slice.source});
    }
    return finish_measurement<ConsecutiveState>(std::move(result), line, std::move(state), consecutive_item_table(),
                                                select_consecutive_item, show_consecutive_item);
}

RunRecord measure_submap(const CommandLine& line)
{
    // The checks that the window's image selectors make before a file is taken.
    const char* roles[] = {"nopi_1", "nopi_2", "pi_1", "pi_2"};
    std::vector<InputFile> files;
    for (std::size_t k = 0; k < line.inputs.size(); ++k) {
        Selection selection = check_selection(line.inputs[k]);
        if (!selection.refusal.empty()) {
            Refusal named(selection.refusal);
            named.set_subject(line.inputs[k]);
            throw named;
        }
        files.push_back({roles[k], file_name_part(line.inputs[k]), std::move(selection.source)});
    }
    auto state = make_shared_large<SubmapState>();
    SubmapInputs inputs;
    inputs.gfactor = line.inputs.size() == 4;
    inputs.r_text = line.r_text;
    inputs.legend = line.legend;
    std::string* paths[] = {&state->path1_nopi, &state->path2_nopi, &state->path1_pi, &state->path2_pi};
    std::string* captions[] = {&inputs.caption1, &inputs.caption2, &inputs.caption3, &inputs.caption4};
    for (std::size_t k = 0; k < line.inputs.size(); ++k) {
        *paths[k] = line.inputs[k];
        *captions[k] = file_name_part(line.inputs[k]);
    }
    CommandRunView view;
    run_submap(*state, inputs, view, Halves::Together);

    RunRecord result;
    result.method = "submap";
    result.gfactor = inputs.gfactor;
    result.files = std::move(files);
    for (std::size_t k = 0; k < line.inputs.size(); ++k)
        result.inputs.emplace_back(roles[k], absolute_path(line.inputs[k]));
    result.slice_counts.emplace_back("nopi", 2);
    if (inputs.gfactor)
        result.slice_counts.emplace_back("pi", 2);
    return finish_measurement<SubmapState>(std::move(result), line, std::move(state), submap_item_table(),
                                           select_submap_item, show_submap_item);
}

namespace {

// The plane files of every item either method can list that this measurement does not write:
// an earlier measurement's, which would stand beside this one's summary as if part of it.
std::vector<std::string> other_plane_files(const std::vector<std::string>& written)
{
    std::vector<std::string> names;
    const auto add = [&](const char* file_name) {
        for (const char* extension : {".png", ".npy", ".dcm"}) {
            const std::string name = file_name + std::string(extension);
            if (std::find(written.begin(), written.end(), name) == written.end() &&
                std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
        }
    };
    for (const auto& item : consecutive_item_table())
        add(item.file_name);
    for (const auto& item : submap_item_table())
        add(item.file_name);
    return names;
}

}  // namespace

void write_planes(RunRecord& measurement, StagedOutput& output, Digest digest)
{
    // A job for each plane's figures, picture and raw file, four at a time: the figures and
    // the pictures keep the processors busy while the flushes wait for the disk. Each file is
    // flushed as soon as it is written.
    const std::size_t count = measurement.planes.size();
    std::vector<std::string> names;
    for (const ResultPlane& plane : measurement.planes) {
        names.push_back(plane.name + ".png");
        names.push_back(plane.name + ".npy");
    }
    const auto paths = output.name_flushed_files(names);
    const std::string header = npy_header();
    for (std::size_t index = 0; index < count && digest != nullptr; ++index)
        measurement.planes[index].files = {{names[2 * index], {}}, {names[2 * index + 1], {}}};
    // Each job sets the digest of its own file.
    const auto note_digest = [&](std::size_t index, std::size_t file, const std::vector<std::string_view>& parts) {
        if (digest == nullptr)
            return;
        std::string& sha256 = measurement.planes[index].files[file].sha256;
        sha256 = digest(parts);
        if (sha256.empty())
            throw Error("snrmap: " + names[2 * index + file] + ": cannot compute its SHA-256");
    };
    side_by_side(3 * count, 4, [&](std::size_t k) {
        const std::size_t index = k / 3;
        ResultPlane& plane = measurement.planes[index];
        if (k % 3 == 0) {
            measurement.planes[index].figures = summarize_result(plane);
        } else if (k % 3 == 1) {
            const std::string png = png_bytes(*plane.plane, plane.window.wl, plane.window.ww);
            write_file(paths[2 * index], png);
            note_digest(index, 0, {png});
        } else {
            const std::vector<std::string_view> npy{header, npy_data(*plane.plane)};
            write_file(paths[2 * index + 1], npy);
            note_digest(index, 1, npy);
        }
    });
}

void write_dicom_maps(RunRecord& measurement, StagedOutput& output)
{
    report::ParametricMaps maps;
    if (const std::string failure = report_module().parametric_maps(measurement, maps); !failure.empty())
        throw Error(failure);
    for (const report::MapFile& file : maps.files)
        output.write(file.name, file.bytes);
    measurement.dicom_maps = std::move(maps.record);
}

void write_summary(const RunRecord& measurement, StagedOutput& output)
{
    const std::string texts[] = {summary_json(measurement), roi_csv(measurement)};
    const auto text_paths = output.name_flushed_files({"summary.json", "roi.csv"});
    side_by_side(2, 2, [&](std::size_t k) { write_file(text_paths[k], texts[k]); });
    output.remove_at_commit(other_plane_files(output.entries()));
}

std::vector<std::string> output_names(const RunRecord& measurement)
{
    std::vector<std::string> names{"summary.json", "roi.csv"};
    for (const ResultPlane& plane : measurement.planes) {
        for (const char* suffix : {".npy", ".png", ".dcm"})
            names.push_back(plane.name + suffix);
    }
    return names;
}

}  // namespace snr::snrmap
