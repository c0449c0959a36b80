// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdicent.h>
#include <dcmtk/dcmdata/dcdict.h>

#include "core/dicom_dictionary.h"
#include "core/dicom_image.h"
#include "core/dicom_stream.h"

#include "core/slice_file.h"
#include "tests/support/dicom_writer.h"
#include "tests/support/temp_folder.h"

namespace snr {
namespace {

using test::DicomOptions;
using test::TempFolder;

// What reading a file gives: its source, or the text of the error it raised.
struct Outcome {
    SliceSource source;
    std::string error;
};

Outcome read(const std::string& path, Samples& samples)
{
    try {
        return {read_slice(path, samples), ""};
    } catch (const Error& error) {
        return {{}, error.what()};
    }
}

TEST(DicomImage, PixelDataIsReadWhereverItLiesInEveryNativeTransferSyntax)
{
    TempFolder tmp;
    const StoredPixels pixels = test::ramp();
    for (const char* syntax : {test::explicit_little_endian, test::implicit_little_endian, test::explicit_big_endian}) {
        for (std::size_t padding : {0, 370}) {
            SCOPED_TRACE(std::string(syntax) + " with padding " + std::to_string(padding));
            const std::string path = tmp.file("image.dcm");
            test::write_dicom(path, pixels, {.transfer_syntax = syntax, .manufacturer = "Maker", .model = "M1",
                                             .series_number = "12", .series_description = "SNR test",
                                             .padding = padding});
            Samples samples{};
            const Outcome outcome = read(path, samples);
            ASSERT_EQ(outcome.error, "");
            EXPECT_EQ(samples, test::as_samples(pixels));

            const DicomAttributes& dicom = outcome.source.attributes;
            EXPECT_TRUE(outcome.source.dicom);
            EXPECT_EQ(dicom.transfer_syntax, syntax);
            EXPECT_EQ(dicom.manufacturer + "|" + dicom.model + "|" + dicom.series_number + "|" +
                          dicom.series_description + "|" + dicom.rescale_slope + dicom.rescale_intercept,
                      "Maker|M1|12|SNR test|");
            const auto bytes = test::read_bytes(path);
            const std::size_t after = padding == 0 ? 0 : padding + (syntax == test::implicit_little_endian ? 8 : 12);
            EXPECT_EQ(dicom.pixel_offset, static_cast<long long>(bytes.size() - after) - slice_bytes);
            EXPECT_TRUE(check_slice(path).source.dicom);
        }
    }
}

TEST(DicomImage, TheRescaleIsAppliedOnceInExtendedPrecisionAndTheStoredBitsAreHonoured)
{
    TempFolder tmp;
    const std::string path = tmp.file("image.dcm");
    const StoredPixels pixels = test::filled(-32749);
    Samples samples{};

    test::write_dicom(path, pixels, {.rescale_slope = "2.468", .rescale_intercept = "-5053"});
    const SliceSource source = read_slice(path, samples);
    EXPECT_EQ(samples[0], static_cast<double>(-32749 * 2.468L - 5053));
    const volatile double slope = 2.468;
    EXPECT_NE(samples[0], -32749 * slope - 5053);  // rounded once, not after the product
    EXPECT_EQ(source.attributes.rescale_slope, "2.468");
    EXPECT_EQ(source.attributes.rescale_intercept, "-5053");

    test::write_dicom(path, pixels, {.rescale_slope = " +1.0 ", .rescale_intercept = "0"});
    read_slice(path, samples);
    EXPECT_EQ(samples[0], -32749.0);

    // 12 stored bits: what lies above the high bit is no part of the value.
    StoredPixels marked = test::filled(static_cast<std::int16_t>(0x7000 | 0x0FFB));
    test::write_dicom(path, marked, {.bits_stored = 12, .high_bit = 11, .pixel_representation = 1});
    read_slice(path, samples);
    EXPECT_EQ(samples[0], -5.0);
    test::write_dicom(path, marked, {.bits_stored = 12, .high_bit = 11, .pixel_representation = 0});
    read_slice(path, samples);
    EXPECT_EQ(samples[0], 4091.0);
    test::write_dicom(path, test::filled(32767), {.pixel_representation = 0});
    read_slice(path, samples);
    EXPECT_EQ(samples[0], 32767.0);
}

struct Refusal {
    const char* what;
    std::function<void(const std::string&)> write;
    std::string message;
};

void cut(const std::string& path, std::uintmax_t bytes_left) { std::filesystem::resize_file(path, bytes_left); }

TEST(DicomImage, WhatCannotBeHeldAsOneSliceIsRefusedWithItsReason)
{
    TempFolder tmp;
    const StoredPixels pixels = test::ramp();
    auto dicom = [&](DicomOptions options) {
        return [&, options](const std::string& path) { test::write_dicom(path, pixels, options); };
    };
    const Refusal refusals[] = {
        {"another matrix", dicom({.rows = 512, .columns = 512}), "は256×256の16ビット画像ではありません (512×512)"},
        {"8 bits", dicom({.bits_allocated = 8, .bits_stored = 8, .high_bit = 7}),
         "は256×256の16ビット画像ではありません (8ビット)"},
        {"colour", dicom({.samples_per_pixel = 3, .photometric = "RGB"}), "はモノクロ画像ではありません (3サンプル/画素)"},
        {"two frames", dicom({.frames = 2}), "は1フレームの画像ではありません (2フレーム)"},
        {"no pixel data", dicom({.pixel_data = false}), "には画素データがありません"},
        {"float pixels", dicom({.pixel_data = false, .elements = {{0x7FE0, 0x0008, "1.5\\2.5"}}}),
         "は浮動小数点の画素の画像です。測定できるのは16ビットの画像です (Float Pixel Data)"},
        {"a parametric map, deflated",
         dicom({.transfer_syntax = test::deflated_little_endian,
                .pixel_data = false,
                .elements = {{0x0008, 0x0016, "1.2.840.10008.5.1.4.1.1.30"}, {0x7FE0, 0x0009, "1.5\\2.5"}}}),
         "は浮動小数点の画素の画像です。測定できるのは16ビットの画像です (パラメトリックマップ, Double Float Pixel "
         "Data)"},
        {"lossy compression", dicom({.transfer_syntax = test::jpeg_baseline}),
         "は非可逆圧縮の画像です。圧縮で雑音が変わるため測定できません (JPEG Baseline, 1.2.840.10008.1.2.4.50)"},
        {"a lossless syntax whose fragment is no stream of it", dicom({.transfer_syntax = test::rle_lossless, .encoded = false}),
         "の画素データが壊れています (RLE: セグメントの数が2ではありません (2329381584))"},
        {"unsigned above 32767",
         [&](const std::string& path) {
             StoredPixels bright = test::filled(100);
             bright[5] = static_cast<std::int16_t>(40000);
             test::write_dicom(path, bright, {.pixel_representation = 0});
         },
         "には32767を超える画素値があります (40000)"},
        {"stored bits beyond the high bit", dicom({.bits_stored = 12, .high_bit = 15}),
         "の画素の形式には対応していません (Bits Stored 12, High Bit 15, Pixel Representation 1)"},
        {"rescale not a number", dicom({.rescale_slope = "2.5\\3", .rescale_intercept = "0"}),
         "のリスケール値が読めません (Rescale Slope 2.5\\3, Rescale Intercept 0)"},
        {"rescale beyond double", dicom({.rescale_slope = "1e308"}),
         "のリスケール値が読めません (Rescale Slope 1e308)"},
        {"rescale slope 0", dicom({.rescale_slope = "-0.0", .rescale_intercept = "12"}),
         "のリスケール値が使えません (Rescale Slope -0.0, Rescale Intercept 12)"},
        {"rescale slope not finite", dicom({.rescale_slope = "inf"}), "のリスケール値が読めません (Rescale Slope inf)"},
        {"items nested too deep for the parser", dicom({.nesting = 1001}),
         "はDICOMファイルとして読めません (項目の入れ子が深すぎます)"},
        {"cut in the pixels",
         [&](const std::string& path) {
             test::write_dicom(path, pixels);
             cut(path, std::filesystem::file_size(path) - 2);
         },
         "は途中で切れています"},
        {"cut before the pixels",
         [&](const std::string& path) {
             test::write_dicom(path, pixels, {.series_description = std::string(200, 'x')});
             cut(path, 400);
         },
         "はDICOMファイルとして読めません (壊れているか途中で切れています)"},
    };
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        const std::string path = tmp.file("IM0001");
        refusal.write(path);
        EXPECT_EQ(check_slice(path).refusal, refusal.message);
        Samples samples = test::as_samples(test::filled(9));
        EXPECT_EQ(read(path, samples).error, "IM0001" + refusal.message);
        EXPECT_EQ(samples[0], 9.0) << "the samples are not touched";
    }
    EXPECT_THROW(read_slice(tmp.file("IM0001"), *std::make_unique<Samples>()), UnreadableImage);
}

TEST(DicomImage, AFileWithTheMarkerInWhichDcmtkFindsNoDataSetKeepsTheTailRule)
{
    // Whatever marker it carries; the reading tells the marked ones.
    TempFolder tmp;
    const StoredPixels pixels = test::ramp();
    // A meta group that holds only its version.
    std::string head = std::string(128, '\0') + "DICM" + std::string("\x02\x00\x01\x00OB\0\0\x02\0\0\0\0\x01", 14);
    test::write_slice(tmp.file("raw0"), pixels, 0);
    const auto tail = test::read_bytes(tmp.file("raw0"));
    head.append(tail.begin(), tail.end());
    test::write_bytes(tmp.file("no syntax"), std::vector<std::uint8_t>(head.begin(), head.end()));
    test::write_marked_slice(tmp.file("marked"), pixels);

    for (const char* name : {"no syntax", "marked", "raw0"}) {
        Samples samples{};
        const Outcome outcome = read(tmp.file(name), samples);
        EXPECT_EQ(outcome.error, "") << name;
        EXPECT_FALSE(outcome.source.dicom) << name;
        EXPECT_EQ(samples, test::as_samples(pixels)) << name;
        EXPECT_EQ(check_slice(tmp.file(name)).refusal, "") << name;
        EXPECT_EQ(outcome.source.dicm_marker, name != std::string("raw0")) << name;
    }
}

// Overwrites bytes of a file in place; its size stays.
void patch(const std::string& path, long long offset, const std::vector<std::uint8_t>& bytes)
{
    auto content = test::read_bytes(path);
    std::copy(bytes.begin(), bytes.end(), content.begin() + offset);
    test::write_bytes(path, content);
}

TEST(DicomImage, ACheckedImageIsReadWithoutAParseOnlyWhileItIsAsTheCheckFoundIt)
{
    TempFolder tmp;
    const std::string path = tmp.file("image.dcm");
    for (const char* syntax : {test::explicit_little_endian, test::implicit_little_endian, test::explicit_big_endian}) {
        for (const char* slope : {"", "2.468"}) {
            SCOPED_TRACE(std::string(syntax) + " slope " + slope);
            test::write_dicom(path, test::ramp(), {.transfer_syntax = syntax, .rescale_slope = slope, .padding = 370});
            const SliceCheck check = check_slice(path);
            ASSERT_GE(check.layout.size, 0);
            Samples known{}, parsed{};
            const SliceSource source = read_slice(path, known, &check.layout);
            read_slice(path, parsed);
            EXPECT_EQ(known, parsed);
            EXPECT_EQ(source.attributes.pixel_offset, check.source.attributes.pixel_offset);
        }
    }

    test::write_dicom(path, test::filled(7));
    const SliceCheck check = check_slice(path);
    const long long pixels_at = check.source.attributes.pixel_offset;
    Samples samples{};

    // New pixels under the same head are read as they are now.
    patch(path, pixels_at, {9, 0});
    read_slice(path, samples, &check.layout);
    EXPECT_EQ(samples[0], 9.0);
    EXPECT_EQ(samples[1], 7.0);

    // A head changed since (Pixel Representation 1 -> 0, same size) is parsed again and refused
    // for its values, never read with the checked format (which would give -1).
    test::write_dicom(path, test::filled(-1), {.pixel_representation = 0});
    EXPECT_EQ(test::read_bytes(path).size(), static_cast<std::size_t>(check.layout.size));
    EXPECT_THROW(read_slice(path, samples, &check.layout), UnreadableImage);

    // Another size is parsed again as well.
    test::write_dicom(path, test::filled(5), {.padding = 370});
    read_slice(path, samples, &check.layout);
    EXPECT_EQ(samples[0], 5.0);

    // Nothing is kept of a raw file or a refused image.
    test::write_slice(tmp.file("raw"), 3);
    EXPECT_LT(check_slice(tmp.file("raw")).layout.size, 0);
    test::write_dicom(path, test::filled(1), {.rows = 512});
    EXPECT_LT(check_slice(path).layout.size, 0);
}

TEST(DicomImage, TheParsersStreamCountsItemTagsInEitherByteOrderAcrossItsReads)
{
    TempFolder tmp;
    const std::string path = tmp.file("items");
    // Tags in both orders, some split between two reads of 4,093 bytes, among bytes of no tag.
    std::vector<std::uint8_t> bytes;
    int tags = 0;
    while (tags <= most_items) {
        const bool little = tags % 3 != 0;
        bytes.insert(bytes.end(), little ? std::initializer_list<std::uint8_t>{0xFE, 0xFF, 0x00, 0xE0}
                                         : std::initializer_list<std::uint8_t>{0xFF, 0xFE, 0xE0, 0x00});
        bytes.insert(bytes.end(), static_cast<std::size_t>(tags % 5), 0xFE);
        ++tags;
    }
    test::write_bytes(path, bytes);
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    FileStream stream(fd, static_cast<long long>(bytes.size()));
    std::vector<unsigned char> buffer(4093);
    long long read = 0;
    while (stream.good() && read < static_cast<long long>(bytes.size()) - 4)
        read += stream.read(buffer.data(), 4093);
    EXPECT_TRUE(stream.too_many_items());
    EXPECT_FALSE(stream.good());
    // It stops at the tag too many, not before.
    EXPECT_GT(read + 4093, static_cast<long long>(bytes.size()) - 10 * 4093);
    ::close(fd);
}

using EntryFields = std::tuple<int, int, int, int, int, int, int, int, int, std::string, std::string, std::string>;

EntryFields fields(const DcmDictEntry& entry)
{
    const auto text = [](const char* value) { return value == nullptr ? std::string("(none)") : std::string(value); };
    return {entry.getGroup(),       entry.getElement(),          entry.getUpperGroup(),
            entry.getUpperElement(), entry.getEVR(),              entry.getGroupRangeRestriction(),
            entry.getElementRangeRestriction(), entry.getVMMin(), entry.getVMMax(),
            text(entry.getTagName()), text(entry.getStandardVersion()), text(entry.getPrivateCreator())};
}

// Normal entries in any order (a hash table's), repeating ones in theirs: a search takes the first that covers a tag.
std::pair<std::vector<EntryFields>, std::vector<EntryFields>> entries_of(DcmDataDictionary& dictionary)
{
    std::vector<EntryFields> normal, repeating;
    for (auto it = dictionary.normalBegin(); it != dictionary.normalEnd(); ++it)
        normal.push_back(fields(**it));
    for (auto it = dictionary.repeatingBegin(); it != dictionary.repeatingEnd(); ++it)
        repeating.push_back(fields(**it));
    std::sort(normal.begin(), normal.end());
    return {normal, repeating};
}

TEST(DicomDictionary, TheTableGivesTheDictionaryThatLoadingDcmtksStandardFileGives)
{
    const std::string defaults = DCM_DICT_DEFAULT_PATH;
    const std::string file = defaults.substr(0, defaults.find(ENVIRONMENT_PATH_SEPARATOR));
    DcmDataDictionary loaded(OFFalse, OFFalse), built(OFFalse, OFFalse);
    ASSERT_TRUE(loaded.loadDictionary(file.c_str()));
    add_standard_dictionary(built);

    EXPECT_EQ(built.numberOfEntries(), loaded.numberOfEntries());
    EXPECT_GT(standard_dictionary_size(), 4000);
    // Else a writer adds it all again each time, under the readers of other threads.
    EXPECT_TRUE(has_standard_entries(built));
    EXPECT_TRUE(has_standard_entries(loaded));
    const auto [loaded_normal, loaded_repeating] = entries_of(loaded);
    const auto [built_normal, built_repeating] = entries_of(built);
    EXPECT_TRUE(built_normal == loaded_normal);
    EXPECT_TRUE(built_repeating == loaded_repeating);
}

// What reading a file gives, all of it.
struct FullOutcome {
    SliceSource source;
    StoredPixels stored{};
    bool rescaled = false;
    long double slope = 0, intercept = 0;
    std::string error;
    bool operator==(const FullOutcome& other) const
    {
        const DicomAttributes& a = source.attributes;
        const DicomAttributes& b = other.source.attributes;
        return std::tie(source.dicom, a.transfer_syntax, a.manufacturer, a.model, a.series_number,
                        a.series_description, a.rescale_slope, a.rescale_intercept, a.pixel_offset, stored, rescaled,
                        slope, intercept, error, a.pixel_spacing, a.echo_time, a.sop_class_uid) ==
               std::tie(other.source.dicom, b.transfer_syntax, b.manufacturer, b.model, b.series_number,
                        b.series_description, b.rescale_slope, b.rescale_intercept, b.pixel_offset, other.stored,
                        other.rescaled, other.slope, other.intercept, other.error, b.pixel_spacing, b.echo_time,
                        b.sop_class_uid);
    }
};

FullOutcome read_fully(const std::string& path)
{
    FullOutcome outcome;
    auto values = std::make_unique<SliceValues>();
    try {
        outcome.source = read_slice_values(path, *values);
        outcome.stored = values->stored;
        outcome.rescaled = values->rescaled;
        outcome.slope = values->slope;
        outcome.intercept = values->intercept;
    } catch (const Error& error) {
        outcome.error = error.what();
    }
    return outcome;
}

TEST(DicomDictionary, ImagesParseToTheSameValuesWithTheReadersEntriesAsWithTheWholeDictionary)
{
    prepare_dicom_reading();
    if (has_standard_entries(dcmDataDict.rdlock())) {
        dcmDataDict.rdunlock();
        GTEST_SKIP() << "the dictionary was made earlier in this process (ctest runs each test alone)";
    }
    dcmDataDict.rdunlock();

    // Written by a child, whose writer makes the whole dictionary in its process only. A
    // sequence of defined length in implicit VR is bytes to the reader's dictionary.
    TempFolder tmp;
    const std::vector<std::pair<std::string, DicomOptions>> files = {
        {"implicit", {.transfer_syntax = test::implicit_little_endian, .rescale_slope = "2.5",
                      .rescale_intercept = "-7", .manufacturer = "Maker", .model = "M1", .series_number = "12",
                      .series_description = "SNR test", .nesting = 2, .padding = 370}},
        {"implicit_unsigned", {.transfer_syntax = test::implicit_little_endian, .pixel_representation = 0}},
        {"implicit_refused", {.transfer_syntax = test::implicit_little_endian, .rows = 512, .columns = 512}},
        {"big_endian", {.transfer_syntax = test::explicit_big_endian, .bits_stored = 12, .high_bit = 11,
                        .nesting = 1}},
        {"explicit", {.frames = 2}},
        // Functional groups nest only where the dictionary knows their sequences.
        {"enhanced_implicit", {.transfer_syntax = test::implicit_little_endian, .rescale_slope = "2.5",
                               .rescale_intercept = "-7", .enhanced = true,
                               .elements = {{0x0028, 0x0030, "0.9\\0.9"}, {0x0018, 0x9082, "15"}}}},
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (const auto& [name, options] : files)
            test::write_dicom(tmp.file(name), test::ramp(), options);
        std::_Exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    std::vector<FullOutcome> with_reader_entries;
    for (const auto& file : files)
        with_reader_entries.push_back(read_fully(tmp.file(file.first)));
    ASSERT_FALSE(has_standard_entries(dcmDataDict.rdlock()));
    dcmDataDict.rdunlock();
    EXPECT_EQ(with_reader_entries[0].source.attributes.manufacturer, "Maker");
    EXPECT_EQ(with_reader_entries[0].stored, test::ramp());
    EXPECT_TRUE(with_reader_entries[0].rescaled);
    EXPECT_EQ(with_reader_entries[2].error, "implicit_refusedは256×256の16ビット画像ではありません (512×512)");
    EXPECT_TRUE(with_reader_entries[5].rescaled);
    EXPECT_EQ(with_reader_entries[5].source.attributes.echo_time, "15");

    prepare_dicom_writing();
    for (std::size_t k = 0; k < files.size(); ++k)
        EXPECT_TRUE(read_fully(tmp.file(files[k].first)) == with_reader_entries[k]) << files[k].first;
}

}  // namespace
}  // namespace snr

