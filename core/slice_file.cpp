// SPDX-License-Identifier: BSD-3-Clause
#include "core/slice_file.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/errors.h"
#include "core/file_io.h"
#include "core/extended.h"
#include "core/path.h"

namespace snr {

namespace {

// Reads frames of a file; nothing when it was read by the kept layout. `frame_attributes`,
// when given, get the attributes of each frame of a parsed DICOM image.
std::optional<SliceSource> read_values(const std::string& path, int first_frame, std::span<SliceValues> values,
                                       const DicomLayout* checked, FrameRule rule,
                                       std::vector<DicomAttributes>* frame_attributes, int& frames_read)
{
    frames_read = 0;
    struct stat info {};
    auto file = open_regular_file(path, info);
    if (!file)
        throw IoError(io_code::short_slice);  // a FIFO or device holds no slice
    if (checked != nullptr) {
        if (auto refusal = read_known_image(file->get(), info.st_size, *checked, path, first_frame, values, frames_read)) {
            if (!refusal->empty())
                throw UnreadableImage(refusal_text(path, *refusal));
            return std::nullopt;
        }
    }
    const DicomRequest request{.first_frame = first_frame, .values = values,
                               .several_frames = rule == FrameRule::Several,
                               .frame_facts = frame_attributes != nullptr};
    auto image = read_dicom_image(file->get(), info.st_size, path, request);
    if (image && !image->tail_rule) {
        frames_read = image->frames_read;
        if (!image->refusal.empty())
            throw UnreadableImage(refusal_text(path, image->refusal));
        if (frame_attributes != nullptr)
            *frame_attributes = std::move(image->frames);
        return SliceSource{true, std::move(image->attributes)};
    }

    if (first_frame != 0 || values.size() != 1)
        throw UnreadableImage(refusal_text(path, missing_frame_refusal(first_frame + static_cast<long long>(values.size()), 1)));
    const long long records = static_cast<long long>(info.st_size) / 2;
    if (records < plane_pixels)
        throw IoError(io_code::short_slice);

    // Little-endian signed records, as this machine holds them.
    SliceValues& slice = values[0];
    static_assert(std::endian::native == std::endian::little && slice_bytes == sizeof slice.stored);
    if (const int failure = read_all_at(file->get(), slice.stored.data(), slice_bytes, 2 * (records - plane_pixels))) {
        if (failure < 0)
            throw IoError(io_code::read_past_end);
        raise_io_error(failure, path);
    }
    slice.rescaled = false;
    frames_read = 1;
    return SliceSource{false, {}, image.has_value()};
}

}  // namespace

SliceSource read_slice_values(const std::string& path, SliceValues& values, const DicomLayout* checked)
{
    int frames_read = 0;
    if (auto source = read_values(path, 0, std::span(&values, 1), checked, FrameRule::One, nullptr, frames_read))
        return *source;
    return {true, checked->attributes};
}

bool read_slice_frames(const std::string& path, int first_frame, std::span<SliceValues> values,
                       const DicomLayout* checked, std::span<SliceSource> sources, int& frames_read)
{
    std::vector<DicomAttributes> frames;
    const auto source = read_values(path, first_frame, values, checked, FrameRule::Several, &frames, frames_read);
    if (!source)
        return false;
    for (std::size_t k = 0; k < sources.size(); ++k)
        sources[k] = k < frames.size() ? SliceSource{true, std::move(frames[k])} : *source;
    return true;
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

SliceCheck check_slice(const std::string& path, FrameRule rule, bool headers_only)
{
    struct stat info {};
    auto file = open_regular_file(path, info);
    SliceCheck check;
    if (!file)
        return check;  // read_slice reports it
    const DicomRequest request{.several_frames = rule == FrameRule::Several,
                               .frame_facts = rule == FrameRule::Several,
                               .headers_only = headers_only,
                               .layout = headers_only ? nullptr : &check.layout};
    if (auto image = read_dicom_image(file->get(), info.st_size, path, request)) {
        if (image->tail_rule) {
            check.source.dicm_marker = true;
            return check;
        }
        check.source = {true, std::move(image->attributes)};
        check.refusal = image->refusal;
        if (check.refusal.empty())
            check.frames = std::move(image->frames);
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
