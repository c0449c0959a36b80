// SPDX-License-Identifier: BSD-3-Clause
#include "tests/support/tool_output.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace snr::test {

pid_t start_program(const std::vector<std::string>& argv, const std::string& err_log)
{
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        throw std::runtime_error("cannot start " + argv[0]);
    return pid;
}

std::string quoted(const std::string& path)
{
    std::string text = "'";
    for (const char c : path)
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

ToolOutput tool_output(const std::string& command)
{
    ToolOutput output;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return output;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.text.append(buffer, got);
    const int status = ::pclose(pipe);
    output.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

bool have_tool(const char* name)
{
    return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

std::optional<std::vector<std::string>> dciodvfy_errors(const std::string& path)
{
    if (!have_tool("dciodvfy"))
        return std::nullopt;
    std::istringstream report(tool_output("dciodvfy " + quoted(path)).text);
    std::vector<std::string> errors;
    for (std::string line; std::getline(report, line);) {
        if (line.rfind("Error", 0) == 0)
            errors.push_back(line);
    }
    return errors;
}

std::string pdf_text(const std::string& path)
{
    const ToolOutput output = tool_output("pdftotext -enc UTF-8 " + quoted(path) + " -");
    if (output.status != 0)
        throw std::runtime_error("pdftotext failed on " + path + ": " + output.text);
    return output.text;
}

std::string pdf_lines(const std::string& path, int first, int last)
{
    const ToolOutput output = tool_output("pdftotext -layout -enc UTF-8 -f " + std::to_string(first) + " -l " +
                                          std::to_string(last) + " " + quoted(path) + " -");
    if (output.status != 0)
        throw std::runtime_error("pdftotext failed on " + path + ": " + output.text);
    std::string lines;
    for (const char c : output.text) {
        if (c != ' ' || (!lines.empty() && lines.back() != ' ' && lines.back() != '\n'))
            lines += c;
    }
    return lines;
}

GreyPage pdf_page(const std::string& path, int page, int dpi, int left, int top, int width, int height,
                  const std::string& scratch)
{
    const std::string number = std::to_string(page);
    const ToolOutput output = tool_output("pdftoppm -gray -singlefile -r " + std::to_string(dpi) + " -f " + number +
                                          " -l " + number + " -x " + std::to_string(left) + " -y " +
                                          std::to_string(top) + " -W " + std::to_string(width) + " -H " +
                                          std::to_string(height) + " " + quoted(path) + " " + quoted(scratch));
    if (output.status != 0)
        throw std::runtime_error("pdftoppm failed on " + path + ": " + output.text);
    std::ifstream file(scratch + ".pgm", std::ios::binary);
    std::string magic;
    int most = 0;
    GreyPage grey;
    file >> magic >> grey.width >> grey.height >> most;
    file.get();  // the one blank before the pixels
    if (magic != "P5" || most != 255)
        throw std::runtime_error("not an 8-bit PGM from pdftoppm");
    grey.greys.resize(static_cast<std::size_t>(grey.width) * grey.height);
    file.read(reinterpret_cast<char*>(grey.greys.data()), static_cast<std::streamsize>(grey.greys.size()));
    return grey;
}

}  // namespace snr::test
