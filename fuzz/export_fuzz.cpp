// SPDX-License-Identifier: BSD-3-Clause
// The raw export of planes of any doubles, with any one system call failing: the file holds
// the low 16 bits of the floor of every value, or the export fails with the invalid-operation
// error (a value beyond the 64-bit range, a NaN) or the I/O error of the failed call. After
// a failure the earlier file is whole, and no temporary file is ever left behind.
//
// Input: a byte choosing the failing call, a byte choosing its error, then doubles that fill
// the plane over and over.

#include <cerrno>
#include <cstring>
#include <dirent.h>

#include "core/file_io.h"
#include "core/slice_file.h"
#include "fuzz/fuzz_support.h"

using namespace snr;

namespace {

int failing_call = 0;  // see `faulty`; 0, 8 and 9 fail nothing, 8 writes in parts
int injected_errno = 0;

bool fails(int call)
{
    if (call != failing_call)
        return false;
    errno = injected_errno;
    return true;
}

const SystemCalls& real() { return real_system_calls(); }

const SystemCalls faulty{
    .stat = [](const char* path, struct stat* info) { return fails(1) ? -1 : real().stat(path, info); },
    .fstat = [](int fd, struct stat* info) { return real().fstat(fd, info); },
    .open = [](const char* path, int flags, mode_t mode) { return fails(2) ? -1 : real().open(path, flags, mode); },
    .read = [](int fd, void* buffer, size_t size) { return real().read(fd, buffer, size); },
    .pread = [](int fd, void* buffer, size_t size, off_t offset) { return real().pread(fd, buffer, size, offset); },
    .write = [](int fd, const void* buffer, size_t size) -> ssize_t {
        if (fails(3))
            return injected_errno == 0 ? 0 : -1;
        // Some writes put only part of the bytes down, as a pipe or a full disk may.
        return real().write(fd, buffer, size > 1000 && failing_call == 8 ? size / 3 : size);
    },
    .fsync = [](int fd) { return fails(4) ? -1 : real().fsync(fd); },
    .close = [](int fd) {
        const int result = real().close(fd);
        return fails(5) ? -1 : result;
    },
    .rename = [](const char* from, const char* to) { return fails(6) ? -1 : real().rename(from, to); },
    .access = [](const char* path, int mode) { return fails(7) ? -1 : real().access(path, mode); },
    .mkdir = real().mkdir,
    .mkdtemp = real().mkdtemp,
    .link = real().link,
    .opendir = real().opendir,
};

const int errors[] = {0, EACCES, EROFS, ENOSPC, EDQUOT, EIO, EPERM, ENOENT, EMFILE, ENAMETOOLONG, ESTALE, EBUSY};

std::vector<std::string> folder_entries(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    while (const dirent* entry = dir ? ::readdir(dir) : nullptr) {
        if (entry->d_name[0] != '.' || (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0))
            names.emplace_back(entry->d_name);
    }
    if (dir)
        ::closedir(dir);
    return names;
}

// The low 16 bits of floor(x), worked out without a 64-bit conversion.
std::uint16_t expected_value(double x)
{
    long double rest = std::fmod(std::floor(static_cast<long double>(x)), 65536.0L);
    if (rest < 0)
        rest += 65536;
    return static_cast<std::uint16_t>(rest);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    failing_call = input.byte() % 10;
    injected_errno = errors[input.byte() % std::size(errors)];
    const auto bytes = input.rest();
    static Plane plane;
    const std::size_t values = bytes.size() / sizeof(double);
    bool exportable = true;
    for (int p = 0; p < plane_pixels; ++p) {
        double value = p * 0.25 - 300;
        if (values > 0)
            std::memcpy(&value, bytes.data() + (p % values) * sizeof(double), sizeof value);
        plane[p] = value;
        const long double whole = std::floor(static_cast<long double>(value));
        exportable = exportable && whole >= -9223372036854775808.0L && whole < 9223372036854775808.0L;
    }

    static const std::string folder = fuzz::scratch().fresh_folder("export");
    const std::string path = folder + "/image.raw";
    const std::vector<std::uint8_t> earlier{1, 2, 3};
    fuzz::write_file(path, earlier);

    const SystemCalls previous = replace_system_calls(faulty);
    std::string failure;
    try {
        export_raw(path, plane);
    } catch (const Error& error) {
        failure = error.what();
    }
    replace_system_calls(previous);

    fuzz::check(folder_entries(folder) == std::vector<std::string>{"image.raw"}, "a temporary file was left");
    std::vector<std::uint8_t> written(2 * slice_bytes);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    fuzz::check(file != nullptr, "the file is gone");
    written.resize(std::fread(written.data(), 1, written.size(), file));
    std::fclose(file);
    if (!failure.empty()) {
        fuzz::check(written == earlier, "a failed export changed the earlier file");
        if (!exportable) {
            fuzz::check(failure == FloatError(FloatFault::Invalid).what(), "unexportable value: " + failure);
            return 0;
        }
        fuzz::check(fuzz::is_io_message(failure) && failing_call >= 1 && failing_call <= 7,
                    "failure without a failing call: " + failure);
        return 0;
    }
    fuzz::check(exportable, "exported a value beyond 64 bits");
    fuzz::check(written.size() == static_cast<std::size_t>(slice_bytes), "size " + std::to_string(written.size()));
    for (int p = 0; p < plane_pixels; ++p) {
        const auto value = static_cast<std::uint16_t>(written[2 * p] | (written[2 * p + 1] << 8));
        if (value != expected_value(plane[p]))
            fuzz::fail("value " + std::to_string(p) + " of " + std::to_string(plane[p]));
    }
    return 0;
}
