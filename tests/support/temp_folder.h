// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/plane.h"

namespace snr::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::string folder(const std::string& name) const;  // creates it

private:
    std::string path_;
};

// Writes a slice file: `header` bytes of 0x5A, then the samples little-endian, then `trailer` bytes.
void write_slice(const std::string& path, const StoredPixels& samples, std::size_t header = 132,
                 std::size_t trailer = 0);
void write_slice(const std::string& path, std::int16_t value, std::size_t header = 132);
void write_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> read_bytes(const std::string& path);
// The same as a text.
std::string read_text(const std::string& path);

// A slice file with a 128-byte zero preamble and the "DICM" marker in front of the samples.
void write_marked_slice(const std::string& path, const StoredPixels& samples);

StoredPixels filled(std::int16_t value);
// Values that differ from each neighbour and cover the 16-bit range: i × 7 − 30,000, wrapped.
StoredPixels ramp();

// The samples a reader gives for these stored values without a rescale.
Samples as_samples(const StoredPixels& pixels);

}  // namespace snr::test
