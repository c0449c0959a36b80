// SPDX-License-Identifier: BSD-3-Clause
#include "tests/support/temp_folder.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace snr::test {

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "snrtest-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::folder(const std::string& name) const
{
    const std::string path = file(name);
    std::filesystem::create_directories(path);
    return path;
}

void write_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::vector<std::uint8_t> read_bytes(const std::string& path)
{
    // In one block: byte by byte takes seconds for the planes under the sanitizers.
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = in.tellg();
    if (size < 0)
        return {};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

void write_slice(const std::string& path, const StoredPixels& samples, std::size_t header, std::size_t trailer)
{
    std::vector<std::uint8_t> bytes(header, 0x5A);
    bytes.reserve(header + 2 * samples.size() + trailer);
    for (std::int16_t sample : samples) {
        const auto value = static_cast<std::uint16_t>(sample);
        bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    bytes.insert(bytes.end(), trailer, 0xA5);
    write_bytes(path, bytes);
}

void write_slice(const std::string& path, std::int16_t value, std::size_t header)
{
    write_slice(path, filled(value), header);
}

void write_marked_slice(const std::string& path, const StoredPixels& samples)
{
    write_slice(path, samples, 0);
    auto pixels = read_bytes(path);
    std::vector<std::uint8_t> bytes(128, 0);
    for (char c : {'D', 'I', 'C', 'M'})
        bytes.push_back(static_cast<std::uint8_t>(c));
    bytes.insert(bytes.end(), {0x02, 0x00, 0x10, 0x00});
    bytes.insert(bytes.end(), pixels.begin(), pixels.end());
    write_bytes(path, bytes);
}

StoredPixels filled(std::int16_t value)
{
    StoredPixels samples;
    samples.fill(value);
    return samples;
}

StoredPixels ramp()
{
    StoredPixels pixels;
    for (int i = 0; i < plane_pixels; ++i)
        pixels[i] = static_cast<std::int16_t>(i * 7 - 30000);
    return pixels;
}

Samples as_samples(const StoredPixels& pixels)
{
    Samples samples;
    std::copy(pixels.begin(), pixels.end(), samples.begin());
    return samples;
}

std::string read_text(const std::string& path)
{
    const auto bytes = read_bytes(path);
    return {bytes.begin(), bytes.end()};
}

}  // namespace snr::test
