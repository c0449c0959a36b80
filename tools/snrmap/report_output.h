// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "history/history_rows.h"
#include "record/run_record.h"

namespace snr::snrmap {

class StagedOutput;

// "snrmap: PATH: reason": a failure about one file, named in the message.
[[noreturn]] void raise_about(const std::string& path, const std::string& reason);

// The PDF of `--report FILE` of a run. It goes with the output: into the staged output when
// FILE lies in the output folder, otherwise beside FILE before the output's commit and renamed
// over FILE after it, so that a FILE that cannot be written stops the run before anything
// moves, and an earlier FILE stays as it was.
class ReportFile {
public:
    ReportFile(std::string path, const std::string& output_folder);
    // `taken`: the names the run writes into the output folder, which the report must not take.
    // Raises Error naming FILE.
    void write(const std::string& pdf, StagedOutput& output, const std::vector<std::string>& taken);
    // After the output's commit. Raises Error naming FILE.
    void replace();

private:
    std::string path_;
    bool in_output_ = false;
    std::unique_ptr<PendingFile> pending_;
};

// The record of a run from its output folder: summary.json and every plane's NAME.npy.
// Raises Error naming the file that is missing or damaged.
RunRecord read_output_folder(const std::string& folder);

// `snrmap report OUTDIR [--out FILE]`: the report of an output folder, written beside FILE
// (OUTDIR/report.pdf when empty) and renamed over it. Raises Error naming the file at fault.
void report_output_folder(const std::string& folder, const std::string& file);

// `snrmap trend --report FILE`: the trend's chart, written beside FILE and renamed over it.
// Raises Error naming FILE.
void write_trend_report(const history::Trend& trend, const std::string& file);

}  // namespace snr::snrmap
