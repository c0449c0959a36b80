#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

#include "core/slice_file.h"
#include "submap/marker_scan.h"
#include "tests/support/temp_folder.h"
#include "tests/tools/tool_files.h"
#include "tools/snrmap/dicom_file.h"
#include "tools/snrmap/output_folder.h"
#include "tools/snrmap/phantom.h"

namespace snr::snrmap {
namespace {

struct Element {
    std::string vr;
    std::string value;
};

// Reads an explicit VR little endian file the plain way and checks its framing on the way.
std::vector<std::pair<std::uint32_t, Element>> parse_dicom(const std::vector<std::uint8_t>& bytes)
{
    auto u16 = [&](std::size_t at) { return static_cast<std::uint32_t>(bytes.at(at) | bytes.at(at + 1) << 8); };
    auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    std::vector<std::pair<std::uint32_t, Element>> elements;
    std::size_t at = 132;
    while (at < bytes.size()) {
        const std::uint32_t tag = u16(at) << 16 | u16(at + 2);
        Element element{std::string(bytes.begin() + static_cast<long>(at) + 4, bytes.begin() + static_cast<long>(at) + 6), {}};
        std::size_t length = 0;
        if (element.vr == "OB" || element.vr == "OW") {
            EXPECT_EQ(u16(at + 6), 0u);
            length = u32(at + 8);
            at += 12;
        } else {
            length = u16(at + 6);
            at += 8;
        }
        EXPECT_EQ(length % 2, 0u) << std::hex << tag;
        if (at + length > bytes.size())
            throw std::runtime_error("element runs past the end");
        element.value.assign(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + length));
        at += length;
        elements.emplace_back(tag, element);
    }
    return elements;
}

std::uint32_t us_value(const Element& element) { return static_cast<std::uint8_t>(element.value[0]) | static_cast<std::uint8_t>(element.value[1]) << 8; }

TEST(DicomFile, ADicomFileWhoseLastBytesAreThePixels)
{
    Samples pixels{};
    for (int i = 0; i < plane_pixels; ++i)
        pixels[i] = static_cast<std::int16_t>(i * 7 - 30000);
    DicomImage image;
    image.sop_instance_uid = "1.2.3.456";  // odd length: padded with a zero byte
    image.study_instance_uid = "1.2.3";
    image.series_instance_uid = "1.2.3.4";
    const std::string file = dicom_bytes(image, pixels);

    test::TempFolder tmp;
    const std::string path = tmp.file("image.dcm");
    test::write_bytes(path, std::vector<std::uint8_t>(file.begin(), file.end()));
    const auto bytes = test::read_bytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 128), std::string(128, '\0'));
    EXPECT_EQ(std::string(bytes.begin() + 128, bytes.begin() + 132), "DICM");

    const auto elements = parse_dicom(bytes);
    std::map<std::uint32_t, Element> by_tag;
    std::uint32_t previous = 0;
    std::size_t meta_length = 0;
    for (const auto& [tag, element] : elements) {
        EXPECT_GT(tag, previous) << "tags ascend";
        previous = tag;
        by_tag[tag] = element;
        if (tag >> 16 == 0x0002 && tag != 0x00020000)
            meta_length += (element.vr == "OB" ? 12 : 8) + element.value.size();
    }
    EXPECT_EQ(elements.back().first, 0x7FE00010u) << "pixel data last";
    EXPECT_EQ(by_tag[0x00020000].vr, "UL");
    EXPECT_EQ(static_cast<std::size_t>(us_value(by_tag[0x00020000])), meta_length);
    EXPECT_EQ(by_tag[0x00020001].value, std::string("\x00\x01", 2));
    EXPECT_EQ(by_tag[0x00020002].value, std::string(mr_image_storage) + '\0');
    EXPECT_EQ(by_tag[0x00020003].value, std::string("1.2.3.456") + '\0');
    EXPECT_EQ(by_tag[0x00020010].value, std::string(explicit_vr_little_endian) + '\0');
    EXPECT_TRUE(by_tag.count(0x00020012));
    EXPECT_EQ(by_tag[0x00080016].value, by_tag[0x00020002].value);
    EXPECT_EQ(by_tag[0x00080018].value, by_tag[0x00020003].value);
    EXPECT_EQ(by_tag[0x00080060].value, "MR");
    EXPECT_EQ(by_tag[0x00280004].value, "MONOCHROME2 ");
    EXPECT_EQ(us_value(by_tag[0x00280002]), 1u);
    EXPECT_EQ(us_value(by_tag[0x00280010]), 256u);
    EXPECT_EQ(us_value(by_tag[0x00280011]), 256u);
    EXPECT_EQ(us_value(by_tag[0x00280100]), 16u);
    EXPECT_EQ(us_value(by_tag[0x00280101]), 16u);
    EXPECT_EQ(us_value(by_tag[0x00280102]), 15u);
    EXPECT_EQ(us_value(by_tag[0x00280103]), 1u);
    EXPECT_EQ(by_tag[0x7FE00010].vr, "OW");
    EXPECT_EQ(by_tag[0x7FE00010].value.size(), 131072u);

    // What both windows do with it: the marker check passes and the slice reader gets the pixels.
    EXPECT_TRUE(has_dicm_marker(path));
    Samples read{};
    read_slice(path, read);
    EXPECT_EQ(read, pixels);
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
    const Samples image = phantom_image(noise, true, 2.0);
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
    EXPECT_EQ(first, phantom_image(noise, false, 2.0));

    // Every image is its own instance; a second phantom of the same seed is the same bytes.
    const std::string again = tmp.file("again");
    {
        StagedOutput output(again);
        write_phantom(PhantomSettings{3, 9, 2.0}, output);
        output.commit();
    }
    EXPECT_EQ(test::read_bytes(out + "/pi/pi_002.dcm"), test::read_bytes(again + "/pi/pi_002.dcm"));
    EXPECT_EQ(test::read_bytes(out + "/phantom.json"), test::read_bytes(again + "/phantom.json"));
    const auto a = test::read_bytes(out + "/pi/pi_001.dcm");
    const auto b = test::read_bytes(out + "/pi/pi_002.dcm");
    EXPECT_NE(std::vector<std::uint8_t>(a.begin(), a.end() - 131072), std::vector<std::uint8_t>(b.begin(), b.end() - 131072));
}

}  // namespace
}  // namespace snr::snrmap
