#include "core/file_io.h"

#include <cerrno>
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
        .access = [](const char* path, int mode) { return ::access(path, mode); },
        .mkdir = [](const char* path, mode_t mode) { return ::mkdir(path, mode); },
        .mkdtemp = [](char* pattern) { return ::mkdtemp(pattern); },
        .link = [](const char* from, const char* to) { return ::link(from, to); },
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
    throw IoError(io_code_for_errno(error_number, path));
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

}  // namespace snr
