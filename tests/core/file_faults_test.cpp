// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "core/errors.h"
#include "core/slice_file.h"
#include "tests/support/fault_injection.h"
#include "tests/support/temp_folder.h"

namespace snr {
namespace {

using test::Call;
using test::InjectFault;
using test::TempFolder;

std::string read_failure(const std::string& path)
{
    Samples samples;
    try {
        read_slice(path, samples);
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

// Removes everything below an open folder through descriptors, so that paths beyond the
// system's limit go too.
void remove_below(int folder)
{
    DIR* dir = ::fdopendir(folder);
    ASSERT_NE(dir, nullptr);
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    for (const auto& name : names) {
        const int sub = ::openat(::dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        if (sub >= 0) {
            remove_below(sub);
            ::unlinkat(::dirfd(dir), name.c_str(), AT_REMOVEDIR);
        } else {
            ::unlinkat(::dirfd(dir), name.c_str(), 0);
        }
    }
    ::closedir(dir);
}

TEST(SpecialEntries, NeverBlockAndFailWithTheirMessages)
{
    TempFolder folder;
    ASSERT_EQ(::mkfifo(folder.file("fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", folder.file("device"));
    std::filesystem::create_symlink(folder.file("gone"), folder.file("broken"));
    std::filesystem::create_symlink(folder.file("loop-b"), folder.file("loop-a"));
    std::filesystem::create_symlink(folder.file("loop-a"), folder.file("loop-b"));
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socket_path = folder.file("socket");
    ASSERT_LT(socket_path.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, socket_path.c_str(), socket_path.size());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    // Each is a slice entry of the folder; reading it gives the message the user sees.
    const std::string f = folder.path();
    EXPECT_EQ(list_slices(f), (std::vector<std::string>{f + "/broken", f + "/device", f + "/fifo", f + "/loop-a",
                                                        f + "/loop-b", f + "/socket"}));
    EXPECT_EQ(read_failure(folder.file("fifo")), "I/O エラー (131)");
    EXPECT_EQ(read_failure(folder.file("socket")), "I/O エラー (131)");
    EXPECT_EQ(read_failure(folder.file("device")), "I/O エラー (131)");
    EXPECT_EQ(read_failure(folder.file("broken")), "ファイルが見つかりません");
    EXPECT_EQ(read_failure(folder.file("loop-a")), "I/O エラー (1921)");
    ::close(sock);
}

TEST(Names, JapaneseAndNonUtf8NamesAreReadByteForByte)
{
    TempFolder tmp;
    const std::string folder = tmp.folder("撮像データ");
    const std::string japanese = folder + "/スライス１.dcm";
    const std::string invalid = folder + "/slice\xff\xfe\x80.dcm";  // not UTF-8 at all
    test::write_slice(japanese, 11);
    test::write_slice(invalid, -22);
    const auto slices = list_slices(folder);
    ASSERT_EQ(slices, (std::vector<std::string>{invalid, japanese}));  // bytewise: 's' < 0xE3
    Samples samples;
    read_slice(invalid, samples);
    EXPECT_EQ(samples[123], -22);
    read_slice(japanese, samples);
    EXPECT_EQ(samples[123], 11);
}

TEST(Names, LongPathsWorkUpToTheLimitAndFailWithCode206Beyond)
{
    TempFolder tmp;
    const std::string component(200, 'd');
    int dir = ::open(tmp.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(dir, 0);
    const int root = ::dup(dir);
    std::string path = tmp.path();
    std::string last_reachable;
    while (path.size() <= PATH_MAX) {
        ASSERT_EQ(::mkdirat(dir, component.c_str(), 0700), 0);
        const int next = ::openat(dir, component.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(dir);
        dir = next;
        path += "/" + component;
        if (path.size() + 10 < PATH_MAX)
            last_reachable = path;
    }
    ::close(dir);

    // Close to the limit a slice is listed and read as anywhere else.
    ASSERT_GT(last_reachable.size(), PATH_MAX - 250u);
    test::write_slice(last_reachable + "/s", 5);
    EXPECT_EQ(list_slices(last_reachable), std::vector<std::string>{last_reachable + "/s"});
    EXPECT_EQ(read_failure(last_reachable + "/s"), "");

    // Beyond it, and with a name longer than a name may be, the system's own code.
    EXPECT_EQ(read_failure(path + "/s"), "I/O エラー (206)");
    EXPECT_EQ(read_failure(tmp.file(std::string(NAME_MAX + 1, 'n'))), "I/O エラー (206)");
    EXPECT_TRUE(list_slices(path).empty());

    remove_below(root);
}

TEST(Sizes, AFileBeyondFourGigabytesIsReadAtItsEnd)
{
    // Sparse: it takes no room. Odd size, so the slice ends one byte before the end.
    TempFolder folder;
    const std::string path = folder.file("huge");
    const long long size = 5'000'000'001LL;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    const unsigned char last_sample[] = {0x34, 0x12, 0x77};
    ASSERT_EQ(::pwrite(fd, last_sample, 3, size - 3), 3);
    ::close(fd);
    Samples samples;
    read_slice(path, samples);
    EXPECT_EQ(samples[plane_pixels - 1], 0x1234);
    EXPECT_EQ(samples[0], 0);
}

TEST(Listing, TenThousandFilesComeBackCompleteInNameOrder)
{
    TempFolder folder;
    const std::string original = folder.file(".original");
    test::write_bytes(original, {});
    std::vector<std::string> expected;
    for (int i = 0; i < 10000; ++i) {
        // Names whose creation order is not their order by name; hard links are quick to make.
        const std::string name = "IM" + std::to_string((i * 7919) % 10000);
        ASSERT_EQ(::link(original.c_str(), folder.file(name).c_str()), 0) << name;
        expected.push_back(folder.file(name));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(list_slices(folder.path()), expected);
}

struct ReadFault {
    Call call;
    int error;
    const char* message;
};

TEST(ReadFaults, SystemFailuresReachTheUserAsTheirMessages)
{
    TempFolder folder;
    const std::string path = folder.file("slice");
    test::write_slice(path, 3);
    const ReadFault faults[] = {
        {Call::Open, EACCES, "ファイルへのアクセスが拒否されました"},  // no rights (tests run as root)
        {Call::Open, EPERM, "ファイルへのアクセスが拒否されました"},
        {Call::Open, EMFILE, "オープンしたファイルが多すぎます"},
        {Call::Stat, ESTALE, "I/O エラー (59)"},                   // a network share gone away
        {Call::Pread, EIO, "I/O エラー (1117)"},
        {Call::Pread, 0, "ファイルの末尾以降を読み込みました"},     // cut short after its size was taken
    };
    for (const auto& fault : faults) {
        InjectFault inject(fault.call, fault.error);
        EXPECT_EQ(read_failure(path), fault.message) << "errno " << fault.error;
        EXPECT_EQ(inject.failures(), 1);
    }
    EXPECT_EQ(read_failure(path), "");  // and everything is real again
}

}  // namespace
}  // namespace snr
