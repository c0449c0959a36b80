// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/measurement.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>

#include "consecutive/consecutive_items.h"
#include "consecutive/consecutive_record.h"
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
#include "submap/submap_record.h"
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
    void notices(const std::vector<std::string>& texts) override { notices_ = texts; }
    const std::vector<std::string>& notices() const { return notices_; }

private:
    ProgressBar* bar_;
    std::vector<std::string> notices_;
};

// What snrmap adds to the record of a run: itself, the regions and the output folder.
RunRecord finish_measurement(RunRecord result, const CommandLine& line)
{
    result.program = "snrmap " SNR_VERSION;
    result.rois = measure_rois(line.rois, result.planes);
    result.output_folder = absolute_path(line.out);
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
    static_cast<RunSettings&>(inputs) = line;
    inputs.nopi_folder = line.inputs.at(0);
    if (inputs.gfactor)
        inputs.pi_folder = line.inputs.at(1);
    if (!line.input_files.empty()) {
        inputs.nopi_files = line.input_files.at(0);
        if (inputs.gfactor)
            inputs.pi_files = line.input_files.at(1);
    }
    require_folder(inputs.nopi_folder);
    if (inputs.gfactor)
        require_folder(inputs.pi_folder);

    auto state = make_shared_large<ConsecutiveState>();
    CommandRunView view(&bar);
    run_consecutive(*state, inputs, view, Halves::Together);

    RunRecord result = consecutive_run_record(std::move(state), inputs);
    result.notices = view.notices();
    return finish_measurement(std::move(result), line);
}

RunRecord measure_submap(const CommandLine& line)
{
    // The checks that the window's image selectors make before a file is taken.
    std::vector<InputFile> files;
    for (std::size_t k = 0; k < line.inputs.size(); ++k) {
        Selection selection = check_selection(line.inputs[k]);
        if (!selection.refusal.empty()) {
            Refusal named(selection.refusal);
            named.set_subject(line.inputs[k]);
            throw named;
        }
        files.push_back({submap_roles[k], file_name_part(line.inputs[k]), std::move(selection.source), line.inputs[k]});
    }
    auto state = make_shared_large<SubmapState>();
    SubmapInputs inputs;
    static_cast<RunSettings&>(inputs) = line;
    const auto paths = state->paths();
    std::string* captions[] = {&inputs.caption1, &inputs.caption2, &inputs.caption3, &inputs.caption4};
    for (std::size_t k = 0; k < line.inputs.size(); ++k) {
        *paths[k] = line.inputs[k];
        *captions[k] = file_name_part(line.inputs[k]);
    }
    CommandRunView view;
    run_submap(*state, inputs, view, Halves::Together);

    RunRecord result = submap_run_record(std::move(state), inputs, std::move(files));
    result.notices = view.notices();
    return finish_measurement(std::move(result), line);
}

namespace {

// The files a plane may have in an output folder: raw, picture, DICOM map.
constexpr const char* plane_file_extensions[] = {".npy", ".png", ".dcm"};

// The plane files of every item either method can list that this measurement does not write:
// an earlier measurement's, which would stand beside this one's summary as if part of it.
std::vector<std::string> other_plane_files(const std::vector<std::string>& written)
{
    std::vector<std::string> names;
    const auto add = [&](const char* file_name) {
        for (const char* extension : plane_file_extensions) {
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
            measurement.planes[index].figures = summarize_result(plane, measurement.region);
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

void write_dicom_documents(RunRecord& measurement, const std::string& pdf, StagedOutput& output)
{
    std::vector<report::MapFile> files;
    if (const std::string failure = report_module().dicom_documents(measurement, pdf, files); !failure.empty())
        throw Error(failure);
    for (const report::MapFile& file : files) {
        output.write(file.name, file.bytes);
        if (measurement.dicom_maps)
            measurement.dicom_maps->documents.push_back(file.name);
    }
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
    std::vector<std::string> names{"summary.json", "roi.csv", "report.dcm", "measurements.dcm"};
    for (const ResultPlane& plane : measurement.planes) {
        for (const char* extension : plane_file_extensions)
            names.push_back(plane.name + extension);
    }
    return names;
}

}  // namespace snr::snrmap
