// SPDX-License-Identifier: BSD-3-Clause
#include "core/file_io.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "core/errors.h"
#include "core/path.h"

namespace snr {

const SystemCalls& real_system_calls()
{
    static const SystemCalls calls{
        .stat = [](const char* path, struct stat* info) { return ::stat(path, info); },
        .fstat = [](int fd, struct stat* info) { return ::fstat(fd, info); },
        .open = [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
        .read = [](int fd, void* buffer, size_t size) { return ::read(fd, buffer, size); },
        .pread = [](int fd, void* buffer, size_t size, off_t offset) { return ::pread(fd, buffer, size, offset); },
        .write = [](int fd, const void* buffer, size_t size) { return ::write(fd, buffer, size); },
        .fsync = [](int fd) { return ::fsync(fd); },
        .close = [](int fd) { return ::close(fd); },
        .rename = [](const char* from, const char* to) { return ::rename(from, to); },
        .exchange = [](const char* a, const char* b) { return ::renameat2(AT_FDCWD, a, AT_FDCWD, b, RENAME_EXCHANGE); },
        .access = [](const char* path, int mode) { return ::access(path, mode); },
        .mkdir = [](const char* path, mode_t mode) { return ::mkdir(path, mode); },
        .mkdtemp = [](char* pattern) { return ::mkdtemp(pattern); },
        .link = [](const char* from, const char* to) { return ::link(from, to); },
        .opendir = [](const char* path) { return ::opendir(path); },
    };
    return calls;
}

namespace {

SystemCalls& calls_in_force()
{
    static SystemCalls calls = real_system_calls();
    return calls;
}

}  // namespace

const SystemCalls& sys() { return calls_in_force(); }

SystemCalls replace_system_calls(const SystemCalls& calls)
{
    const SystemCalls previous = calls_in_force();
    calls_in_force() = calls;
    return previous;
}

namespace {

// Windows codes that the programs' messages know; unmapped failures get "I/O device error".
constexpr int io_device_error = 1117;
constexpr int filename_too_long = 206;
constexpr int cannot_resolve_name = 1921;
constexpr int network_error = 59;

}  // namespace

bool is_directory(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<bool> same_on_disk(const std::string& a, const std::string& b)
{
    struct stat first {}, second {};
    if (::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0)
        return std::nullopt;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// A missing file in an existing folder is "not found"; below a missing folder, a wrong path.
static bool holding_folder_exists(const std::string& path)
{
    const std::string folder = folder_part(path);
    return is_directory(folder.empty() ? "." : folder);
}

int io_code_for_errno(int error_number, const std::string& path)
{
    switch (error_number) {
    case ENOENT:
        return holding_folder_exists(path) ? io_code::file_not_found : io_code::path_not_found;
    case ENOTDIR: return io_code::path_not_found;
    case EMFILE:
    case ENFILE: return io_code::too_many_open_files;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY: return io_code::access_denied;
    case ENOSPC:
    case EDQUOT: return io_code::disk_full;
    case ENAMETOOLONG: return filename_too_long;
    case ELOOP: return cannot_resolve_name;
    case ENETDOWN:
    case ENETUNREACH:
    case ENETRESET:
    case ECONNABORTED:
    case ECONNRESET:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ESTALE: return network_error;
    default: return io_device_error;
    }
}

int FileDescriptor::close()
{
    int result = 0;
    if (fd_ >= 0)
        result = sys().close(fd_);
    fd_ = -1;
    return result;
}

void raise_io_error(int error_number, const std::string& path)
{
    IoError error(io_code_for_errno(error_number, path));
    error.set_subject(path);
    throw error;
}

static bool regular(const struct stat& info)
{
    if (S_ISDIR(info.st_mode))
        throw IoError(io_code::access_denied);
    return S_ISREG(info.st_mode);
}

std::optional<FileDescriptor> open_regular_file(const std::string& path, struct stat& info)
{
    // Look before opening, then make sure the file opened is still the regular file looked at.
    if (sys().stat(path.c_str(), &info) != 0)
        raise_io_error(errno, path);
    if (!regular(info))
        return std::nullopt;
    FileDescriptor file(sys().open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0));
    if (file.get() < 0)
        raise_io_error(errno, path);
    if (sys().fstat(file.get(), &info) != 0)
        raise_io_error(errno, path);
    if (!regular(info))
        return std::nullopt;
    return file;
}

int read_all_at(int fd, void* buffer, long long length, long long offset)
{
    auto* out = static_cast<unsigned char*>(buffer);
    long long done = 0;
    while (done < length) {
        const ssize_t got =
            sys().pread(fd, out + done, static_cast<std::size_t>(length - done), static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return errno;
        }
        if (got == 0)
            return -1;
        done += got;
    }
    return 0;
}

int write_all(int fd, std::string_view bytes, const std::string& path)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = sys().write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return io_code_for_errno(errno, path);
        }
        if (put == 0)
            return io_code::disk_full;
        done += static_cast<std::size_t>(put);
    }
    return 0;
}

PendingFile::PendingFile(const std::string& path, std::string_view bytes) : path_(path)
{
    // Write through a symbolic link to the file it names, as opening the name would.
    target_ = path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        target_ = resolved;
        std::free(resolved);
    }
    struct stat existing {};
    const bool exists = sys().stat(target_.c_str(), &existing) == 0;
    if (exists && (S_ISDIR(existing.st_mode) || sys().access(target_.c_str(), W_OK) != 0))
        throw IoError(io_code::access_denied);

    const std::string base = file_name_part(target_);
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        const std::string suffix = ".part" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        std::string hidden = "." + base + suffix;
        if (hidden.size() > NAME_MAX)
            hidden = ".export" + suffix;  // a name near the limit leaves no room for the suffix
        temporary_ = join_path(folder_part(target_), hidden);
        fd = sys().open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt > 100))
            raise_io_error(errno, path);
    }
    FileDescriptor file(fd);
    auto fail = [&](int code) {
        file.close();
        ::unlink(temporary_.c_str());
        throw IoError(code);
    };

    if (const int code = write_all(file.get(), bytes, path))
        fail(code);
    if (exists)
        ::fchmod(file.get(), existing.st_mode & 07777);
    if (sys().fsync(file.get()) != 0 || file.close() != 0)
        fail(io_code_for_errno(errno, path));
}

PendingFile::~PendingFile()
{
    if (!committed_)
        ::unlink(temporary_.c_str());
}

void PendingFile::commit()
{
    if (sys().rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int code = io_code_for_errno(errno, path_);
        ::unlink(temporary_.c_str());
        committed_ = true;  // nothing left to remove
        throw IoError(code);
    }
    committed_ = true;
}

void write_file_atomically(const std::string& path, std::string_view bytes) { PendingFile(path, bytes).commit(); }

void flush_to_disk(const std::string& path)
{
    FileDescriptor file(sys().open(path.c_str(), O_RDONLY | O_CLOEXEC, 0));
    if (file.get() < 0 || sys().fsync(file.get()) != 0 || file.close() != 0)
        raise_io_error(errno, path);
}

}  // namespace snr
