// SPDX-License-Identifier: BSD-3-Clause
#include "core/path.h"

#include <filesystem>

namespace snr {

std::string file_name_part(const std::string& path) { return std::filesystem::path(path).filename().string(); }

std::string folder_part(const std::string& path) { return std::filesystem::path(path).parent_path().string(); }

std::string join_path(const std::string& folder, const std::string& name)
{
    return (std::filesystem::path(folder) / name).string();
}

}  // namespace snr
