// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>

namespace snr {

// Lexical parts of a path; nothing here looks at the file system.

// The name after the last "/": the caption of a chosen file.
std::string file_name_part(const std::string& path);

// The folder part: "" for a bare name, "/" for a name in the root; repeated slashes before
// the name are dropped.
std::string folder_part(const std::string& path);

// `name` inside `folder`; a bare name for the folder "".
std::string join_path(const std::string& folder, const std::string& name);

}  // namespace snr
