// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/output_folder.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "core/errors.h"
#include "core/file_io.h"
#include "core/gcc_bugs.h"
#include "core/path.h"
#include "core/together.h"
#include "tools/snrmap/interrupt.h"

namespace snr::snrmap {

namespace {

std::string without_trailing_slashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

bool is_folder(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void remove_tree(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

void sync_folder(const std::string& path)
{
    const int fd = sys().open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd >= 0) {
        sys().fsync(fd);
        sys().close(fd);
    }
}

mode_t folder_mode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0777 & ~mask;
}

}  // namespace

void write_file(const std::string& path, std::string_view bytes, bool flush)
{
    write_file(path, std::vector<std::string_view>{bytes}, flush);
}

void write_file(const std::string& path, const std::vector<std::string_view>& parts, bool flush)
{
    check_interrupt();
    FileDescriptor file(sys().open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (file.get() < 0)
        raise_io_error(errno, path);
    for (const std::string_view bytes : parts) {
        if (const int code = write_all(file.get(), bytes, path))
            throw IoError(code);
    }
    // A file flushed later starts on its way to the disk now, beside the next ones, so the
    // flushes find little left to do. Only a hint: a failure shows at the flush.
    if (!flush)
        ::sync_file_range(file.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
    if ((flush && sys().fsync(file.get()) != 0) || file.close() != 0)
        raise_io_error(errno, path);
}

void flush_file(const std::string& path)
{
    FileDescriptor file(sys().open(path.c_str(), O_RDONLY | O_CLOEXEC, 0));
    if (file.get() < 0 || sys().fsync(file.get()) != 0 || file.close() != 0)
        raise_io_error(errno, path);
}

SNR_GCC_BUG_105651_BEGIN
StagedOutput::StagedOutput(std::string destination) : destination_(without_trailing_slashes(std::move(destination)))
{
    struct stat info {};
    std::string pattern;
    if (sys().stat(destination_.c_str(), &info) == 0) {
        if (!S_ISDIR(info.st_mode))
            raise_io_error(ENOTDIR, destination_);
        pattern = destination_ + "/.snrmap-XXXXXX";
    } else {
        if (errno != ENOENT)
            raise_io_error(errno, destination_);
        // Staged in the nearest folder that exists; the missing ones are made at the commit.
        std::string ancestor = destination_;
        do {
            missing_.insert(missing_.begin(), ancestor);
            ancestor = folder_part(ancestor);
        } while (!ancestor.empty() && sys().stat(ancestor.c_str(), &info) != 0 && errno == ENOENT);
        missing_.pop_back();  // the destination itself arrives by renaming the staging folder
        if (!ancestor.empty() && sys().stat(ancestor.c_str(), &info) != 0)
            raise_io_error(errno, ancestor);
        if (!ancestor.empty() && !S_ISDIR(info.st_mode))
            raise_io_error(ENOTDIR, ancestor);
        std::string name = "." + file_name_part(destination_) + ".snrmap-XXXXXX";
        if (name.size() > NAME_MAX)
            name = ".snrmap-XXXXXX";  // a name near the limit leaves no room for the rest
        pattern = join_path(ancestor, name);
    }
    if (sys().mkdtemp(pattern.data()) == nullptr)
        raise_io_error(errno, pattern);
    staging_ = pattern;
}
SNR_GCC_BUG_105651_END

StagedOutput::~StagedOutput()
{
    if (!committed_ && !holds_earlier_entries_)
        remove_tree(staging_);
}

void StagedOutput::add_entry(const std::string& name)
{
    for (const auto& entry : entries_) {
        if (entry == name)
            return;
    }
    entries_.push_back(name);
}

std::string StagedOutput::write(const std::string& name, std::string_view bytes)
{
    return write(name, std::vector<std::string_view>{bytes});
}

std::string StagedOutput::write(const std::string& name, const std::vector<std::string_view>& parts)
{
    add_entry(name);
    const std::string path = staging_ + "/" + name;
    write_inside(path, parts);
    return path;
}

std::vector<std::string> StagedOutput::name_flushed_files(const std::vector<std::string>& names)
{
    std::vector<std::string> paths;
    for (const auto& name : names) {
        add_entry(name);
        paths.push_back(staging_ + "/" + name);
    }
    return paths;
}

void StagedOutput::write_inside(const std::string& path, const std::vector<std::string_view>& parts)
{
    write_file(path, parts, false);
    unflushed_.push_back(path);
}

void StagedOutput::remove_at_commit(std::vector<std::string> names) { removed_ = std::move(names); }

std::string StagedOutput::make_folder(const std::string& name)
{
    add_entry(name);
    const std::string path = staging_ + "/" + name;
    if (sys().mkdir(path.c_str(), 0777) != 0)
        raise_io_error(errno, path);
    return path;
}

void StagedOutput::commit()
{
    if (committed_)
        return;
    // Flushes one after another each wait for the disk; side by side the disk takes them together.
    side_by_side(unflushed_.size(), 16, [&](std::size_t k) { flush_file(unflushed_[k]); });
    unflushed_.clear();
    struct stat info {};
    if (sys().stat(destination_.c_str(), &info) != 0 && errno == ENOENT) {
        // mkdtemp made the staging folder private; the output gets a folder's usual rights.
        ::chmod(staging_.c_str(), folder_mode());
        std::vector<std::string> made;
        auto unmake = [&] {
            for (auto it = made.rbegin(); it != made.rend(); ++it)
                ::rmdir(it->c_str());
        };
        for (const auto& folder : missing_) {
            if (sys().mkdir(folder.c_str(), 0777) == 0) {
                made.push_back(folder);
            } else if (errno != EEXIST) {
                const int error = errno;
                unmake();
                raise_io_error(error, folder);
            }
        }
        if (sys().rename(staging_.c_str(), destination_.c_str()) == 0) {
            committed_ = true;
            const std::string parent = folder_part(destination_);
            sync_folder(parent.empty() ? "." : parent);
            return;
        }
        if (errno != EEXIST && errno != ENOTEMPTY) {
            const int error = errno;
            unmake();
            raise_io_error(error, destination_);
        }
    }
    merge_into_destination();
    committed_ = true;
    remove_tree(staging_);
}

void StagedOutput::merge_into_destination()
{
    const std::string previous = staging_ + "/.previous";
    if (sys().mkdir(previous.c_str(), 0700) != 0)
        raise_io_error(errno, previous);

    // A file cannot replace a folder nor a folder a file: look before anything moves.
    for (const auto& name : entries_) {
        const std::string target = destination_ + "/" + name;
        struct stat info {};
        if (::lstat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode) != is_folder(staging_ + "/" + name))
            raise_io_error(S_ISDIR(info.st_mode) ? EISDIR : ENOTDIR, target);
    }

    struct Moved {
        std::string name;
        bool kept_previous;
    };
    std::vector<Moved> moved;
    auto put_back = [&] {
        for (auto it = moved.rbegin(); it != moved.rend(); ++it) {
            const std::string target = destination_ + "/" + it->name;
            const std::string earlier = previous + "/" + it->name;
            if (!it->kept_previous || is_folder(earlier))
                remove_tree(target);
            // An earlier entry that cannot go back stays in the staging folder rather than be lost.
            if (it->kept_previous && sys().rename(earlier.c_str(), target.c_str()) != 0)
                holds_earlier_entries_ = true;
        }
    };
    try {
        for (const auto& name : entries_) {
            const std::string target = destination_ + "/" + name;
            const std::string earlier = previous + "/" + name;
            struct stat info {};
            bool kept = false;
            if (::lstat(target.c_str(), &info) == 0) {
                // An earlier file stays in place under a second name, so its replacement is one
                // atomic rename; an earlier folder has to move aside first.
                const bool linked = !S_ISDIR(info.st_mode) && sys().link(target.c_str(), earlier.c_str()) == 0;
                if (!linked && sys().rename(target.c_str(), earlier.c_str()) != 0)
                    raise_io_error(errno, target);
                kept = true;
            }
            moved.push_back({name, kept});
            if (sys().rename((staging_ + "/" + name).c_str(), target.c_str()) != 0)
                raise_io_error(errno, target);
        }
        // Earlier files that this output leaves out go aside with the replaced ones.
        for (const auto& name : removed_) {
            const std::string target = destination_ + "/" + name;
            struct stat info {};
            if (std::find(entries_.begin(), entries_.end(), name) != entries_.end() ||
                ::lstat(target.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
                continue;
            if (sys().rename(target.c_str(), (previous + "/" + name).c_str()) != 0)
                raise_io_error(errno, target);
            moved.push_back({name, true});
        }
    } catch (...) {
        put_back();
        throw;
    }
    sync_folder(destination_);
}

}  // namespace snr::snrmap
