// SPDX-License-Identifier: BSD-3-Clause
#pragma once

// Shared by the fuzz targets: a scratch folder, input slicing, the checks that end a run.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "core/errors.h"
#include "core/plane.h"

namespace snr::fuzz {

// A failed check is a crash for the fuzzer, with the reason on stderr.
[[noreturn]] inline void fail(const std::string& what)
{
    std::fprintf(stderr, "check failed: %s\n", what.c_str());
    std::abort();
}

// Not for loops over pixels: the message is built whether or not the check fails.
inline void check(bool condition, const std::string& what)
{
    if (!condition)
        fail(what);
}

// A folder of this process on a memory file system where there is one (the export syncs).
class Scratch {
public:
    Scratch()
    {
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/snrfuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            fail("no scratch folder");
        path_ = pattern;
    }
    ~Scratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // An empty folder of that name, emptied when it exists.
    std::string fresh_folder(const std::string& name) const
    {
        const std::string folder = file(name);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        std::filesystem::create_directories(folder);
        return folder;
    }

private:
    std::string path_;
};

inline const Scratch& scratch()
{
    static const Scratch folder;
    return folder;
}

inline void write_file(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        fail("cannot create " + path);
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
        fail("cannot write " + path);
    std::fclose(file);
}

// Reads the input front to back: single bytes, then lines, then the rest.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint16_t word()
    {
        const std::uint16_t low = byte();
        return static_cast<std::uint16_t>(low | (byte() << 8));
    }
    // Text up to the next newline (not included), at most `limit` bytes.
    std::string line(std::size_t limit = 512)
    {
        std::string text;
        while (pos_ < size_ && data_[pos_] != '\n' && text.size() < limit)
            text.push_back(static_cast<char>(data_[pos_++]));
        if (pos_ < size_ && data_[pos_] == '\n')
            ++pos_;
        return text;
    }
    std::vector<std::uint8_t> rest() const { return {data_ + pos_, data_ + size_}; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Samples drawn from a repeating pattern of 16-bit little-endian values, shifted by `shift`.
inline StoredPixels pattern_samples(const std::vector<std::uint8_t>& pattern, int shift)
{
    StoredPixels samples{};
    const std::size_t values = pattern.size() / 2;
    if (values == 0)
        return samples;
    for (int p = 0; p < plane_pixels; ++p) {
        const std::size_t k = (static_cast<std::size_t>(p) + static_cast<std::size_t>(shift)) % values;
        samples[p] = static_cast<std::int16_t>(static_cast<std::uint16_t>(pattern[2 * k] | (pattern[2 * k + 1] << 8)));
    }
    return samples;
}

// A slice file of exactly these samples, after a short header.
inline void write_slice(const std::string& path, const StoredPixels& samples, std::size_t header = 132)
{
    std::vector<std::uint8_t> bytes(header, 0x5A);
    for (std::int16_t sample : samples) {
        const auto value = static_cast<std::uint16_t>(sample);
        bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    write_file(path, bytes);
}

inline void check_finite(const Plane& plane, const char* name)
{
    for (int p = 0; p < plane_pixels; ++p) {
        if (!std::isfinite(plane[p]))
            fail(std::string(name) + " holds " + std::to_string(plane[p]) + " at " + std::to_string(p));
    }
}

inline bool is_io_message(std::string_view message)
{
    for (int code : {2, 3, 4, 5, 100, 101}) {
        if (message == IoError::message_for(code))
            return true;
    }
    constexpr std::string_view prefix = "I/O エラー (";
    if (message.substr(0, prefix.size()) != prefix || message.back() != ')')
        return false;
    const auto digits = message.substr(prefix.size(), message.size() - prefix.size() - 1);
    return !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
}

inline bool is_float_message(std::string_view message)
{
    for (auto fault : {FloatFault::Invalid, FloatFault::DivideByZero, FloatFault::Overflow}) {
        if (message == FloatError(fault).what())
            return true;
    }
    return false;
}

// The conversion error of one of the texts the run converted.
inline bool is_conversion_message(std::string_view message, std::initializer_list<std::string_view> texts)
{
    for (auto text : texts) {
        if (message == ConvertError(text).what())
            return true;
    }
    return false;
}

}  // namespace snr::fuzz
