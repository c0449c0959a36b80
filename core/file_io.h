// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <dirent.h>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

namespace snr {

// The system calls of the slice reader and listing, the marker scan, the export and snrmap's
// output. The programs use the real ones; a test puts others in place to produce failures the
// machine will not produce on demand (no access while running as root, a full disk, a failing
// network share) or to change a folder while a run lists it.
struct SystemCalls {
    int (*stat)(const char* path, struct stat* info);
    int (*fstat)(int fd, struct stat* info);
    int (*open)(const char* path, int flags, mode_t mode);
    ssize_t (*read)(int fd, void* buffer, size_t size);
    ssize_t (*pread)(int fd, void* buffer, size_t size, off_t offset);
    ssize_t (*write)(int fd, const void* buffer, size_t size);
    int (*fsync)(int fd);
    int (*close)(int fd);
    int (*rename)(const char* from, const char* to);
    int (*exchange)(const char* a, const char* b);  // renameat2 with RENAME_EXCHANGE
    int (*access)(const char* path, int mode);
    int (*mkdir)(const char* path, mode_t mode);
    char* (*mkdtemp)(char* pattern);
    int (*link)(const char* from, const char* to);
    DIR* (*opendir)(const char* path);
};

const SystemCalls& real_system_calls();
// The calls in force.
const SystemCalls& sys();
// For tests: puts `calls` in force and returns the set it replaces.
SystemCalls replace_system_calls(const SystemCalls& calls);

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

// Whether path names a folder, following symbolic links.
bool is_directory(const std::string& path);

// Whether two paths name the same file or folder on disk (links followed); nothing when either
// cannot be looked at.
std::optional<bool> same_on_disk(const std::string& a, const std::string& b);

// Raises the IoError of an operating-system error number, about `path`.
[[noreturn]] void raise_io_error(int error_number, const std::string& path);

// Opens an existing file for reading, shared with other readers and writers. A folder is
// "access denied"; a FIFO, socket or device is never opened (it could block or have side
// effects) and gives nothing. `info` receives the file's status.
std::optional<FileDescriptor> open_regular_file(const std::string& path, struct stat& info);

// Reads `length` bytes at `offset` of an open file whole, going on after interruptions.
// Returns 0, the error number of a failed read, or -1 where the file ends first.
int read_all_at(int fd, void* buffer, long long length, long long offset);

// Writes all of `bytes` to an open file, going on after interruptions. Returns 0, or the I/O
// code of the failure (nothing written at all is a full disk).
int write_all(int fd, std::string_view bytes, const std::string& path);

// A file's new bytes, written and flushed beside it under a hidden name, ready to replace it
// in one rename at commit(); until then the file is as it was. Without a commit the bytes are
// removed. Raises IoError.
class PendingFile {
public:
    PendingFile(const std::string& path, std::string_view bytes);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    void commit();

private:
    std::string path_, target_, temporary_;
    bool committed_ = false;
};

// A file's bytes, or a folder's entries (a rename), on disk. Raises IoError.
void flush_to_disk(const std::string& path);

// Creates or replaces a file with these bytes. They are written beside it and renamed over it,
// so a failure leaves any earlier file of that name as it was. Raises IoError.
void write_file_atomically(const std::string& path, std::string_view bytes);

}  // namespace snr
