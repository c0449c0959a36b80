// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/report_output.h"

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

#include "core/errors.h"
#include "core/file_io.h"
#include "core/path.h"
#include "tools/snrmap/npy_file.h"
#include "tools/snrmap/output_folder.h"
#include "tools/snrmap/report_module.h"

namespace snr::snrmap {

namespace {

constexpr long long most_summary_bytes = 64LL << 20;  // far beyond any summary; not a file to load whole

std::string folder_of(const std::string& path)
{
    const std::string folder = folder_part(path);
    return folder.empty() ? "." : folder;
}

// Whether two folder names name the same folder: the same one on disk where both exist,
// otherwise the same absolute path.
bool same_folder(const std::string& a, const std::string& b)
{
    if (const auto same = same_on_disk(a, b))
        return *same;
    std::error_code error;
    const auto normal = [&](const std::string& path) {
        std::string text = std::filesystem::absolute(path, error).lexically_normal().string();
        while (text.size() > 1 && text.back() == '/')
            text.pop_back();
        return text;
    };
    return normal(a) == normal(b);
}

std::string file_bytes(const std::string& path, long long most)
{
    try {
        struct stat info {};
        const auto file = open_regular_file(path, info);
        if (!file)
            throw IoError(io_code::short_slice);  // a FIFO or device holds no file of a run
        if (info.st_size > most)
            raise_about(path, "大きすぎます (" + std::to_string(info.st_size) + " バイト)");
        std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
        if (const int error = read_all_at(file->get(), bytes.data(), info.st_size, 0))
            throw IoError(error < 0 ? io_code::read_past_end : io_code_for_errno(error, path));
        return bytes;
    } catch (const IoError& error) {
        raise_about(path, error.what());
    }
}

}  // namespace

void raise_about(const std::string& path, const std::string& reason) { throw Error("snrmap: " + path + ": " + reason); }

ReportFile::ReportFile(std::string path, const std::string& output_folder)
    : path_(std::move(path)), in_output_(same_folder(folder_of(path_), output_folder))
{
}

void ReportFile::write(const std::string& pdf, StagedOutput& output, const std::vector<std::string>& taken)
{
    const std::string name = file_name_part(path_);
    if (in_output_) {
        if (std::find(taken.begin(), taken.end(), name) != taken.end())
            raise_about(path_, "the run writes a file of this name into the output folder");
        try {
            output.write(name, pdf);
        } catch (const IoError& error) {
            raise_about(path_, error.what());
        }
        return;
    }
    try {
        pending_ = std::make_unique<PendingFile>(path_, pdf);
    } catch (const IoError& error) {
        raise_about(path_, error.what());
    }
}

void ReportFile::replace()
{
    if (!pending_)
        return;
    try {
        pending_->commit();
    } catch (const IoError& error) {
        raise_about(path_, error.what());
    }
}

RunRecord read_output_folder(const std::string& folder)
{
    const ReportModule& module = report_module();
    const std::string summary = join_path(folder, "summary.json");
    RunRecord run;
    if (const std::string failure = module.read_summary(file_bytes(summary, most_summary_bytes), run); !failure.empty())
        raise_about(summary, failure);
    auto planes = std::make_shared<std::vector<Plane>>(run.planes.size());
    const long long npy_size = static_cast<long long>(npy_header().size() + sizeof(Plane));
    for (std::size_t k = 0; k < run.planes.size(); ++k) {
        const std::string path = join_path(folder, run.planes[k].name + ".npy");
        if (run.planes[k].name.find('/') != std::string::npos || !npy_plane(file_bytes(path, npy_size), (*planes)[k]))
            raise_about(path, "256×256 の float64 の .npy ではありません");
        run.planes[k].plane = &(*planes)[k];
    }
    run.store = std::move(planes);
    // The region's pixels are found again as the run found them. Where they are not the ones
    // the summary counts, the report draws no outline and no histogram rather than others.
    const MeasuredRegion recorded = run.region;
    find_measured_region(run);
    if (recorded.pixels != 0 && recorded.pixels != run.region.pixels)
        run.region = recorded;
    return run;
}

// A PDF the report module makes from `what`, written beside `target` and renamed over it.
template <class What>
void write_pdf(const std::string& target, std::string (*make)(const What&, std::string&), const What& what)
{
    std::string pdf;
    if (const std::string failure = make(what, pdf); !failure.empty())
        raise_about(target, failure);
    try {
        write_file_atomically(target, pdf);
    } catch (const IoError& error) {
        raise_about(target, error.what());
    }
}

void report_output_folder(const std::string& folder, const std::string& file)
{
    const RunRecord run = read_output_folder(folder);
    write_pdf(file.empty() ? join_path(folder, "report.pdf") : file, report_module().report_pdf, run);
}

void write_trend_report(const history::Trend& trend, const std::string& file)
{
    write_pdf(file, report_module().trend_pdf, trend);
}

}  // namespace snr::snrmap
