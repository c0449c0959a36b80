#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/plane.h"

namespace snr {

inline constexpr long long slice_bytes = 2LL * plane_pixels;  // 131,072

// Reads the slice of a file: the last 65,536 whole two-byte records, little-endian.
// Raises IoError: 131 for a file shorter than 131,072 bytes, 100 for a short read, the
// operating system's failure otherwise. Never blocks on a FIFO or device.
void read_slice(const std::string& path, Samples& samples);

enum class EntryKind { Files, Folders };

// Names of a folder's entries of one kind, sorted bytewise, dot-entries (hidden) left out.
// A symbolic link counts as what it points to; a folder that cannot be read yields nothing.
std::vector<std::string> visible_names(const std::string& folder, EntryKind kind);

// The slice entries of a folder as folder + "/" + name, ordered by name (bytewise).
// Dot-files (hidden) and directories, also through symbolic links, are left out; a folder
// that cannot be read yields nothing.
std::vector<std::string> list_slices(const std::string& folder);

// The exported value of a plane pixel: the low 16 bits of floor(x). Beyond the 64-bit
// integer range there is no such value and the invalid-operation error is raised.
std::int16_t export_value(double x);

// Writes the plane as 131,072 raw bytes. The file is written beside the target and renamed
// over it, so a failure leaves any earlier file of that name as it was.
void export_raw(const std::string& path, const Plane& plane);

}  // namespace snr
