// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <sys/mount.h>

#include "core/errors.h"
#include "core/slice_file.h"
#include "tests/support/fault_injection.h"
#include "tests/support/temp_folder.h"

namespace snr {
namespace {

using test::Call;
using test::InjectFault;
using test::TempFolder;

const std::vector<std::uint8_t> earlier{1, 2, 3};

std::string export_failure(const std::string& path)
{
    Plane plane;
    plane.fill(7.5);
    try {
        export_raw(path, plane);
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

std::vector<std::string> entries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct ExportFault {
    Call call;
    int error;
    const char* message;
};

TEST(ExportFaults, TheEarlierFileStaysAndNoTemporaryIsLeft)
{
    const ExportFault faults[] = {
        {Call::Access, EACCES, "ファイルへのアクセスが拒否されました"},  // read-only earlier file
        {Call::Open, EACCES, "ファイルへのアクセスが拒否されました"},    // read-only folder
        {Call::Open, EROFS, "ファイルへのアクセスが拒否されました"},     // read-only file system
        {Call::Write, ENOSPC, "ディスクがいっぱいです"},
        {Call::Write, EDQUOT, "ディスクがいっぱいです"},
        {Call::Write, 0, "ディスクがいっぱいです"},                     // nothing more could be written
        {Call::Fsync, ENOSPC, "ディスクがいっぱいです"},                // space found missing at the flush
        {Call::Close, EIO, "I/O エラー (1117)"},
        {Call::Rename, EACCES, "ファイルへのアクセスが拒否されました"},
        {Call::Rename, EBUSY, "I/O エラー (1117)"},
    };
    for (const auto& fault : faults) {
        TempFolder folder;
        const std::string path = folder.file("keep.raw");
        test::write_bytes(path, earlier);
        {
            InjectFault inject(fault.call, fault.error);
            EXPECT_EQ(export_failure(path), fault.message) << "errno " << fault.error;
            EXPECT_EQ(inject.failures(), 1) << "errno " << fault.error;
        }
        EXPECT_EQ(test::read_bytes(path), earlier) << "errno " << fault.error;
        EXPECT_EQ(entries(folder.path()), std::vector<std::string>{"keep.raw"}) << "errno " << fault.error;
    }
}

TEST(ExportFaults, AMissingFolderIsAWrongName)
{
    TempFolder folder;
    EXPECT_EQ(export_failure(folder.file("gone/x.raw")), "ファイル名の指定が間違っています");
    EXPECT_TRUE(entries(folder.path()).empty());
}

TEST(ExportFaults, ANameAtTheLengthLimitIsWritten)
{
    // The hidden file written first must not need a longer name than the target.
    TempFolder folder;
    const std::string path = folder.file(std::string(NAME_MAX, 'x'));
    test::write_bytes(path, earlier);
    EXPECT_EQ(export_failure(path), "");
    EXPECT_EQ(std::filesystem::file_size(path), 131072u);
    EXPECT_EQ(entries(folder.path()).size(), 1u);
    EXPECT_EQ(export_failure(folder.file(std::string(NAME_MAX + 1, 'x'))), "I/O エラー (206)");
}

// After a failed export: its message, whether the earlier file is whole, what the folder holds.
std::string failed_export_report(const std::string& folder)
{
    const std::string path = folder + "/keep.raw";
    const std::string message = export_failure(path);
    const bool intact = test::read_bytes(path) == earlier;
    std::string report = message + (intact ? " | intact |" : " | damaged |");
    for (const auto& name : entries(folder))
        report += " " + name;
    return report;
}

TEST(ExportFaults, ARealFullDiskAndARealReadOnlyFileSystem)
{
    TempFolder tmp;
    const std::string folder = tmp.folder("small");
    const auto full = test::on_small_file_system(folder, "size=64k", [&] {
        test::write_bytes(folder + "/keep.raw", earlier);
        return failed_export_report(folder);
    });
    if (!full)
        GTEST_SKIP() << "no private mount namespace here; the injected faults cover these cases";
    EXPECT_EQ(*full, "ディスクがいっぱいです | intact | keep.raw");

    const auto read_only = test::on_small_file_system(folder, "size=1m", [&] {
        test::write_bytes(folder + "/keep.raw", earlier);
        if (::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
            return std::string("remount failed");
        return failed_export_report(folder);
    });
    ASSERT_TRUE(read_only);
    EXPECT_EQ(*read_only, "ファイルへのアクセスが拒否されました | intact | keep.raw");
}

}  // namespace
}  // namespace snr
