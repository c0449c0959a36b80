// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/snrmap_main.h"

#include <exception>
#include <future>
#include <system_error>
#include <sys/stat.h>

#include "core/dicom_image.h"
#include "tools/snrmap/command_line.h"
#include "tools/snrmap/interrupt.h"
#include "tools/snrmap/measurement.h"
#include "tools/snrmap/output_folder.h"
#include "tools/snrmap/phantom.h"
#include "tools/snrmap/progress_bar.h"

namespace snr::snrmap {

namespace {

bool same_folder(const std::string& a, const std::string& b)
{
    struct stat first {}, second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

// The results written into a slice folder would be taken as slices by the next run.
void refuse_output_in_slice_folder(const CommandLine& line)
{
    if (line.action != Action::Consecutive)
        return;
    for (const auto& folder : line.inputs) {
        if (same_folder(folder, line.out))
            throw UsageError("--out must not be a slice folder: " + folder);
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
        out << "snrmap " SNRMAP_VERSION "\n" << std::flush;
        return exit_success;
    }

    // The DICOM reader's start-up goes on beside the output folder and the listings.
    std::future<void> reader_ready;
    try {
        if (line.action == Action::Consecutive || line.action == Action::Submap)
            reader_ready = std::async(std::launch::async, prepare_dicom_reading);
    } catch (const std::system_error&) {
        // the reader prepares itself at its first image, then
    }
    try {
        StagedOutput output(line.out);
        if (line.action == Action::Phantom) {
            write_phantom(PhantomSettings{line.repeats, line.seed, line.phantom_r}, output);
        } else {
            Measurement measurement;
            {
                ProgressBar bar(err, err_is_terminal && !line.quiet);
                measurement = line.action == Action::Consecutive ? measure_consecutive(line, bar) : measure_submap(line);
            }
            warn_about_inputs(err, measurement.files, measurement.notices);
            write_measurement(measurement, output);
        }
        output.commit();
        return exit_success;
    } catch (const Interrupted& interrupted) {
        return 128 + interrupted.signal();
    } catch (const std::exception& error) {
        // The system's own text, without the error box's full stop.
        err << error.what() << "\n" << std::flush;
        return exit_failure;
    }
}

}  // namespace snr::snrmap
