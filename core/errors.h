// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace snr {

// Every failure the programs report carries the text the user sees, and the file or folder it
// is about, where it is about one: the path as the program was given it. The windows show the
// text alone; snrmap names the path first.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    const std::string& subject() const { return subject_; }
    void set_subject(std::string path) { subject_ = std::move(path); }

private:
    std::string subject_;
};

// Runs `step`, which works on the file or folder `path`: a failure that is about no file yet is
// about that one. It only names the failure, which goes on to the outermost handler.
template <class Step>
decltype(auto) about_file(const std::string& path, Step&& step)
{
    try {
        return step();
    } catch (Error& error) {
        if (error.subject().empty())
            error.set_subject(path);
        throw;
    }
}

// File failures, with the code of the error table (operating-system code or 100/101/131).
class IoError : public Error {
public:
    explicit IoError(int code);
    int code() const { return code_; }
    static std::string message_for(int code);

private:
    int code_;
};

// Text that is not a number.
class ConvertError : public Error {
public:
    explicit ConvertError(std::string_view text);
};

enum class FloatFault { Invalid, DivideByZero, Overflow };

// A trapped floating-point exception: no NaN or infinity ever reaches a plane.
class FloatError : public Error {
public:
    explicit FloatError(FloatFault fault);
    FloatFault fault() const { return fault_; }

private:
    FloatFault fault_;
};

class IntDivideByZero : public Error {
public:
    IntDivideByZero();
};

// I/O codes of our own, beside the operating system's.
namespace io_code {
inline constexpr int file_not_found = 2;
inline constexpr int path_not_found = 3;
inline constexpr int too_many_open_files = 4;
inline constexpr int access_denied = 5;
inline constexpr int read_past_end = 100;
inline constexpr int disk_full = 101;
inline constexpr int short_slice = 131;
}  // namespace io_code

// The text of the error box: a full stop is appended when the last character sorts after ".".
std::string error_box_text(std::string_view message);

}  // namespace snr
