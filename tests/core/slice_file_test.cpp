// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "core/errors.h"
#include "core/slice_file.h"
#include "tests/support/temp_folder.h"

namespace snr {
namespace {

using test::TempFolder;

int io_code_of(const std::string& path)
{
    Samples samples;
    try {
        read_slice(path, samples);
    } catch (const IoError& error) {
        return error.code();
    }
    return 0;
}

TEST(ReadSlice, TakesTheLastWholeRecordsWhateverTheHeader)
{
    TempFolder folder;
    const StoredPixels expected = test::ramp();
    Samples samples;
    for (std::size_t header : {0, 132, 4000}) {
        const std::string path = folder.file("slice" + std::to_string(header));
        test::write_slice(path, expected, header);
        read_slice(path, samples);
        EXPECT_EQ(samples, test::as_samples(expected)) << "header " << header;
    }
}

TEST(ReadSlice, OddSizeEndsTheWindowOneByteBeforeTheEnd)
{
    TempFolder folder;
    std::vector<std::uint8_t> bytes(slice_bytes + 1, 0);
    bytes[0] = 0x34;  // first sample 0x1234 from the first two bytes
    bytes[1] = 0x12;
    bytes[slice_bytes] = 0x77;  // ignored
    test::write_bytes(folder.file("odd"), bytes);
    Samples samples;
    read_slice(folder.file("odd"), samples);
    EXPECT_EQ(samples[0], 0x1234);
    EXPECT_EQ(samples[plane_pixels - 1], 0);
}

TEST(ReadSlice, ShortMissingAndSpecialFilesFailWithTheirCodes)
{
    TempFolder folder;
    test::write_bytes(folder.file("short"), std::vector<std::uint8_t>(slice_bytes - 1, 1));
    test::write_bytes(folder.file("empty"), {});
    EXPECT_EQ(io_code_of(folder.file("short")), 131);
    EXPECT_EQ(io_code_of(folder.file("empty")), 131);
    EXPECT_EQ(io_code_of(folder.file("missing")), 2);
    EXPECT_EQ(io_code_of(folder.file("no-such-folder/slice")), 3);
    EXPECT_EQ(io_code_of(folder.folder("sub")), 5);

    // A FIFO without a writer would block a plain open; it must fail at once.
    ASSERT_EQ(::mkfifo(folder.file("fifo").c_str(), 0600), 0);
    EXPECT_EQ(io_code_of(folder.file("fifo")), 131);
    EXPECT_EQ(io_code_of("/dev/zero"), 131);

    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socket_path = folder.file("sock");
    ASSERT_LT(socket_path.size(), sizeof address.sun_path);
    std::copy(socket_path.begin(), socket_path.end(), address.sun_path);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(io_code_of(socket_path), 131);
    ::close(sock);
}

TEST(ListSlices, ListsPlainFilesByNameAndSkipsHiddenEntriesAndFolders)
{
    TempFolder folder;
    for (const char* name : {"b.dcm", "a", "C", ".hidden"})
        test::write_bytes(folder.file(name), {1});
    folder.folder("sub");
    folder.folder(".hiddenfolder");
    std::filesystem::create_directory_symlink(folder.file("sub"), folder.file("link-to-folder"));
    std::filesystem::create_symlink(folder.file("a"), folder.file("link-to-file"));
    std::filesystem::create_symlink(folder.file("gone"), folder.file("broken-link"));

    const std::string f = folder.path();
    EXPECT_EQ(list_slices(f), (std::vector<std::string>{f + "/C", f + "/a", f + "/b.dcm", f + "/broken-link",
                                                        f + "/link-to-file"}));
    EXPECT_TRUE(list_slices(folder.folder("only-folders")).empty());
    EXPECT_TRUE(list_slices(folder.file("missing")).empty());
}

TEST(ExportValue, FloorsAndKeepsTheLow16Bits)
{
    EXPECT_EQ(export_value(32768.0), -32768);
    EXPECT_EQ(export_value(70000.0), 4464);
    EXPECT_EQ(export_value(-0.5), -1);
    EXPECT_EQ(export_value(-1.5), -2);
    EXPECT_EQ(export_value(2.9), 2);
    EXPECT_EQ(export_value(4294967296.0 + 5), 5);
    EXPECT_THROW(export_value(1e300), FloatError);
}

TEST(ExportRaw, WritesTheBytesAndReadsBackAsASlice)
{
    TempFolder folder;
    Plane plane{};
    plane[0] = 32768.0;
    plane[1] = -1.5;
    plane[255] = 300.0;
    plane[256] = 12.9;
    const std::string path = folder.file("out.raw");
    export_raw(path, plane);
    const auto bytes = test::read_bytes(path);
    ASSERT_EQ(bytes.size(), 131072u);
    EXPECT_EQ(bytes[0], 0x00);
    EXPECT_EQ(bytes[1], 0x80);
    EXPECT_EQ(bytes[2], 0xFE);
    EXPECT_EQ(bytes[3], 0xFF);

    Samples back;
    read_slice(path, back);
    EXPECT_EQ(back[255], 300);
    EXPECT_EQ(back[256], 12);

    plane.fill(1.0);  // exporting again replaces the file
    export_raw(path, plane);
    read_slice(path, back);
    EXPECT_EQ(back[0], 1);
    EXPECT_EQ(std::filesystem::file_size(path), 131072u);
}

TEST(ExportRaw, AFailedExportLeavesTheEarlierFileAndNoTemporary)
{
    TempFolder folder;
    const std::string path = folder.file("keep.raw");
    test::write_bytes(path, {1, 2, 3});
    Plane bad{};
    bad[40000] = 1e300;  // no 16-bit value: the export fails before touching anything
    EXPECT_THROW(export_raw(path, bad), FloatError);
    EXPECT_EQ(test::read_bytes(path), (std::vector<std::uint8_t>{1, 2, 3}));

    try {
        export_raw(folder.file("missing-folder/x.raw"), Plane{});
        ADD_FAILURE();
    } catch (const IoError& error) {
        EXPECT_EQ(error.code(), 3);
    }
    try {
        export_raw(folder.folder("a-folder"), Plane{});
        ADD_FAILURE();
    } catch (const IoError& error) {
        EXPECT_EQ(error.code(), 5);
    }
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path()))
        ++entries;
    EXPECT_EQ(entries, 2u);  // keep.raw and a-folder, no temporary left
}

TEST(ExportRaw, WritesThroughASymbolicLink)
{
    TempFolder folder;
    test::write_bytes(folder.file("real.raw"), {9});
    std::filesystem::create_symlink(folder.file("real.raw"), folder.file("link.raw"));
    export_raw(folder.file("link.raw"), Plane{});
    EXPECT_TRUE(std::filesystem::is_symlink(folder.file("link.raw")));
    EXPECT_EQ(std::filesystem::file_size(folder.file("real.raw")), 131072u);
}

}  // namespace
}  // namespace snr
