// SPDX-License-Identifier: BSD-3-Clause
// Files as scanners and archives export them: compressed, enhanced, of several frames, with a
// damaged file meta group.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "core/slice_file.h"
#include "tests/support/dicom_writer.h"
#include "tests/support/temp_folder.h"

namespace snr {
namespace {

using test::DicomOptions;
using test::Element;
using test::TempFolder;

// What reading a file gives, or the text of the error it raised.
struct Read {
    SliceSource source;
    std::unique_ptr<SliceValues> values = std::make_unique<SliceValues>();
    std::string error;
};

Read read(const std::string& path)
{
    Read result;
    try {
        result.source = read_slice_values(path, *result.values);
    } catch (const Error& error) {
        result.error = error.what();
    }
    return result;
}

// Frames `first` on of a file of several, parsed (no layout) or by the layout its check kept.
std::vector<SliceValues> read_frames(const std::string& path, int first, int count, const DicomLayout* layout,
                                     std::vector<SliceSource>* sources = nullptr)
{
    std::vector<SliceValues> values(static_cast<std::size_t>(count));
    std::vector<SliceSource> read_sources(values.size());
    int frames_read = 0;
    const bool parsed = read_slice_frames(path, first, values, layout, read_sources, frames_read);
    EXPECT_EQ(parsed, layout == nullptr);
    EXPECT_EQ(frames_read, count);
    if (sources != nullptr)
        *sources = std::move(read_sources);
    return values;
}

StoredPixels masked(StoredPixels pixels, int mask)
{
    for (auto& value : pixels)
        value = static_cast<std::int16_t>(value & mask);
    return pixels;
}

// 12-bit signed values as scanners store them, the sign repeated above the high bit.
StoredPixels signed_12_bits(StoredPixels pixels)
{
    for (auto& value : pixels)
        value = static_cast<std::int16_t>(((value & 0x0FFF) ^ 0x0800) - 0x0800);
    return pixels;
}

TEST(ScannerExports, LosslessCompressionGivesTheSameValuesAsTheUncompressedFile)
{
    TempFolder tmp;
    struct Variant {
        const char* what;
        StoredPixels pixels;
        DicomOptions options;
    };
    const Variant variants[] = {
        {"signed 16 bits", test::ramp(), {}},
        {"unsigned 12 bits, rescaled", masked(test::ramp(), 0x0FFF),
         {.bits_stored = 12, .high_bit = 11, .pixel_representation = 0, .rescale_slope = "2.468",
          .rescale_intercept = "-5053"}},
        {"signed 12 bits", signed_12_bits(test::ramp()), {.bits_stored = 12, .high_bit = 11}},
    };
    for (const char* syntax : {test::jpeg_lossless, test::jpeg_lossless_any_predictor, test::jpeg_ls_lossless,
                               test::rle_lossless, test::deflated_little_endian}) {
        for (const Variant& variant : variants) {
            // DCMTK's JPEG-LS encoder cannot take signed values narrower than 16 bits.
            if (syntax == std::string(test::jpeg_ls_lossless) && variant.pixels == variants[2].pixels)
                continue;
            SCOPED_TRACE(std::string(syntax) + ", " + variant.what);
            const std::string plain = tmp.file("plain.dcm"), packed = tmp.file("packed.dcm");
            test::write_dicom(plain, variant.pixels, variant.options);
            DicomOptions options = variant.options;
            options.transfer_syntax = syntax;
            test::write_dicom(packed, variant.pixels, options);
            const auto plain_bytes = test::read_bytes(plain), packed_bytes = test::read_bytes(packed);
            ASSERT_EQ(std::search(packed_bytes.begin(), packed_bytes.end(), plain_bytes.end() - slice_bytes,
                                  plain_bytes.end()),
                      packed_bytes.end())
                << "the pixels are encoded";

            const Read expected = read(plain), got = read(packed);
            ASSERT_EQ(got.error, "");
            EXPECT_EQ(got.values->stored, expected.values->stored);
            EXPECT_EQ(std::tie(got.values->rescaled, got.values->slope, got.values->intercept),
                      std::tie(expected.values->rescaled, expected.values->slope, expected.values->intercept));
            EXPECT_EQ(got.source.attributes.transfer_syntax, syntax);
            EXPECT_EQ(got.source.attributes.pixel_offset, -1);
            EXPECT_EQ(check_slice(packed).refusal, "");
        }
    }

    // A private syntax: implicit VR little endian, its pixel words big endian.
    test::write_dicom(tmp.file("private.dcm"), test::ramp(), {.transfer_syntax = "1.2.840.113619.5.2"});
    const Read private_syntax = read(tmp.file("private.dcm"));
    ASSERT_EQ(private_syntax.error, "");
    EXPECT_EQ(private_syntax.values->stored, test::ramp());

    // Frames of their own, each decoded alone.
    const std::vector<StoredPixels> frames = {test::ramp(), test::filled(-7), masked(test::ramp(), 0x00FF)};
    for (const char* syntax : {test::jpeg_lossless, test::jpeg_ls_lossless, test::rle_lossless,
                               test::deflated_little_endian}) {
        SCOPED_TRACE(syntax);
        test::write_dicom_frames(tmp.file("frames.dcm"), frames, {.transfer_syntax = syntax});
        const auto values = read_frames(tmp.file("frames.dcm"), 1, 2, nullptr);
        EXPECT_EQ(values[0].stored, frames[1]);
        EXPECT_EQ(values[1].stored, frames[2]);
        EXPECT_EQ(check_slice(tmp.file("frames.dcm"), FrameRule::Several).frames.size(), 3u);
    }
}

TEST(ScannerExports, LossyOrUnsupportedCompressionIsRefusedByName)
{
    TempFolder tmp;
    const std::string lossy = "は非可逆圧縮の画像です。圧縮で雑音が変わるため測定できません (";
    const std::pair<DicomOptions, std::string> refusals[] = {
        {{.transfer_syntax = test::jpeg_baseline}, lossy + "JPEG Baseline, 1.2.840.10008.1.2.4.50)"},
        {{.transfer_syntax = test::jpeg_ls_near_lossless, .pixel_representation = 0},
         lossy + "JPEG-LS Lossy (Near-lossless), 1.2.840.10008.1.2.4.81)"},
        {{.transfer_syntax = test::jpeg_2000}, lossy + "JPEG 2000 (Lossless or Lossy), 1.2.840.10008.1.2.4.91)"},
        {{.transfer_syntax = test::jpeg_2000_lossless},
         "の転送構文には対応していません (JPEG 2000 (Lossless only), 1.2.840.10008.1.2.4.90)"},
        // Syntaxes newer than the toolkit.
        {{.meta_syntax = "1.2.840.10008.1.2.4.203"}, lossy + "HTJ2K, 1.2.840.10008.1.2.4.203)"},
        {{.meta_syntax = "1.2.840.10008.1.2.4.201"},
         "の転送構文には対応していません (HTJ2K (Lossless Only), 1.2.840.10008.1.2.4.201)"},
        // A lossless syntax over a stream that is not.
        {{.transfer_syntax = test::jpeg_lossless, .point_transform = 2},
         lossy + "JPEG Lossless, Non-hierarchical, 1st Order Prediction, Point Transform 2, 1.2.840.10008.1.2.4.70)"},
        {{.transfer_syntax = test::jpeg_ls_near_lossless, .pixel_representation = 0, .meta_syntax = test::jpeg_ls_lossless},
         lossy + "JPEG-LS Lossless, NEAR 2, 1.2.840.10008.1.2.4.80)"},
    };
    for (const auto& [options, message] : refusals) {
        SCOPED_TRACE(message);
        const std::string path = tmp.file("IM0001");
        test::write_dicom(path, test::ramp(), options);
        EXPECT_EQ(check_slice(path).refusal, message);
        EXPECT_EQ(read(path).error, "IM0001" + message);
    }
}

// Overwrites the transfer syntax UID in the file meta group with as many other characters.
void overwrite_syntax(const std::string& path, const std::string& uid)
{
    auto bytes = test::read_bytes(path);
    const auto at = std::search(bytes.begin(), bytes.begin() + 400, uid.begin(), uid.end());
    ASSERT_NE(at, bytes.begin() + 400);
    std::fill(at, at + static_cast<long>(uid.size()), 'x');
    test::write_bytes(path, bytes);
}

TEST(ScannerExports, AMetaGroupWithoutAKnownSyntaxLeavesTheSyntaxToDcmtksDetection)
{
    TempFolder tmp;
    const std::string path = tmp.file("IM0001");
    // The element emptied, missing or naming another UID; the UID's bytes overwritten in place.
    const std::pair<DicomOptions, bool> damaged[] = {{{.meta_syntax = ""}, false},
                                                     {{.meta_syntax_element = false}, false},
                                                     {{.meta_syntax = "1.2.840.10008.1.2.1x"}, false},
                                                     {{}, true}};
    for (const auto& [meta, overwritten] : damaged) {
        for (const char* syntax : {test::explicit_little_endian, test::implicit_little_endian, test::explicit_big_endian}) {
            SCOPED_TRACE(std::string(syntax) + " under " + meta.meta_syntax.value_or("another meta group"));
            DicomOptions options = meta;
            options.transfer_syntax = syntax;
            options.rescale_slope = "2.468";
            options.padding = 370;  // bytes after the Pixel Data
            const auto write = [&] {
                test::write_dicom(path, test::ramp(), options);
                if (overwritten)
                    overwrite_syntax(path, syntax);
            };
            write();
            const Read got = read(path);
            ASSERT_EQ(got.error, "");
            EXPECT_EQ(got.values->stored, test::ramp());
            EXPECT_TRUE(got.values->rescaled);
            EXPECT_TRUE(got.source.dicom && got.source.attributes.syntax_detected);
            EXPECT_EQ(got.source.attributes.transfer_syntax, syntax);

            options.rows = options.columns = 512;
            write();
            EXPECT_EQ(read(path).error, "IM0001は256×256の16ビット画像ではありません (512×512)");
        }
    }

    test::write_dicom(path, test::ramp(), {.pixel_data = false, .meta_syntax = ""});
    EXPECT_EQ(read(path).error, "IM0001には画素データがありません");
    test::write_dicom(path, test::ramp(), {.transfer_syntax = test::rle_lossless, .meta_syntax = ""});
    EXPECT_EQ(read(path).error, "IM0001の画素データは圧縮されていますが、転送構文が分かりません (記載なし)");

    // Only where DCMTK finds no data set does the tail rule read it; the reading says so.
    test::write_marked_slice(path, test::ramp());
    const Read marked = read(path);
    EXPECT_EQ(marked.error, "");
    EXPECT_EQ(marked.values->stored, test::ramp());
    EXPECT_TRUE(!marked.source.dicom && marked.source.dicm_marker);
    EXPECT_TRUE(check_slice(path).source.dicm_marker);
    test::write_slice(path, test::ramp());
    EXPECT_FALSE(read(path).source.dicm_marker);
}

TEST(ScannerExports, AByteDamagedAnywhereInTheMetaGroupLeavesTheFilesValues)
{
    TempFolder tmp;
    const std::string path = tmp.file("IM0001");
    for (const char* syntax : {test::explicit_little_endian, test::implicit_little_endian, test::explicit_big_endian}) {
        SCOPED_TRACE(syntax);
        test::write_dicom(path, test::ramp(), {.transfer_syntax = syntax, .rescale_slope = "2.468", .padding = 10});
        const auto bytes = test::read_bytes(path);
        const Read healthy = read(path);
        ASSERT_EQ(healthy.error, "");
        // The group length and every element of the meta group, one byte at a time.
        const std::size_t meta_end = 144 + (bytes[140] | bytes[141] << 8);
        for (std::size_t at = 132; at < meta_end; ++at) {
            auto damaged = bytes;
            damaged[at] ^= 0xFF;
            test::write_bytes(path, damaged);
            const Read got = read(path);
            ASSERT_EQ(got.error, "") << "byte " << at;
            ASSERT_TRUE(got.source.dicom) << "byte " << at;
            ASSERT_EQ(got.values->stored, healthy.values->stored) << "byte " << at;
            ASSERT_EQ(got.values->slope, healthy.values->slope) << "byte " << at;
        }
    }

    // A meta group naming explicit VR over an implicit data set.
    test::write_dicom(path, test::ramp(), {.transfer_syntax = test::implicit_little_endian, .rescale_slope = "2",
                                           .meta_syntax = test::explicit_little_endian});
    const Read mislabelled = read(path);
    ASSERT_EQ(mislabelled.error, "");
    EXPECT_EQ(mislabelled.values->stored, test::ramp());
    EXPECT_EQ(mislabelled.source.attributes.transfer_syntax, test::implicit_little_endian);
}

// Attributes an enhanced image keeps in functional groups, as elements.
Element spacing(const char* value) { return {0x0028, 0x0030, value}; }
Element position(const char* value) { return {0x0020, 0x0032, value}; }
Element slope(const char* value) { return {0x0028, 0x1053, value}; }
Element intercept(const char* value) { return {0x0028, 0x1052, value}; }

TEST(ScannerExports, EachFrameOfAnEnhancedImageTakesItsOwnGroupsThenTheSharedOnes)
{
    TempFolder tmp;
    const std::string path = tmp.file("IM0001");

    // One frame, its rescale in the shared groups: the rescale applies.
    test::write_dicom(path, test::filled(100), {.rescale_slope = "2.5", .rescale_intercept = "-7", .enhanced = true});
    Samples samples{};
    const SliceSource one = read_slice(path, samples);
    EXPECT_EQ(samples[0], 243.0);
    EXPECT_EQ(one.attributes.rescale_slope + "|" + one.attributes.rescale_intercept, "2.5|-7");
    EXPECT_EQ(one.attributes.sop_class_uid, test::enhanced_mr_image);

    // Three frames: the second has a rescale and a position of its own.
    const DicomOptions enhanced{
        .rescale_slope = "2",
        .rescale_intercept = "0",
        .enhanced = true,
        .elements = {spacing("0.9\\0.9"), position("1\\2\\3"), {0x0018, 0x0080, "500"}, {0x0018, 0x9082, "15"},
                     {0x0018, 0x1250, "Head 32"}, {0x0018, 0x0081, "99"}},
        .frame_elements = {{}, {slope("4"), intercept("1"), position("1\\2\\8")}, {}},
    };
    const std::vector<StoredPixels> frames = {test::filled(10), test::filled(20), test::filled(30)};
    test::write_dicom_frames(path, frames, enhanced);
    const SliceCheck check = check_slice(path, FrameRule::Several);
    ASSERT_EQ(check.refusal, "");
    ASSERT_EQ(check.frames.size(), 3u);
    std::vector<SliceSource> sources;
    const auto values = read_frames(path, 0, 3, nullptr, &sources);
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const DicomAttributes& frame = sources[static_cast<std::size_t>(k)].attributes;
        EXPECT_EQ(frame.rescale_slope, k == 1 ? "4" : "2");
        EXPECT_EQ(values[static_cast<std::size_t>(k)].slope, k == 1 ? 4 : 2);
        EXPECT_EQ(values[static_cast<std::size_t>(k)].intercept, k == 1 ? 1 : 0);
        EXPECT_EQ(frame.image_position, k == 1 ? "1\\2\\8" : "1\\2\\3");
        EXPECT_EQ(frame.pixel_spacing + "|" + frame.repetition_time + "|" + frame.echo_time + "|" + frame.receive_coil,
                  "0.9\\0.9|500|15|Head 32");
        EXPECT_EQ(frame.frame, k);
        EXPECT_EQ(frame.frames, 3);
        EXPECT_EQ(check.frames[static_cast<std::size_t>(k)].image_position, frame.image_position);
    }
    // The layout the check kept reads the same.
    const auto known = read_frames(path, 1, 2, &check.layout);
    EXPECT_EQ(known[0].stored, values[1].stored);
    EXPECT_EQ(std::tie(known[0].slope, known[1].slope), std::tie(values[1].slope, values[2].slope));

    // Functional groups that do not fit the frames, and a frame that would be blank.
    DicomOptions uneven = enhanced;
    uneven.frame_elements.pop_back();
    test::write_dicom_frames(path, frames, uneven);
    EXPECT_EQ(check_slice(path, FrameRule::Several).refusal,
              "の機能グループの数がフレーム数と合いません (2項目, 3フレーム)");
    DicomOptions blank = enhanced;
    blank.frame_elements[2] = {slope("0"), intercept("5")};
    test::write_dicom_frames(path, frames, blank);
    EXPECT_EQ(check_slice(path, FrameRule::Several).refusal,
              "のフレーム3のリスケール値が使えません (Rescale Slope 0, Rescale Intercept 5)");
}

TEST(ScannerExports, FramesAreSlicesWhereSeveralAreTakenAndRefusedByCountWhereOneIs)
{
    TempFolder tmp;
    const std::string path = tmp.file("IM0001");
    const std::vector<StoredPixels> frames = {test::ramp(), test::filled(-3), test::filled(32767)};
    test::write_dicom_frames(path, frames, {.rescale_slope = "0.5", .padding = 10});

    EXPECT_EQ(check_slice(path).refusal, "は1フレームの画像ではありません (3フレーム)");
    EXPECT_EQ(read(path).error, "IM0001は1フレームの画像ではありません (3フレーム)");
    const SliceCheck check = check_slice(path, FrameRule::Several);
    ASSERT_EQ(check.refusal, "");
    ASSERT_GE(check.layout.size, 0);
    for (const DicomLayout* layout : {static_cast<const DicomLayout*>(nullptr), &check.layout}) {
        const auto values = read_frames(path, 0, 3, layout);
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(values[k].stored, frames[k]);
            EXPECT_EQ(values[k].slope, 0.5L);
        }
    }
    std::vector<SliceValues> beyond(2);
    std::vector<SliceSource> sources(2);
    int frames_read = 0;
    EXPECT_THROW(read_slice_frames(path, 2, beyond, nullptr, sources, frames_read), UnreadableImage);

    // Frames read whole before a refusal are counted; the check refuses the file for any frame.
    std::vector<StoredPixels> bright(3, test::filled(5));
    bright[2][9] = static_cast<std::int16_t>(40000);
    test::write_dicom_frames(path, bright, {.pixel_representation = 0});
    EXPECT_EQ(check_slice(path, FrameRule::Several).refusal, "には32767を超える画素値があります (40000)");
    std::vector<SliceValues> three(3);
    std::vector<SliceSource> three_sources(3);
    EXPECT_THROW(read_slice_frames(path, 0, three, nullptr, three_sources, frames_read), UnreadableImage);
    EXPECT_EQ(frames_read, 2);
    EXPECT_EQ(three[1].stored[0], 5);

    // A raw file is one slice.
    test::write_slice(tmp.file("raw"), test::ramp());
    EXPECT_TRUE(check_slice(tmp.file("raw"), FrameRule::Several).frames.empty());
    EXPECT_EQ(read_frames(tmp.file("raw"), 0, 1, nullptr)[0].stored, test::ramp());
}

TEST(ScannerExports, TheFactsOfAnImageAreTakenAsWritten)
{
    TempFolder tmp;
    const std::string path = tmp.file("IM0001");
    const std::vector<Element> facts = {
        {0x0008, 0x0005, "ISO_IR 100"}, {0x0008, 0x0020, "20240105"}, {0x0008, 0x0022, "20240106"},
        {0x0008, 0x0030, "101500"}, {0x0008, 0x0032, "101530.25"}, {0x0008, 0x0050, "A123"},
        {0x0008, 0x0090, "Doe^Ref"}, {0x0008, 0x1010, "MRC1"}, {0x0010, 0x0010, "Phantom^Water"},
        {0x0010, 0x0020, "QA-1"}, {0x0010, 0x0030, "20000101"}, {0x0010, 0x0040, "O"}, {0x0018, 0x0024, "*se2d1"},
        {0x0018, 0x0080, "500"}, {0x0018, 0x0081, "15"}, {0x0018, 0x0087, "1.5"}, {0x0018, 0x1000, "12345"},
        {0x0018, 0x1030, "SNR_SE"}, {0x0018, 0x1250, "Body"}, {0x0020, 0x000D, "1.2.3"}, {0x0020, 0x000E, "1.2.3.4"}, {0x0020, 0x0010, "7"},
        {0x0020, 0x0032, "-125\\-125\\0"}, {0x0020, 0x0037, "1\\0\\0\\0\\1\\0"}, {0x0020, 0x0052, "1.2.3.5"},
        {0x0028, 0x0030, "0.9765625\\0.9765625"}, {0x0008, 0x0021, "20240106"}, {0x0008, 0x0031, "101455"},
        {0x0008, 0x0080, "Klinik S\xfc" "d"}, {0x0018, 0x0020, "SE"}, {0x0018, 0x0083, "2"}, {0x0018, 0x0095, "130"},
        {0x0018, 0x1020, "syngo MR E11\\N4_VE11E"}, {0x0018, 0x1314, "90"}, {0x0018, 0x0050, "5"},
    };
    test::write_dicom(path, test::ramp(), {.manufacturer = "Maker", .model = "M1", .series_number = "3",
                                           .series_description = "SNR", .elements = facts});
    const DicomAttributes a = read(path).source.attributes;
    EXPECT_EQ(a.specific_character_set + "|" + a.study_date + "|" + a.acquisition_date + "|" + a.study_time + "|" +
                  a.acquisition_time + "|" + a.accession_number + "|" + a.referring_physician + "|" + a.station_name,
              "ISO_IR 100|20240105|20240106|101500|101530.25|A123|Doe^Ref|MRC1");
    EXPECT_EQ(a.patient_name + "|" + a.patient_id + "|" + a.patient_birth_date + "|" + a.patient_sex,
              "Phantom^Water|QA-1|20000101|O");
    EXPECT_EQ(a.sequence_name + "|" + a.repetition_time + "|" + a.echo_time + "|" + a.magnetic_field_strength + "|" +
                  a.device_serial_number + "|" + a.protocol_name + "|" + a.receive_coil,
              "*se2d1|500|15|1.5|12345|SNR_SE|Body");
    EXPECT_EQ(a.study_instance_uid + "|" + a.series_instance_uid + "|" + a.study_id + "|" + a.frame_of_reference_uid,
              "1.2.3|1.2.3.4|7|1.2.3.5");
    EXPECT_EQ(a.image_position + "|" + a.image_orientation + "|" + a.pixel_spacing,
              "-125\\-125\\0|1\\0\\0\\0\\1\\0|0.9765625\\0.9765625");
    EXPECT_EQ(a.manufacturer + "|" + a.model + "|" + a.series_number + "|" + a.series_description + "|" +
                  a.sop_class_uid + "|" + a.sop_instance_uid,
              "Maker|M1|3|SNR|1.2.840.10008.5.1.4.1.1.4|1.2.826.0.1.3680043.2.1143.1");
    EXPECT_EQ(std::tie(a.rows, a.columns, a.frames, a.frame), std::make_tuple(256u, 256u, 1, 0));
    // The acquisition's facts a QA record keeps; a text in the file's character set.
    EXPECT_EQ(a.series_date + "|" + a.series_time + "|" + a.institution_name + "|" + a.scanning_sequence + "|" +
                  a.number_of_averages + "|" + a.pixel_bandwidth + "|" + a.software_versions + "|" + a.flip_angle +
                  "|" + a.slice_thickness,
              "20240106|101455|Klinik Süd|SE|2|130|syngo MR E11\\N4_VE11E|90|5");

    // An enhanced image's acquisition time is its frame's, without the offset from UTC.
    // The averages, the bandwidth, the thickness and the flip angle come from its groups.
    test::write_dicom(path, test::ramp(),
                      {.enhanced = true,
                       .elements = {{0x0018, 0x0083, "4"}, {0x0018, 0x0095, "250"}, {0x0018, 0x0050, "3"},
                                    {0x0018, 0x1314, "15"}},
                       .frame_elements = {{{0x0018, 0x9074, "20240106101530.25+0900"}}}});
    const DicomAttributes enhanced = read(path).source.attributes;
    EXPECT_EQ(enhanced.acquisition_date + "|" + enhanced.acquisition_time, "20240106|101530.25");
    EXPECT_EQ(enhanced.number_of_averages + "|" + enhanced.pixel_bandwidth + "|" + enhanced.slice_thickness + "|" +
                  enhanced.flip_angle,
              "4|250|3|15");
}

// Texts in a file's own character set come out in UTF-8; bytes the set does not decode stay.
TEST(ScannerExports, TextsInTheFilesCharacterSetAreTakenAsUtf8)
{
    TempFolder tmp;
    const std::string path = tmp.file("IM0001");
    const std::string jis_head = "\x1b$B\x46\x2c\x49\x74\x1b(B";             // 頭部 in ISO 2022 IR 87
    const std::string jis_name = "\x1b$B\x3b\x33\x45\x44\x1b(B^\x1b$B\x42\x40\x4f\x3a\x1b(B";  // 山田^太郎
    test::write_dicom(path, test::ramp(),
                      {.series_description = "SNR " + jis_head,
                       .elements = {{0x0008, 0x0005, "\\ISO 2022 IR 87"}, {0x0010, 0x0010, jis_name},
                                    {0x0018, 0x1250, "Head " + jis_head}}});
    DicomAttributes a = read(path).source.attributes;
    EXPECT_EQ(a.series_description, "SNR 頭部");
    EXPECT_EQ(a.patient_name, "山田^太郎");
    EXPECT_EQ(a.receive_coil, "Head 頭部");
    EXPECT_EQ(a.specific_character_set, "\\ISO 2022 IR 87");
    // Half-width katakana as bytes of G1 where ISO 2022 IR 13 comes first.
    test::write_dicom(path, test::ramp(),
                      {.elements = {{0x0008, 0x0005, "ISO 2022 IR 13\\ISO 2022 IR 87"},
                                    {0x0018, 0x1250, "\xba\xb2\xd9 " + jis_head}}});
    EXPECT_EQ(read(path).source.attributes.receive_coil, "ｺｲﾙ 頭部");

    test::write_dicom(path, test::ramp(),
                      {.elements = {{0x0008, 0x0005, "ISO_IR 100"}, {0x0018, 0x1250, "Kopfsp\xfcle"}}});
    EXPECT_EQ(read(path).source.attributes.receive_coil, "Kopfspüle");

    // UTF-8 as declared is kept; a byte ISO 2022 IR 87 cannot decode leaves the text as written.
    test::write_dicom(path, test::ramp(), {.elements = {{0x0008, 0x0005, "ISO_IR 192"}, {0x0018, 0x1250, "頭部"}}});
    EXPECT_EQ(read(path).source.attributes.receive_coil, "頭部");
    const std::string broken = "\x1b$B\xff\xfe\x1b(B";
    test::write_dicom(path, test::ramp(),
                      {.elements = {{0x0008, 0x0005, "\\ISO 2022 IR 87"}, {0x0018, 0x1250, broken}}});
    EXPECT_EQ(read(path).source.attributes.receive_coil, broken);
}

}  // namespace
}  // namespace snr
