// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/dicom_image.h"

// The scan of an archive in four steps, free of the terminal and the command line so that a
// server can call them: index_archive (files → images), group_images (images → acquisitions
// with their roles and R), plan_runs (acquisitions → runs) and run_plan (runs → output folders
// and records).
namespace snr::scan {

// A DICOM image the readers take, with the facts of each of its frames (from 0).
struct IndexedImage {
    std::string path;
    std::vector<DicomAttributes> frames;
    const DicomAttributes& first() const { return frames.front(); }
};

// A file that is not such an image, and why.
struct SkippedFile {
    std::string path;
    std::string reason;
};

struct ArchiveIndex {
    long long files_seen = 0;
    std::vector<IndexedImage> images;  // in the order of the walk
    std::vector<SkippedFile> skipped;  // likewise
};

// Called with the files read so far and the files found, from any thread.
using IndexProgress = std::function<void(long long done, long long total)>;

// Walks the roots (files, or folders followed into nested folders, each once; hidden entries
// left out; names mean nothing) and reads the headers of every file, never its pixels, on two
// threads. A file that cannot be read is skipped with the reason, and so is a second copy of
// an image (its SOP Instance UID found before). Raises IoError for a root that does not exist.
ArchiveIndex index_archive(const std::vector<std::string>& roots, const IndexProgress& progress = {});

}  // namespace snr::scan
