#pragma once

#include <optional>
#include <string>
#include <sys/stat.h>

namespace snr {

// An open file descriptor, closed when it goes.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor& operator=(FileDescriptor&&) = delete;
    ~FileDescriptor() { close(); }
    int get() const { return fd_; }
    int close();

private:
    int fd_;
};

// The I/O code shown for an operating-system error number.
int io_code_for_errno(int error_number, const std::string& path);

[[noreturn]] void raise_io_error(int error_number, const std::string& path);

// Opens an existing file for reading, shared with other readers and writers. A folder is
// "access denied"; a FIFO, socket or device is never opened (it could block or have side
// effects) and gives nothing. `info` receives the file's status.
std::optional<FileDescriptor> open_regular_file(const std::string& path, struct stat& info);

}  // namespace snr
