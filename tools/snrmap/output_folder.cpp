// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/output_folder.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
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

// A staging folder: ".NAME.snrmap-XXXXXX" beside the output NAME, or ".snrmap-XXXXXX" inside
// the folder it is for (mkdtemp's six letters and digits).
constexpr std::string_view staging_mark = ".snrmap-";
constexpr std::size_t staging_suffix = 8 + 6;

std::string staging_pattern(const std::string& folder, const std::string& name)
{
    return join_path(folder, (name.empty() ? "" : "." + name) + std::string(staging_mark) + "XXXXXX");
}

bool staging_name(const std::string& name)
{
    if (name.size() < staging_suffix || name.size() == staging_suffix + 1 || name[0] != '.')
        return false;
    const std::size_t mark = name.size() - staging_suffix;
    if (name.compare(mark, staging_mark.size(), staging_mark) != 0)
        return false;
    return std::all_of(name.begin() + static_cast<long>(mark + staging_mark.size()), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// A staging folder belongs to a live run as long as that run holds this lock on it.
FileDescriptor lock_folder(const std::string& path, bool wait)
{
    FileDescriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder.get() >= 0 && ::flock(folder.get(), LOCK_EX | (wait ? 0 : LOCK_NB)) != 0)
        folder.close();
    return folder;
}

// Removes the staging folders in `folder` that no live run holds, left by runs that were
// killed. Earlier entries that one kept aside (.previous) go back where nothing took their
// place: into the output it was for, named by the staging folder or the folder it lies in.
void remove_stale_staging(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* listing = ::opendir(folder.empty() ? "." : folder.c_str())) {
        while (const dirent* entry = ::readdir(listing)) {
            if (staging_name(entry->d_name))
                names.emplace_back(entry->d_name);
        }
        ::closedir(listing);
    }
    for (const auto& name : names) {
        const std::string path = join_path(folder, name);
        const FileDescriptor lock = lock_folder(path, false);
        if (lock.get() < 0)
            continue;
        const std::size_t mark = name.size() - staging_suffix;
        const std::string output = mark == 0 ? folder : join_path(folder, name.substr(1, mark - 1));
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(path + "/.previous", ignored)) {
            const std::string target = join_path(output, entry.path().filename().string());
            struct stat info {};
            if (is_folder(output) && ::lstat(target.c_str(), &info) != 0 && errno == ENOENT)
                ::rename(entry.path().c_str(), target.c_str());
        }
        remove_tree(path);
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

SNR_GCC_BUG_105651_BEGIN
StagedOutput::StagedOutput(std::string destination) : destination_(without_trailing_slashes(std::move(destination)))
{
    struct stat info {};
    std::string pattern;
    if (sys().stat(destination_.c_str(), &info) == 0) {
        if (!S_ISDIR(info.st_mode))
            raise_io_error(ENOTDIR, destination_);
        pattern = staging_beside(info);
        if (pattern.empty())
            pattern = staging_pattern(destination_, "");
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
        const std::string name = file_name_part(destination_);
        pattern = staging_pattern(ancestor, name.size() + staging_suffix + 1 > NAME_MAX ? "" : name);
    }
    // A run that removes stale staging folders may take this one between its making and its
    // lock: then it is made again.
    for (int attempt = 0; !lock_.has_value(); ++attempt) {
        std::string made = pattern;
        if (sys().mkdtemp(made.data()) == nullptr)
            raise_io_error(errno, made);
        FileDescriptor lock = lock_folder(made, true);
        struct stat locked {};
        if (lock.get() >= 0 && ::fstat(lock.get(), &locked) == 0 && locked.st_nlink > 0) {
            lock_.emplace(std::move(lock));
            staging_ = made;
        } else if (attempt == 3) {
            raise_io_error(EAGAIN, made);
        }
    }
    remove_stale_staging(folder_part(staging_));
    if (!beside_.empty())
        remove_stale_staging(destination_);  // left inside by earlier versions
}
SNR_GCC_BUG_105651_END

// An existing output is replaced whole, by swapping in a staging folder made beside it: on
// the same file system, in a parent this run may write and with room for the longer name.
// Otherwise (nothing returned) it is staged inside and its entries are moved one by one.
std::string StagedOutput::staging_beside(const struct stat& output)
{
    char* resolved = ::realpath(destination_.c_str(), nullptr);
    if (resolved == nullptr)
        return {};
    const std::string target = resolved;
    std::free(resolved);
    const std::string parent = folder_part(target);
    const std::string name = file_name_part(target);
    struct stat info {};
    if (target == "/" || name.size() + staging_suffix + 1 > NAME_MAX || sys().access(parent.c_str(), W_OK) != 0 ||
        sys().stat(parent.c_str(), &info) != 0 || info.st_dev != output.st_dev)
        return {};
    beside_ = target;
    output_mode_ = output.st_mode & 07777;
    output_owner_ = {output.st_uid, output.st_gid};
    return staging_pattern(parent, name);
}

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
    side_by_side(unflushed_.size(), 16, [&](std::size_t k) { flush_to_disk(unflushed_[k]); });
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
    // A file cannot replace a folder nor a folder a file: look before anything moves.
    for (const auto& name : entries_) {
        const std::string target = destination_ + "/" + name;
        if (::lstat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode) != is_folder(staging_ + "/" + name))
            raise_io_error(S_ISDIR(info.st_mode) ? EISDIR : ENOTDIR, target);
    }
    if (!beside_.empty() && carry_earlier_entries() && swap_with_destination())
        return;
    merge_into_destination();
    committed_ = true;
    remove_tree(staging_);
}

// Links the entries of the output that this run neither writes nor removes into the staging
// folder, folders as folders of links. False where the file system makes no links.
bool StagedOutput::carry_earlier_entries()
{
    std::vector<std::pair<std::string, std::string>> pending;  // from the output, into the staging folder
    const auto kept = [&](const std::string& name) {
        if (staging_name(name) || std::find(entries_.begin(), entries_.end(), name) != entries_.end())
            return false;
        return std::find(removed_.begin(), removed_.end(), name) == removed_.end() ||
               is_folder(join_path(beside_, name));
    };
    const auto list = [&](const std::string& from, const std::string& into, bool top) {
        DIR* listing = sys().opendir(from.c_str());
        if (listing == nullptr)
            raise_io_error(errno, from);
        while (const dirent* entry = ::readdir(listing)) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." && (!top || kept(name)))
                pending.emplace_back(join_path(from, name), join_path(into, name));
        }
        ::closedir(listing);
    };
    list(beside_, staging_, true);
    while (!pending.empty()) {
        const auto [from, into] = pending.back();
        pending.pop_back();
        struct stat info {};
        if (::lstat(from.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            if (sys().mkdir(into.c_str(), 0700) != 0)
                raise_io_error(errno, into);
            ::chmod(into.c_str(), info.st_mode & 07777);
            list(from, into, false);
        } else if (sys().link(from.c_str(), into.c_str()) != 0) {
            if (errno == EPERM || errno == EACCES || errno == EMLINK || errno == EXDEV || errno == EOPNOTSUPP)
                return false;
            raise_io_error(errno, from);
        }
    }
    return true;
}

// Swaps the staging folder and the output in one step: at every instant the output is wholly
// the earlier one or wholly this one. False where the file system cannot swap.
bool StagedOutput::swap_with_destination()
{
    ::chmod(staging_.c_str(), output_mode_);
    if (output_owner_.first != ::geteuid() || output_owner_.second != ::getegid()) {
        // Kept where this user may give it (root); otherwise the output becomes this user's.
        [[maybe_unused]] const int ignored = ::chown(staging_.c_str(), output_owner_.first, output_owner_.second);
    }
    sync_folder(staging_);
    if (sys().exchange(staging_.c_str(), beside_.c_str()) != 0) {
        if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
            return false;
        raise_io_error(errno, destination_);
    }
    committed_ = true;
    sync_folder(folder_part(beside_));
    remove_tree(staging_);  // now the earlier output
    return true;
}

void StagedOutput::merge_into_destination()
{
    const std::string previous = staging_ + "/.previous";
    if (sys().mkdir(previous.c_str(), 0700) != 0)
        raise_io_error(errno, previous);

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
