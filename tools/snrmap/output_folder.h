// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "core/file_io.h"

namespace snr::snrmap {

// Creates or replaces a file with these bytes, flushed to disk unless the caller flushes it
// later. Raises IoError.
void write_file(const std::string& path, std::string_view bytes, bool flush = true);
// The same with the bytes in parts, one after the other.
void write_file(const std::string& path, const std::vector<std::string_view>& parts, bool flush = true);

// An output folder that appears whole or not at all. Everything is written into a hidden
// staging folder first: inside DIR when DIR exists (so the moves stay on its file system and
// no write access to its parent is needed), otherwise in the nearest folder above DIR that
// exists. commit() makes the missing folders above DIR and renames the staging folder to DIR,
// or moves each entry into the existing DIR, replacing entries of the same names, and moves the
// files named to remove out of it; when a move fails, the entries already moved are put back.
// Without a commit the staging folder is removed and DIR stays as it was, unless an earlier
// entry could not be put back: then it is kept in the staging folder. Files it writes itself
// are flushed to disk all together at the commit, before anything moves.
class StagedOutput {
public:
    explicit StagedOutput(std::string destination);  // raises IoError
    ~StagedOutput();
    StagedOutput(const StagedOutput&) = delete;
    StagedOutput& operator=(const StagedOutput&) = delete;

    // Writes a file or makes a folder at the top of the output; returns its staging path.
    std::string write(const std::string& name, std::string_view bytes);
    std::string write(const std::string& name, const std::vector<std::string_view>& parts);
    std::string make_folder(const std::string& name);
    // Names files at the top of the output that the caller writes itself, on any thread,
    // with write_file and flushed; returns their staging paths.
    std::vector<std::string> name_flushed_files(const std::vector<std::string>& names);
    // Writes a file into a folder made with make_folder (`path` below the staging path).
    void write_inside(const std::string& path, const std::vector<std::string_view>& parts);
    // Files at the top of DIR that the commit removes, in the same swap, where they are there
    // and the output does not write them: an earlier run's files that this one replaces by
    // leaving them out. Folders of these names stay.
    void remove_at_commit(std::vector<std::string> names);

    void commit();  // raises IoError

    const std::string& staging() const { return staging_; }
    // The names written or made at the top of the output so far.
    const std::vector<std::string>& entries() const { return entries_; }

private:
    std::string staging_beside(const struct stat& output);
    void add_entry(const std::string& name);
    bool carry_earlier_entries();
    bool swap_with_destination();
    void merge_into_destination();

    std::string destination_;
    std::string staging_;
    std::optional<FileDescriptor> lock_;  // held while the run lives: the staging folder is not stale
    std::string beside_;                  // the existing output, resolved, when staged beside it
    mode_t output_mode_ = 0;
    std::pair<uid_t, gid_t> output_owner_;
    std::vector<std::string> entries_;
    std::vector<std::string> removed_;    // earlier files to go at the commit
    std::vector<std::string> unflushed_;  // files written, to flush at the commit
    std::vector<std::string> missing_;  // folders above a new DIR to make, outermost first
    bool committed_ = false;
    bool holds_earlier_entries_ = false;  // a failed commit could not put them all back
};

}  // namespace snr::snrmap
