#include "submap/marker_scan.h"

#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "core/errors.h"
#include "core/slice_file.h"

namespace snr {

namespace {

[[noreturn]] void raise_errno(int error_number, const std::string& path)
{
    throw IoError(io_code_for_errno(error_number, path));
}

class OpenFile {
public:
    explicit OpenFile(int fd) : fd_(fd) {}
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// Whether a file of this kind may be scanned; a directory is an access failure.
bool scannable(const struct stat& info)
{
    if (S_ISDIR(info.st_mode))
        throw IoError(io_code::access_denied);
    return S_ISREG(info.st_mode);
}

}  // namespace

bool has_dicm_marker(const std::string& path)
{
    // Look before opening: a FIFO or device must neither block nor be disturbed.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        raise_errno(errno, path);
    if (!scannable(info))
        return false;

    OpenFile file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0)
        raise_errno(errno, path);
    if (::fstat(file.get(), &info) != 0)
        raise_errno(errno, path);
    if (!scannable(info))
        return false;

    constexpr std::string_view marker = "DICM";
    std::size_t collected = 0;  // letters so far, all matching the marker
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            raise_errno(errno, path);
        }
        if (got == 0)
            return collected == marker.size();
        for (ssize_t k = 0; k < got; ++k) {
            const char byte = buffer[k];
            if (byte == 0)
                continue;
            if (byte != 'D' && byte != 'I' && byte != 'C' && byte != 'M')
                return collected == marker.size();
            // A letter out of place or a fifth letter cannot be undone by what follows.
            if (collected == marker.size() || byte != marker[collected])
                return false;
            ++collected;
        }
    }
}

std::string file_name_part(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace snr
