// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "core/errors.h"
#include "submap/marker_scan.h"
#include "tests/support/temp_folder.h"

namespace snr {
namespace {

using Bytes = std::vector<std::uint8_t>;

class MarkerScan : public ::testing::Test {
protected:
    test::TempFolder tmp;

    bool scan(const Bytes& bytes)
    {
        const std::string path = tmp.file("image.dcm");
        test::write_bytes(path, bytes);
        return has_dicm_marker(path);
    }
    static Bytes zeros_then(std::size_t zeros, const std::string& tail)
    {
        Bytes bytes(zeros, 0);
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        return bytes;
    }
    int io_code_of(const std::string& path)
    {
        try {
            has_dicm_marker(path);
        } catch (const IoError& error) {
            return error.code();
        }
        return 0;
    }
};

TEST_F(MarkerScan, AcceptsTheLettersInOrderBetweenZeros)
{
    Bytes part10 = zeros_then(128, "DICM\x02");
    part10.insert(part10.end(), 200, 'D');  // never reached: 0x02 ends the scan
    EXPECT_TRUE(scan(part10));
    EXPECT_TRUE(scan(zeros_then(0, "DICM\x02")));
    EXPECT_TRUE(scan({'D', 0, 'I', 0, 'C', 0, 'M', 2}));
    EXPECT_TRUE(scan(zeros_then(0, "DICM")));  // the end of the file ends the scan too
    EXPECT_TRUE(scan(zeros_then(10000, "DICM\x02")));  // zeros across several reads
}

TEST_F(MarkerScan, RefusesEverythingElse)
{
    Bytes png = zeros_then(128, "DICM\x02");
    png[0] = 0x89;
    EXPECT_FALSE(scan(png));
    EXPECT_FALSE(scan({}));
    EXPECT_FALSE(scan(Bytes(100000, 0)));
    EXPECT_FALSE(scan(zeros_then(128, "DICMDICM\x02")));
    EXPECT_FALSE(scan(zeros_then(128, "DICMD")));
    EXPECT_FALSE(scan(zeros_then(128, "dicm\x02")));
    EXPECT_FALSE(scan(zeros_then(128, "MICD\x02")));
    EXPECT_FALSE(scan(zeros_then(128, "DIC\x02M")));
}

TEST_F(MarkerScan, SpecialFilesNeitherBlockNorGetRead)
{
    // A FIFO without a writer would block a plain open; /dev/zero would never end.
    ASSERT_EQ(::mkfifo(tmp.file("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(has_dicm_marker(tmp.file("fifo")));
    EXPECT_FALSE(has_dicm_marker("/dev/zero"));

    EXPECT_EQ(io_code_of(tmp.folder("sub")), 5);
    EXPECT_EQ(io_code_of(tmp.file("missing")), 2);
    EXPECT_EQ(io_code_of(tmp.file("no-such-folder/image")), 3);
}

}  // namespace
}  // namespace snr
