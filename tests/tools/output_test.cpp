// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <sys/stat.h>

#include "core/display.h"
#include "core/errors.h"
#include "record/json_text.h"
#include "tests/support/fault_injection.h"
#include "tests/support/temp_folder.h"
#include "tests/tools/tool_files.h"
#include "tools/snrmap/npy_file.h"
#include "tools/snrmap/output_folder.h"
#include "tools/snrmap/plane_picture.h"

namespace snr::snrmap {
namespace {

TEST(NpyFile, VersionOneHeaderAlignedAndThePlaneInRowOrder)
{
    Plane plane{};
    at(plane, 0, 1) = 1.5;
    at(plane, 255, 0) = -2.25;
    const std::string bytes = npy_bytes(plane);
    const std::size_t header = static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9]) << 8;
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x93NUMPY\x01\x00", 8));
    EXPECT_EQ((10 + header) % 64, 0u);
    EXPECT_EQ(bytes[10 + header - 1], '\n');
    EXPECT_EQ(bytes.size(), 10 + header + 8 * 65536);

    test::TempFolder tmp;
    test::write_bytes(tmp.file("p.npy"), std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    EXPECT_EQ(test::read_npy_plane(tmp.file("p.npy")), plane);
}

TEST(PlanePicture, EveryGreyAsTheWindowDrawsItAcrossTheStoredBlocks)
{
    Plane plane{};
    for (int p = 0; p < plane_pixels; ++p)
        plane[p] = (p * 7919) % 1000 - 100.5;  // every grey, in no order
    std::vector<std::uint8_t> greys(plane_pixels);
    render_greys(plane, 400, 700, greys.data());
    const std::string png = png_bytes(plane, 400, 700);
    const QImage image = QImage::fromData(QByteArray(png.data(), static_cast<qsizetype>(png.size())), "PNG");
    ASSERT_EQ(image.size(), QSize(plane_side, plane_side));
    int differing = 0;
    for (int row = 0; row < plane_side; ++row) {
        for (int column = 0; column < plane_side; ++column)
            differing += test::png_grey(image, row, column) != greys[row * plane_side + column];
    }
    EXPECT_EQ(differing, 0);
}

TEST(JsonText, StringsOfAnyBytesStayValidJson)
{
    EXPECT_EQ(json_string("a\"b\\c"), R"("a\"b\\c")");
    EXPECT_EQ(json_string(std::string("\n\t\x01\x1f\x7f", 5)), R"("\n\t\u0001\u001f\u007f")");
    EXPECT_EQ(json_string("/データ/g-factor"), "\"/データ/g-factor\"");
    // Stray continuation byte, a lead byte cut short, an overlong form, a surrogate, a byte
    // that never starts UTF-8: each offending byte is written as \u00XX.
    EXPECT_EQ(json_string("a\x80z"), R"("a\u0080z")");
    EXPECT_EQ(json_string("\xe3\x83"), R"("\u00e3\u0083")");
    EXPECT_EQ(json_string("\xc0\xaf"), R"("\u00c0\u00af")");
    EXPECT_EQ(json_string("\xed\xa0\x80"), R"("\u00ed\u00a0\u0080")");
    EXPECT_EQ(json_string("\xff"), R"("\u00ff")");
}

TEST(JsonText, AnEmptyKeyIsAMemberAndARefusedNumberLeavesTheTextValid)
{
    JsonText json;
    json.begin_object();
    json.field("", "x");
    EXPECT_THROW(json.field("n", std::nan("")), std::invalid_argument);
    json.begin_object("");
    json.end_object();
    json.end_object();
    EXPECT_EQ(json.text(), "{\n  \"\": \"x\",\n  \"\": {}\n}\n");
}

TEST(JsonText, NumbersReadBackExactly)
{
    for (double value : {0.1, 1.0 / 3.0, 2.0, -1e-310, 1.7976931348623157e308, 123456.789}) {
        const std::string text = json_number(value);
        double back = 0;
        std::from_chars(text.data(), text.data() + text.size(), back);
        EXPECT_EQ(back, value) << text;
    }
    EXPECT_EQ(json_number(2.0), "2");
}

class Staged : public ::testing::Test {
protected:
    test::TempFolder tmp;
    std::vector<std::string> top() { return test::folder_entries(tmp.path()); }
};

TEST_F(Staged, ANewFolderAppearsOnlyAtTheCommit)
{
    const std::string out = tmp.file("out");
    {
        StagedOutput output(out + "/");
        output.write("a.txt", "one");
        output.make_folder("sub");
        test::write_bytes(output.staging() + "/sub/b", {1, 2});
        EXPECT_FALSE(std::filesystem::exists(out));
        output.commit();
    }
    EXPECT_EQ(top(), std::vector<std::string>{"out"});
    EXPECT_EQ(test::read_text(out + "/a.txt"), "one");
    EXPECT_EQ(test::read_bytes(out + "/sub/b"), (std::vector<std::uint8_t>{1, 2}));
    struct stat info {};
    ::stat(out.c_str(), &info);
    EXPECT_NE(info.st_mode & 0077, 0u) << "kept the private rights of the staging folder";
}

TEST_F(Staged, AnExistingFolderGetsItsNamedEntriesReplacedAndKeepsTheRest)
{
    const std::string out = tmp.folder("out");
    test::write_bytes(out + "/a.txt", {'o', 'l', 'd'});
    test::write_bytes(out + "/mine.txt", {'k'});
    tmp.folder("out/sub");
    test::write_bytes(out + "/sub/stale", {'s'});
    {
        StagedOutput output(out);
        output.write("a.txt", "new");
        output.make_folder("sub");
        test::write_bytes(output.staging() + "/sub/fresh", {'f'});
        output.commit();
    }
    EXPECT_EQ(test::folder_entries(out), (std::vector<std::string>{"a.txt", "mine.txt", "sub"}));
    EXPECT_EQ(test::read_text(out + "/a.txt"), "new");
    EXPECT_EQ(test::read_text(out + "/mine.txt"), "k");
    EXPECT_EQ(test::folder_entries(out + "/sub"), std::vector<std::string>{"fresh"});  // a folder is replaced whole
}

TEST_F(Staged, WithoutACommitNothingChangesAndNothingIsLeftBehind)
{
    const std::string out = tmp.folder("out");
    test::write_bytes(out + "/a.txt", {'o'});
    {
        StagedOutput output(out);
        output.write("a.txt", "new");
        output.write("b.txt", "new");
    }
    {
        StagedOutput fresh(tmp.file("fresh"));
        fresh.write("a.txt", "new");
    }
    EXPECT_EQ(top(), std::vector<std::string>{"out"});
    EXPECT_EQ(test::folder_entries(out), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(test::read_text(out + "/a.txt"), "o");
}

TEST_F(Staged, ACommitThatCannotPlaceAnEntryChangesNothing)
{
    const std::string out = tmp.folder("out");
    test::write_bytes(out + "/a.txt", {'o'});
    tmp.folder("out/z.txt");  // a folder where a file is to go
    {
        StagedOutput output(out);
        output.write("a.txt", "new");
        output.write("z.txt", "new");
        EXPECT_THROW(output.commit(), IoError);
    }
    EXPECT_EQ(test::folder_entries(out), (std::vector<std::string>{"a.txt", "z.txt"}));
    EXPECT_EQ(test::read_text(out + "/a.txt"), "o");
}

TEST_F(Staged, AFailingMoveIsUndone)
{
    // A folder so deep that the staged copy of the second file still fits the path limit
    // but the name that keeps its earlier version does not: the commit fails at the second
    // entry after it has replaced the first.
    std::string out = tmp.path();
    const std::size_t length = 4000;
    while (out.size() + 201 < length)
        out += "/" + std::string(200, 'd');
    out += "/" + std::string(length - out.size() - 1, 'e');
    std::filesystem::create_directories(out);
    const std::string second(4090 - 16 - out.size(), 'n');
    test::write_bytes(out + "/a.txt", {'o'});
    test::write_bytes(out + "/" + second, {'o'});
    {
        test::InjectFault cannot_swap(test::Call::Exchange, EINVAL);  // entry by entry, then
        StagedOutput output(out);
        output.write("a.txt", "new");
        output.write(second, "new");
        EXPECT_THROW(output.commit(), IoError);
    }
    EXPECT_EQ(test::folder_entries(out), (std::vector<std::string>{"a.txt", second}));
    EXPECT_EQ(test::read_text(out + "/a.txt"), "o");
    EXPECT_EQ(test::read_text(out + "/" + second), "o");
}

TEST_F(Staged, MissingFoldersAboveTheOutputAreMadeOnlyAtTheCommit)
{
    const std::string out = tmp.file("results/week/out");
    {
        StagedOutput output(out);
        output.write("a.txt", "one");
        EXPECT_EQ(top().size(), 1u) << "only the staging folder";
    }
    EXPECT_TRUE(top().empty());
    {
        StagedOutput output(out);
        output.write("a.txt", "one");
        output.commit();
    }
    EXPECT_EQ(top(), std::vector<std::string>{"results"});
    EXPECT_EQ(test::read_text(out + "/a.txt"), "one");
}

TEST_F(Staged, AnOutputUnderAFileFailsBeforeAnythingIsWritten)
{
    test::write_bytes(tmp.file("plain"), {'p'});
    for (const std::string& out : {tmp.file("plain"), tmp.file("plain/out"), tmp.file("plain/deeper/out")}) {
        try {
            StagedOutput output(out);
            ADD_FAILURE() << out;
        } catch (const IoError& error) {
            EXPECT_EQ(error.code(), io_code::path_not_found) << out;
        }
    }
    EXPECT_EQ(top(), std::vector<std::string>{"plain"});
}

}  // namespace
}  // namespace snr::snrmap
