// SPDX-License-Identifier: BSD-3-Clause
#include "core/path.h"

#include <filesystem>
#include <system_error>

namespace snr {

std::string file_name_part(const std::string& path) { return std::filesystem::path(path).filename().string(); }

std::string folder_part(const std::string& path) { return std::filesystem::path(path).parent_path().string(); }

std::string join_path(const std::string& folder, const std::string& name)
{
    return (std::filesystem::path(folder) / name).string();
}

std::string absolute_path(const std::string& path)
{
    if (path.empty())
        return path;
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

}  // namespace snr
