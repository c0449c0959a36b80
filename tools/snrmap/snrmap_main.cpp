// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/snrmap_main.h"

#include <exception>
#include <future>
#include <optional>
#include <string_view>
#include <system_error>

#include "core/dicom_image.h"
#include "core/errors.h"
#include "core/file_io.h"
#include "core/path.h"
#include "tools/snrmap/command_line.h"
#include "tools/snrmap/history_module.h"
#include "tools/snrmap/input_warnings.h"
#include "tools/snrmap/listen_command.h"
#include "tools/snrmap/interrupt.h"
#include "tools/snrmap/measurement.h"
#include "tools/snrmap/output_folder.h"
#include "tools/snrmap/phantom.h"
#include "tools/snrmap/progress_bar.h"
#include "tools/snrmap/report_module.h"
#include "tools/snrmap/report_output.h"
#include "tools/snrmap/scan_command.h"

namespace snr::snrmap {

namespace {

// The results written into a slice folder would be taken as slices by the next run.
void refuse_output_in_slice_folder(const CommandLine& line)
{
    if (line.action != Action::Consecutive)
        return;
    for (const auto& folder : line.inputs) {
        if (same_on_disk(folder, line.out).value_or(false))
            throw UsageError("--out must not be a slice folder: " + folder);
    }
}

// A refusal's reason continues a sentence after the file's name ("は…", "には…", "の…").
constexpr std::string_view particles[] = {"には", "は", "の"};

}  // namespace

std::string failure_line(const std::exception& failure)
{
    const auto* error = dynamic_cast<const Error*>(&failure);
    if (error == nullptr || error->subject().empty())
        return failure.what();
    std::string_view reason = failure.what();
    const std::string name = file_name_part(error->subject());
    if (!name.empty() && reason.starts_with(name))
        reason.remove_prefix(name.size());
    for (const std::string_view particle : particles) {
        if (reason.starts_with(particle) && reason.size() > particle.size()) {
            reason.remove_prefix(particle.size());
            break;
        }
    }
    return "snrmap: " + error->subject() + ": " + std::string(reason);
}

namespace {

// Runs a step of the output: a failure there is about the output folder as given, whichever
// file or staging folder inside it failed.
template <class Step>
void on_output(const std::string& out, Step&& step)
{
    try {
        step();
    } catch (Error& error) {
        error.set_subject(out);
        throw;
    }
}

}  // namespace

int run_snrmap(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool err_is_terminal)
{
    CommandLine line;
    try {
        line = parse_command_line(args);
        refuse_output_in_slice_folder(line);
    } catch (const UsageError& error) {
        err << "snrmap: " << error.what() << "\n" << usage_text() << std::flush;
        return exit_usage;
    }
    if (line.action == Action::Help) {
        out << help_text() << std::flush;
        return exit_success;
    }
    if (line.action == Action::Version) {
        out << "snrmap " SNR_VERSION "\n" << std::flush;
        return exit_success;
    }
    // The history's module is loaded before a run that records, so a missing one stops the run
    // before it starts; the database is opened only once the folder is written.
    const HistoryModule* history = nullptr;
    try {
        if (line.record || line.action == Action::History || line.action == Action::Trend)
            history = &history_module();
        if (line.action == Action::Trend && !line.report.empty())
            report_module();
    } catch (const std::exception& error) {
        err << failure_line(error) << "\n" << std::flush;
        return exit_failure;
    }
    if (line.action == Action::History || line.action == Action::Trend)
        return history_command(*history, line, out, err);
    if (line.action == Action::Listen) {
        try {
            return listen_command(line, history, err);
        } catch (const std::exception& error) {
            err << failure_line(error) << "\n" << std::flush;
            return exit_failure;
        }
    }

    // The DICOM reader's start-up goes on beside the output folder and the listings.
    std::future<void> reader_ready;
    try {
        if (line.action == Action::Consecutive || line.action == Action::Submap || line.action == Action::Scan)
            reader_ready = std::async(std::launch::async, prepare_dicom_reading);
    } catch (const std::system_error&) {
        // the reader prepares itself at its first image, then
    }
    if (line.action == Action::Report || line.action == Action::Phantom) {
        return status_of(err, [&] {
            if (line.action == Action::Report) {
                report_output_folder(line.inputs.at(0), line.out);
                return exit_success;
            }
            std::optional<StagedOutput> output;
            on_output(line.out, [&] { output.emplace(line.out); });
            on_output(line.out, [&] {
                write_phantom(PhantomSettings{line.repeats, line.seed, line.phantom_r}, *output);
                output->commit();
            });
            return exit_success;
        });
    }
    if (line.action == Action::Scan)
        return scan_command(line, history, out, err, err_is_terminal);
    return measure_into_folder(line, history, out, err, err_is_terminal);
}

int measure_into_folder(const CommandLine& line, const HistoryModule* history, std::ostream& out, std::ostream& err,
                        bool err_is_terminal)
{
    return status_of(err, [&] {
        std::optional<StagedOutput> output;
        on_output(line.out, [&] { output.emplace(line.out); });
        // Qt and the DICOM map libraries load beside the measurement, once the reader's
        // dictionary is made (their start-up may look at DCMTK's dictionary).
        std::future<void> report_ready;
        if (!line.report.empty() || line.dicom_maps) {
            report_ready = std::async(std::launch::async, [] {
                prepare_dicom_reading();
                report_module();
            });
        }
        RunRecord measurement;
        {
            ProgressBar bar(err, err_is_terminal && !line.quiet);
            measurement = line.action == Action::Consecutive ? measure_consecutive(line, bar) : measure_submap(line);
        }
        warn_about_inputs(err, measurement.files, measurement.notices);
        on_output(line.out, [&] { write_planes(measurement, *output, history != nullptr ? history->sha256 : nullptr); });
        if (report_ready.valid())
            report_ready.get();
        if (line.dicom_maps)
            on_output(line.out, [&] { write_dicom_maps(measurement, *output); });
        std::string pdf;
        if (!line.report.empty() || line.dicom_results) {
            if (const std::string failure = report_module().report_pdf(measurement, pdf); !failure.empty()) {
                Error error(failure);
                error.set_subject(line.report.empty() ? line.out : line.report);
                throw error;
            }
        }
        if (line.dicom_results)
            on_output(line.out, [&] { write_dicom_documents(measurement, pdf, *output); });
        on_output(line.out, [&] { write_summary(measurement, *output); });
        std::optional<ReportFile> report;
        if (!line.report.empty()) {
            report.emplace(line.report, line.out);
            report->write(pdf, *output, output_names(measurement));
        }
        on_output(line.out, [&] { output->commit(); });
        if (report)
            report->replace();
        // The last step: a failure is reported with the folder already in place.
        return history != nullptr ? history->record(measurement, line, out, err) : exit_success;
    });
}

}  // namespace snr::snrmap
