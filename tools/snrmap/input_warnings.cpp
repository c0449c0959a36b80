// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/input_warnings.h"

namespace snr::snrmap {

void warn_about_inputs(std::ostream& err, const std::vector<InputFile>& files, const std::vector<std::string>& notices)
{
    for (const InputFile& file : files) {
        if (file.source.dicm_marker)
            err << "snrmap: " << file.path
                << ": warning: DICMの印がありますがDICOMのデータセットが見つからないため、最後の131,072バイトを画素として"
                   "読みました\n";
    }
    for (const std::string& notice : notices)
        err << "snrmap: warning: " << notice << "\n";
    err << std::flush;
}

}  // namespace snr::snrmap
