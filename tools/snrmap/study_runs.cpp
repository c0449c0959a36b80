// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/study_runs.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "core/path.h"
#include "tools/snrmap/snrmap_main.h"

namespace snr::snrmap {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> sorted_entries(const std::string& folder)
{
    std::vector<std::string> paths;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

}  // namespace

node::StudyResults measure_study(const std::string& batch, const CommandLine& line, node::NodeLog& log)
{
    const std::string name = file_name_part(batch);
    const std::string study = name.substr(0, name.find('_'));
    node::StudyResults results;
    for (const std::string& series : sorted_entries(batch)) {
        if (sorted_entries(series).size() < 2)
            continue;
        const std::string out = join_path(join_path(line.out, study), file_name_part(series));
        std::vector<std::string> args = {"consecutive", series, "--out", out, "--quiet", "--dicom-results"};
        if (line.record)
            args.push_back("--record");
        if (!line.db.empty())
            args.insert(args.end(), {"--db", line.db});
        if (line.run_reports)
            args.insert(args.end(), {"--report", join_path(out, "report.pdf")});
        std::ostringstream said, failure;
        const int code = run_snrmap(args, said, failure, false);
        if (code > 128) {
            results.stopped = true;
            return results;
        }
        const std::string reason = failure.str().substr(0, failure.str().find('\n'));
        log.line("run " + out + (code == exit_success ? ": done" : ": failed: " + reason));
        if (code != exit_success)
            continue;
        for (const std::string& file : sorted_entries(out)) {
            if (file.ends_with(".dcm"))
                results.dicom_files.push_back(file);
        }
    }
    return results;
}

}  // namespace snr::snrmap
