// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include "core/slice_file.h"
#include "submap/marker_scan.h"
#include "tests/support/dicom_writer.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tool_output.h"
#include "tests/tools/tool_files.h"
#include "tools/snrmap/dicom_file.h"
#include "tools/snrmap/output_folder.h"
#include "tools/snrmap/phantom.h"

namespace snr::snrmap {
namespace {

TEST(DicomFile, AConformantMrImageWhosePixelDataEndsTheFile)
{
    const StoredPixels pixels = test::ramp();
    DicomImage image{"1.2.3.456", "1.2.3", "1.2.3.4", 7, "1.2.3.5", 3, "SNR phantom pi"};
    const std::string file = dicom_bytes(image, pixels);

    test::TempFolder tmp;
    const std::string path = tmp.file("image.dcm");
    test::write_bytes(path, std::vector<std::uint8_t>(file.begin(), file.end()));
    EXPECT_EQ(file.substr(0, 132), std::string(128, '\0') + "DICM");
    EXPECT_EQ(test::sop_instance_uid(path), "1.2.3.456");

    // What both windows do with it: the marker check passes and the reader takes the pixels
    // from the end of the file, where earlier versions took them too.
    EXPECT_TRUE(has_dicm_marker(path));
    Samples read{};
    const SliceSource source = read_slice(path, read);
    EXPECT_EQ(read, test::as_samples(pixels));
    EXPECT_TRUE(source.dicom);
    EXPECT_EQ(source.attributes.pixel_offset, static_cast<long long>(file.size()) - slice_bytes);
    EXPECT_EQ(source.attributes.series_number, "3");
    EXPECT_EQ(source.attributes.series_description, "SNR phantom pi");
    test::write_slice(tmp.file("raw"), pixels, 0);
    const auto raw = test::read_bytes(tmp.file("raw"));
    EXPECT_EQ(file.substr(file.size() - slice_bytes), std::string(raw.begin(), raw.end()));

    const auto errors = test::dciodvfy_errors(path);
    if (!errors)
        GTEST_SKIP() << "dciodvfy is not installed (Debian package dicom3tools)";
    EXPECT_EQ(*errors, std::vector<std::string>{});
}

TEST(Phantom, NoiseHasTheStatedSpreadAndSeedsAreReproducible)
{
    NormalNoise noise(7);
    long double sum = 0, squares = 0;
    constexpr int count = 200000;
    for (int k = 0; k < count; ++k) {
        const double z = noise.next();
        sum += z;
        squares += z * z;
    }
    EXPECT_NEAR(static_cast<double>(sum / count), 0.0, 0.01);
    EXPECT_NEAR(static_cast<double>(squares / count), 1.0, 0.01);

    NormalNoise a(42), b(42), c(43);
    EXPECT_EQ(phantom_image(a, true, 2.0), phantom_image(b, true, 2.0));
    EXPECT_NE(phantom_image(a, false, 2.0), phantom_image(c, false, 2.0));
}

TEST(Phantom, ImagesAreTheDiscInAZeroBackgroundWithTheKnownProfile)
{
    NormalNoise noise(1);
    const StoredPixels image = phantom_image(noise, true, 2.0);
    long double inside = 0;
    int pixels = 0;
    for (int row = 0; row < plane_side; ++row) {
        for (int column = 0; column < plane_side; ++column) {
            const std::int16_t value = image[row * plane_side + column];
            if (!inside_disc(row, column)) {
                ASSERT_EQ(value, 0) << row << "," << column;
            } else {
                inside += value;
                ++pixels;
            }
        }
    }
    EXPECT_NEAR(static_cast<double>(inside / pixels), 1000.0, 1.0);
    EXPECT_TRUE(inside_disc(128, 38) && inside_disc(38, 128) && !inside_disc(128, 37) && !inside_disc(37, 128));
    EXPECT_DOUBLE_EQ(true_gfactor(0, 128), 2.0);
    EXPECT_NEAR(true_gfactor(200, 128 + 48), 1.0 + std::exp(-1.0), 1e-15);
    EXPECT_LT(true_gfactor(0, 0), 1.001);
}

TEST(Phantom, WritesTheFoldersTheTwoMethodsOpenAndTheTruth)
{
    test::TempFolder tmp;
    const std::string out = tmp.file("demo");
    {
        StagedOutput output(out);
        write_phantom(PhantomSettings{3, 9, 2.0}, output);
        output.commit();
    }
    EXPECT_EQ(test::folder_entries(out),
              (std::vector<std::string>{"nopi", "pairs", "phantom.json", "pi", "truth_gfactor.npy"}));
    EXPECT_EQ(test::folder_entries(out + "/nopi"),
              (std::vector<std::string>{"nopi_001.dcm", "nopi_002.dcm", "nopi_003.dcm"}));
    EXPECT_EQ(test::folder_entries(out + "/pi"), (std::vector<std::string>{"pi_001.dcm", "pi_002.dcm", "pi_003.dcm"}));
    EXPECT_EQ(test::folder_entries(out + "/pairs"),
              (std::vector<std::string>{"nopi_1.dcm", "nopi_2.dcm", "pi_1.dcm", "pi_2.dcm"}));
    EXPECT_EQ(test::read_npy_plane(out + "/truth_gfactor.npy"), true_gfactor_plane());

    // The images come from one stream in a fixed order: the first no-PI slice is the first image.
    NormalNoise noise(9);
    Samples first{};
    read_slice(out + "/nopi/nopi_001.dcm", first);
    EXPECT_EQ(first, test::as_samples(phantom_image(noise, false, 2.0)));

    // Every image is its own instance; a second phantom of the same seed is the same bytes.
    const std::string again = tmp.file("again");
    {
        StagedOutput output(again);
        write_phantom(PhantomSettings{3, 9, 2.0}, output);
        output.commit();
    }
    EXPECT_EQ(test::read_bytes(out + "/pi/pi_002.dcm"), test::read_bytes(again + "/pi/pi_002.dcm"));
    EXPECT_EQ(test::read_bytes(out + "/phantom.json"), test::read_bytes(again + "/phantom.json"));
    std::set<std::string> uids;
    for (const char* folder : {"/nopi/", "/pi/", "/pairs/"}) {
        for (const auto& name : test::folder_entries(out + folder))
            uids.insert(test::sop_instance_uid(out + folder + name));
    }
    EXPECT_EQ(uids.size(), 10u);
    EXPECT_FALSE(uids.count(""));
}

}  // namespace
}  // namespace snr::snrmap
