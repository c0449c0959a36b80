// SPDX-License-Identifier: BSD-3-Clause
#include <filesystem>
#include <gtest/gtest.h>

#include "core/path.h"

namespace snr {
namespace {

TEST(Paths, PartsAndJoinsAsTheProgramsUseThem)
{
    EXPECT_EQ(file_name_part("/data/study 1/IM0001"), "IM0001");
    EXPECT_EQ(file_name_part("IM0001.dcm"), "IM0001.dcm");
    EXPECT_EQ(file_name_part("out/"), "");
    EXPECT_EQ(file_name_part("/data/C:IM0001"), "C:IM0001");  // no drive letters here

    EXPECT_EQ(folder_part("IM0001.dcm"), "");  // the current folder
    EXPECT_EQ(folder_part("/IM0001.dcm"), "/");
    EXPECT_EQ(folder_part("a//b"), "a");
    EXPECT_EQ(folder_part("a/b/"), "a/b");

    EXPECT_EQ(join_path("", ".x"), ".x");
    EXPECT_EQ(join_path("/", ".x"), "/.x");
    EXPECT_EQ(join_path("a/", ".x"), "a/.x");
    EXPECT_EQ(join_path(folder_part("/data/\xff\xfe.raw"), ".part"), "/data/.part");
}

TEST(Paths, AbsolutePathsKeepTheirBytes)
{
    const std::string odd = "d\xff\x01/\xe9.dcm";
    EXPECT_EQ(absolute_path(odd), std::filesystem::current_path().string() + "/" + odd);
    EXPECT_EQ(absolute_path("/a/../b"), "/a/../b");
    EXPECT_EQ(absolute_path(""), "");
}

}  // namespace
}  // namespace snr
