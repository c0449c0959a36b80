#include "core/file_io.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "core/errors.h"

namespace snr {

namespace {

std::string parent_of(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Windows codes that the programs' messages know; unmapped failures get "I/O device error".
constexpr int io_device_error = 1117;
constexpr int filename_too_long = 206;
constexpr int cannot_resolve_name = 1921;
constexpr int network_error = 59;

bool is_directory(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

int io_code_for_errno(int error_number, const std::string& path)
{
    switch (error_number) {
    case ENOENT:
        return is_directory(parent_of(path)) ? io_code::file_not_found : io_code::path_not_found;
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
        result = ::close(fd_);
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
    if (::stat(path.c_str(), &info) != 0)
        raise_io_error(errno, path);
    if (!regular(info))
        return std::nullopt;
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0)
        raise_io_error(errno, path);
    if (::fstat(file.get(), &info) != 0)
        raise_io_error(errno, path);
    if (!regular(info))
        return std::nullopt;
    return file;
}

}  // namespace snr
