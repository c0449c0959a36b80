// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>

namespace snr {

// Lexical parts of a path; nothing here looks at the file system (absolute_path reads the
// current folder only).

// The name after the last "/": the caption of a chosen file.
std::string file_name_part(const std::string& path);

// The folder part: "" for a bare name, "/" for a name in the root; repeated slashes before
// the name are dropped.
std::string folder_part(const std::string& path);

// `name` inside `folder`; a bare name for the folder "".
std::string join_path(const std::string& folder, const std::string& name);

// The path as seen from the current folder, its bytes kept, neither resolved nor normalised;
// "" stays "", and a path stays as given when the current folder cannot be read.
std::string absolute_path(const std::string& path);

}  // namespace snr
