// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/dicom_image.h"
#include "core/errors.h"
#include "core/plane.h"

namespace snr {

// How a slice file was read: by the tail rule, or as a DICOM image.
struct SliceSource {
    bool dicom = false;
    DicomAttributes attributes;  // of a DICOM image (of the frame read)
    // Read by the tail rule although it carries the DICM marker: DCMTK found no data set in it.
    bool dicm_marker = false;
};

// A DICOM image that holds no slice the programs can read; the text names the file and why.
class UnreadableImage : public Error {
public:
    using Error::Error;
};

// Reads the slice of a file. A file whose layout a check kept (`checked`) is read without a
// parse while it is as the check found it. A DICOM image (preamble, "DICM" and a data set
// holding Pixel Data) of one frame is read from its Pixel Data (decoded where compressed) and
// rescaled, or refused with UnreadableImage. Any other file is raw: its last 65,536 whole
// two-byte records, little-endian signed. Raises IoError: 131 for a raw file shorter than
// 131,072 bytes, 100 for a short read, the operating system's failure otherwise. Never blocks
// on a FIFO or device.
SliceSource read_slice(const std::string& path, Samples& samples, const DicomLayout* checked = nullptr);

// The same, as the slice's stored values and their rescale.
SliceSource read_slice_values(const std::string& path, SliceValues& values, const DicomLayout* checked = nullptr);

// The same for a file of any number of frames, each a slice (a raw file has one): frames
// `first_frame` on, one into each of `values`. `sources` (as many) get how each frame was
// read when the file was parsed; the function returns false and leaves them when it was read
// by the kept layout. Before a failure, `frames_read` counts the frames read whole.
bool read_slice_frames(const std::string& path, int first_frame, std::span<SliceValues> values,
                       const DicomLayout* checked, std::span<SliceSource> sources, int& frames_read);

// The samples of the values: each stored value, rescaled where the slice says so.
void make_samples(const SliceValues& values, Samples& samples);

// Whether a file may hold several slices, as frames of one DICOM image.
enum class FrameRule { One, Several };

struct SliceCheck {
    SliceSource source;
    std::string refusal;  // why the read would refuse the file, after its name; empty if not
    DicomLayout layout;   // of an accepted DICOM image
    std::vector<DicomAttributes> frames;  // of each frame of a DICOM image, under FrameRule::Several
};

// What read_slice (FrameRule::One) or read_slice_frames (Several) would make of a file,
// reading no more of it than a refusal needs: a raw file is not read beyond its first bytes,
// a DICOM image's pixels only where their values or their compression may refuse it. Raises
// IoError as read_slice does. With `headers_only`, no pixel is read and no layout kept: what the
// headers alone refuse.
SliceCheck check_slice(const std::string& path, FrameRule rule = FrameRule::One, bool headers_only = false);

// The message for a refused file: its name (without the folder), then the reason.
std::string refusal_text(const std::string& path, const std::string& refusal);

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
