// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/scan_index.h"

#include <atomic>
#include <cerrno>
#include <map>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <utility>

#include "core/dicom_text.h"
#include "core/errors.h"
#include "core/file_io.h"
#include "core/slice_file.h"
#include "core/together.h"

namespace snr::scan {

namespace {

// The files under a root, folders in name order and each folder once (links may lead back).
void walk(const std::string& folder, std::set<std::pair<dev_t, ino_t>>& visited, std::vector<std::string>& files)
{
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !visited.emplace(info.st_dev, info.st_ino).second)
        return;
    for (std::string& path : list_slices(folder))
        files.push_back(std::move(path));
    for (const std::string& name : visible_names(folder, EntryKind::Folders))
        walk(folder + "/" + name, visited, files);
}

// What the index makes of one file: an image, or the reason it is skipped.
struct Entry {
    std::optional<IndexedImage> image;
    std::string reason;
};

Entry index_file(const std::string& path)
{
    Entry entry;
    try {
        SliceCheck check = check_slice(path, FrameRule::Several, true);
        if (!check.source.dicom)
            entry.reason = check.source.dicm_marker ? "DICM marker without a data set" : "not a DICOM image";
        else if (!check.refusal.empty())
            entry.reason = refusal_text(path, check.refusal);
        else if (check.frames.empty())
            entry.image = IndexedImage{path, {std::move(check.source.attributes)}};
        else
            entry.image = IndexedImage{path, std::move(check.frames)};
    } catch (const Error& error) {
        // One unreadable file is a file skipped, not a scan stopped.
        entry.reason = error.what();
    }
    return entry;
}

}  // namespace

ArchiveIndex index_archive(const std::vector<std::string>& roots, const IndexProgress& progress)
{
    prepare_dicom_reading();
    std::vector<std::string> paths;
    std::set<std::pair<dev_t, ino_t>> visited;
    for (const std::string& root : roots) {
        struct stat info {};
        if (::stat(root.c_str(), &info) != 0)
            raise_io_error(errno, root);
        if (S_ISDIR(info.st_mode))
            walk(root, visited, paths);
        else
            paths.push_back(root);
    }

    std::vector<Entry> entries(paths.size());
    std::atomic<long long> done{0};
    std::atomic<bool> stopped{false};
    side_by_side(paths.size(), 2, [&](std::size_t k) {
        if (stopped)
            return;
        try {
            entries[k] = index_file(paths[k]);
            if (progress)
                progress(++done, static_cast<long long>(paths.size()));
        } catch (...) {
            stopped = true;  // an interrupt: no more files are read
            throw;
        }
    });

    // An image exported twice would count twice in its group: the first copy found is taken.
    ArchiveIndex index;
    index.files_seen = static_cast<long long>(paths.size());
    std::map<std::string, std::size_t> first_of_instance;
    for (std::size_t k = 0; k < paths.size(); ++k) {
        if (entries[k].image) {
            const std::string uid = trimmed(entries[k].image->first().sop_instance_uid);
            const auto [first, added] = first_of_instance.emplace(uid, k);
            if (uid.empty() || added)
                index.images.push_back(std::move(*entries[k].image));
            else
                index.skipped.push_back({paths[k], "the same SOP Instance UID as " + paths[first->second]});
        } else {
            index.skipped.push_back({paths[k], std::move(entries[k].reason)});
        }
    }
    return index;
}

}  // namespace snr::scan
