// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QImage>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "core/plane.h"
#include "tests/support/dicom_writer.h"
#include "tests/support/temp_folder.h"
#include "tools/snrmap/snrmap_main.h"

namespace snr::test {

// What snrmap gave, run in this process on the arguments: its exit status and its two streams.
struct SnrmapOutcome {
    int code;
    std::string out, err;
};

inline SnrmapOutcome run_snrmap_here(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    const int code = snrmap::run_snrmap(args, out, err, false);
    return {code, out.str(), err.str()};
}

// The plane of an npy file that snrmap wrote; fails the test on any other header.
inline Plane read_npy_plane(const std::string& path)
{
    const std::vector<std::uint8_t> bytes = read_bytes(path);
    Plane plane{};
    const std::string expected_dict = "{'descr': '<f8', 'fortran_order': False, 'shape': (256, 256), }";
    if (bytes.size() < 10 + 8 * plane.size())
        throw std::runtime_error("short npy file " + path);
    const std::size_t header = bytes[8] | (bytes[9] << 8);
    const std::string dict(bytes.begin() + 10, bytes.begin() + 10 + static_cast<long>(header));
    if (std::memcmp(bytes.data(), "\x93NUMPY\x01\x00", 8) != 0 || dict.rfind(expected_dict, 0) != 0 ||
        bytes.size() != 10 + header + 8 * plane.size())
        throw std::runtime_error("unexpected npy layout in " + path);
    std::memcpy(plane.data(), bytes.data() + 10 + header, 8 * plane.size());
    return plane;
}

// Grey level of a pixel of a PNG that snrmap wrote.
inline int png_grey(const QImage& image, int row, int column) { return qGray(image.pixel(column, row)); }

// A folder of slices, one per value, every pixel of a slice holding its value.
inline std::string write_series(const TempFolder& tmp, const std::string& name,
                                std::initializer_list<std::int16_t> values)
{
    const std::string folder = tmp.folder(name);
    int k = 0;
    for (std::int16_t value : values)
        write_slice(folder + "/slice" + std::to_string(++k), value);
    return folder;
}

// A DICOM image holding these samples, its Pixel Data at the end.
inline std::string write_dicom(const TempFolder& tmp, const std::string& name, const StoredPixels& samples)
{
    write_dicom(tmp.file(name), samples);
    return tmp.file(name);
}

inline std::vector<std::string> folder_entries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace snr::test
