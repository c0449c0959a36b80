// SPDX-License-Identifier: BSD-3-Clause
#include "core/slice_file.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/errors.h"
#include "core/file_io.h"
#include "core/extended.h"
#include "core/path.h"

namespace snr {

SliceSource read_slice_values(const std::string& path, SliceValues& values, const DicomLayout* checked)
{
    struct stat info {};
    auto file = open_regular_file(path, info);
    if (!file)
        throw IoError(io_code::short_slice);  // a FIFO or device holds no slice
    if (checked != nullptr) {
        if (auto refusal = read_known_image(file->get(), info.st_size, *checked, path, values)) {
            if (!refusal->empty())
                throw UnreadableImage(refusal_text(path, *refusal));
            return {true, checked->attributes};
        }
    }
    if (auto image = read_dicom_image(file->get(), info.st_size, path, &values)) {
        if (!image->refusal.empty())
            throw UnreadableImage(refusal_text(path, image->refusal));
        return {true, image->attributes};
    }

    const long long records = static_cast<long long>(info.st_size) / 2;
    if (records < plane_pixels)
        throw IoError(io_code::short_slice);

    // Little-endian signed records, as this machine holds them.
    static_assert(std::endian::native == std::endian::little && slice_bytes == sizeof values.stored);
    if (const int failure = read_all_at(file->get(), values.stored.data(), slice_bytes, 2 * (records - plane_pixels))) {
        if (failure < 0)
            throw IoError(io_code::read_past_end);
        raise_io_error(failure, path);
    }
    values.rescaled = false;
    return {};
}

void make_samples(const SliceValues& values, Samples& samples)
{
    if (!values.rescaled) {
        for (int p = 0; p < plane_pixels; ++p)
            samples[p] = values.stored[p];
        return;
    }
    // The range of the rescale was checked: no sample leaves the double range.
    for (int p = 0; p < plane_pixels; ++p)
        samples[p] = static_cast<double>(values.stored[p] * values.slope + values.intercept);
}

SliceSource read_slice(const std::string& path, Samples& samples, const DicomLayout* checked)
{
    SliceValues values;
    SliceSource source = read_slice_values(path, values, checked);
    make_samples(values, samples);
    return source;
}

SliceCheck check_slice(const std::string& path)
{
    struct stat info {};
    auto file = open_regular_file(path, info);
    SliceCheck check;
    if (!file)
        return check;  // read_slice reports it
    if (auto image = read_dicom_image(file->get(), info.st_size, path, nullptr, &check.layout)) {
        check.source = {true, image->attributes};
        check.refusal = image->refusal;
    }
    return check;
}

std::string refusal_text(const std::string& path, const std::string& refusal)
{
    return file_name_part(path) + refusal;
}

std::vector<std::string> visible_names(const std::string& folder, EntryKind kind)
{
    std::vector<std::string> names;
    DIR* dir = sys().opendir(folder.c_str());
    if (dir == nullptr)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.')
            continue;  // hidden entries, "." and ".." among them
        bool folder_entry = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN)
            folder_entry = is_directory(folder + "/" + name);
        if (folder_entry == (kind == EntryKind::Folders))
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> list_slices(const std::string& folder)
{
    std::vector<std::string> paths;
    for (const auto& name : visible_names(folder, EntryKind::Files))
        paths.push_back(folder + "/" + name);
    return paths;
}

std::int16_t export_value(double x)
{
    return ext::low_16_bits_of_whole(std::floor(static_cast<ext::real>(x)));
}

void export_raw(const std::string& path, const Plane& plane)
{
    unsigned char bytes[slice_bytes];
    for (int i = 0; i < plane_pixels; ++i) {
        const auto value = static_cast<std::uint16_t>(export_value(plane[i]));
        bytes[2 * i] = static_cast<unsigned char>(value & 0xFF);
        bytes[2 * i + 1] = static_cast<unsigned char>(value >> 8);
    }
    write_file_atomically(path, std::string_view(reinterpret_cast<const char*>(bytes), sizeof bytes));
}

}  // namespace snr
