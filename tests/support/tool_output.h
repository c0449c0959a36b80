// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace snr::test {

// A path quoted for the shell.
std::string quoted(const std::string& path);

// What a shell command printed (standard output and error together) and its exit status.
struct ToolOutput {
    int status = -1;
    std::string text;
};
ToolOutput tool_output(const std::string& command);

// A program started with these arguments (the first its path), its standard output thrown
// away and its standard error written to `err_log` ("/dev/null" to drop it). Raises
// std::runtime_error when it cannot be started.
pid_t start_program(const std::vector<std::string>& argv, const std::string& err_log);

// Whether a program of this name is on the PATH.
bool have_tool(const char* name);

// The errors dciodvfy reports on a file; nothing when dciodvfy is not installed.
std::optional<std::vector<std::string>> dciodvfy_errors(const std::string& path);

// The text of a PDF as pdftotext extracts it (UTF-8).
std::string pdf_text(const std::string& path);

// The text of pages `first` to `last` of a PDF laid out as on the page (pdftotext -layout),
// every run of spaces made one: a table's row is one line, its cells one space apart.
std::string pdf_lines(const std::string& path, int first, int last);

// A part of a page of a PDF rendered by pdftoppm in grey at `dpi`: the area of `width` ×
// `height` pixels from (left, top), one byte per pixel, row by row.
struct GreyPage {
    int width = 0, height = 0;
    std::vector<std::uint8_t> greys;
    std::uint8_t at(int x, int y) const { return greys[static_cast<std::size_t>(y) * width + x]; }
};
GreyPage pdf_page(const std::string& path, int page, int dpi, int left, int top, int width, int height,
                  const std::string& scratch);

}  // namespace snr::test
