// SPDX-License-Identifier: BSD-3-Clause
// Compressed and enhanced images damaged after they were written: each is refused by name
// before a sample of it is used, and what is whole however it is cut into fragments still reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include "core/slice_file.h"
#include "tests/support/dicom_writer.h"
#include "tests/support/temp_folder.h"

namespace snr {
namespace {

using test::DicomOptions;
using test::Fragments;
using test::TempFolder;
using Bytes = std::vector<std::uint8_t>;

const std::string damaged = "の画素データが壊れています (";

// Where a marker's segment begins in a stream: its 0xFF.
std::size_t marker_at(const Bytes& stream, std::uint8_t marker)
{
    for (std::size_t k = 0; k + 1 < stream.size(); ++k) {
        if (stream[k] == 0xFF && stream[k + 1] == marker)
            return k;
    }
    ADD_FAILURE() << "no marker " << int(marker);
    return 0;
}

// A frame header's field: precision at 4, rows at 5, columns at 7 (big endian), components at 9.
void set_header(Bytes& stream, std::uint8_t marker, std::size_t field, int value)
{
    const std::size_t at = marker_at(stream, marker) + field;
    if (field == 5 || field == 7) {
        stream[at] = static_cast<std::uint8_t>(value >> 8);
        stream[at + 1] = static_cast<std::uint8_t>(value);
    } else {
        stream[at] = static_cast<std::uint8_t>(value);
    }
}

std::uint32_t word32(const Bytes& bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24);
}

void put_word32(Bytes& bytes, std::size_t at, std::uint32_t value)
{
    for (int b = 0; b < 4; ++b)
        bytes[at + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(value >> (8 * b));
}

Bytes cut(Bytes stream, std::size_t from, std::size_t count)
{
    stream.erase(stream.begin() + static_cast<long>(from), stream.begin() + static_cast<long>(from + count));
    return stream;
}

// Splits each fragment into pieces of `size` bytes.
std::vector<Bytes> split(const std::vector<Bytes>& items, std::size_t size, std::vector<std::size_t>* firsts = nullptr)
{
    std::vector<Bytes> pieces;
    for (const Bytes& item : items) {
        if (firsts != nullptr)
            firsts->push_back(pieces.size());
        for (std::size_t at = 0; at < item.size(); at += size)
            pieces.emplace_back(item.begin() + static_cast<long>(at),
                                item.begin() + static_cast<long>(std::min(item.size(), at + size)));
    }
    return pieces;
}

struct Outcome {
    std::string refusal, error;
    bool samples_untouched = true;
    std::unique_ptr<SliceValues> values = std::make_unique<SliceValues>();
};

// Checks and reads the file (every frame of a file of several); samples are 0.5 before.
Outcome take(const std::string& path, int frames = 1)
{
    Outcome outcome;
    outcome.refusal = check_slice(path, FrameRule::Several).refusal;
    auto samples = std::make_unique<Samples>();
    samples->fill(0.5);
    try {
        if (frames == 1) {
            read_slice(path, *samples);
            read_slice_values(path, *outcome.values);
        } else {
            std::vector<SliceValues> values(static_cast<std::size_t>(frames));
            std::vector<SliceSource> sources(values.size());
            int frames_read = 0;
            read_slice_frames(path, 0, values, nullptr, sources, frames_read);
        }
    } catch (const Error& error) {
        outcome.error = error.what();
    }
    outcome.samples_untouched = std::all_of(samples->begin(), samples->end(), [](double s) { return s == 0.5; });
    return outcome;
}

struct Damage {
    const char* what;
    DicomOptions options;
    std::function<void(Fragments&)> change;
    std::string message;  // after the file's name; its beginning where it ends in sizes
};

void expect_refused(const std::vector<Damage>& damages)
{
    TempFolder tmp;
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        const std::string path = tmp.file("IM0001");
        test::write_dicom(path, test::ramp(), damage.options);
        Fragments fragments = test::read_fragments(path);
        damage.change(fragments);
        test::write_fragments(path, fragments);
        const Outcome outcome = take(path, damage.options.frames);
        EXPECT_TRUE(outcome.refusal.starts_with(damage.message)) << outcome.refusal;
        EXPECT_TRUE(outcome.error.starts_with("IM0001" + damage.message)) << outcome.error;
        EXPECT_TRUE(outcome.samples_untouched);
    }
}

TEST(DamagedFrames, AJpegFrameHeaderThatDisagreesWithTheImageIsRefused)
{
    const DicomOptions jpeg{.transfer_syntax = test::jpeg_lossless};
    const DicomOptions jpeg_ls{.transfer_syntax = test::jpeg_ls_lossless, .pixel_representation = 0};
    const auto header = [](std::uint8_t marker, std::size_t field, int value) {
        return [=](Fragments& f) { set_header(f.items[0], marker, field, value); };
    };
    const std::string size = "フレームヘッダの大きさが画像と違います (";
    const std::string precision = "フレームヘッダの精度がBits Storedと合いません (";
    expect_refused({
        {"128 lines", jpeg, header(0xC3, 5, 128), damaged + "JPEG: " + size + "256×128))"},
        {"128 columns", jpeg, header(0xC3, 7, 128), damaged + "JPEG: " + size + "128×256))"},
        {"255 columns", jpeg, header(0xC3, 7, 255), damaged + "JPEG: " + size + "255×256))"},
        {"8 bits", jpeg, header(0xC3, 4, 8), damaged + "JPEG: " + precision + "8ビット, Bits Stored 16))"},
        {"15 bits", jpeg, header(0xC3, 4, 15), damaged + "JPEG: " + precision + "15ビット, Bits Stored 16))"},
        {"three components", jpeg, header(0xC3, 9, 3), damaged + "JPEG: フレームヘッダの成分数が1ではありません (3))"},
        {"a lossy frame header", jpeg, [](Fragments& f) { f.items[0][marker_at(f.items[0], 0xC3) + 1] = 0xC1; },
         damaged + "JPEG: 可逆圧縮のフレームヘッダではありません (SOF1))"},
        {"JPEG-LS, 128 lines", jpeg_ls, header(0xF7, 5, 128), damaged + "JPEG-LS: " + size + "256×128))"},
        {"JPEG-LS, 12 bits", jpeg_ls, header(0xF7, 4, 12), damaged + "JPEG-LS: " + precision + "12ビット, Bits Stored 16))"},
    });

    // In a file of two frames, the second's header: the frame is named.
    TempFolder tmp;
    const std::string path = tmp.file("IM0001");
    test::write_dicom_frames(path, {test::ramp(), test::filled(9)}, jpeg);
    Fragments fragments = test::read_fragments(path);
    set_header(fragments.items[1], 0xC3, 5, 128);
    test::write_fragments(path, fragments);
    EXPECT_EQ(check_slice(path, FrameRule::Several).refusal, "のフレーム2" + damaged + "JPEG: " + size + "256×128))");
}

TEST(DamagedFrames, ACutOrCorruptStreamIsRefused)
{
    const DicomOptions jpeg{.transfer_syntax = test::jpeg_lossless};
    const DicomOptions jpeg_ls{.transfer_syntax = test::jpeg_ls_lossless, .pixel_representation = 0};
    const std::string corrupt = damaged + "JPEG: 圧縮データが壊れています)";
    const std::string ended = damaged + "JPEG: 画像の途中でデータが終わっています)";
    const auto keep_eoi = [](std::size_t keep_from_end_cut) {
        return [=](Fragments& f) {
            Bytes& s = f.items[0];
            const std::size_t eoi = s.size() - 2 - (s.back() == 0 ? 1 : 0);
            const std::size_t count = keep_from_end_cut == 0 ? (eoi / 2) & ~std::size_t{1} : keep_from_end_cut;
            s = cut(s, eoi - count, count);
        };
    };
    expect_refused({
        {"cut in half, its EOI kept", jpeg, keep_eoi(0), corrupt},
        {"8 bytes cut before its EOI", jpeg, keep_eoi(8), corrupt},
        {"cut in half, no EOI", jpeg, [](Fragments& f) { f.items[0].resize(f.items[0].size() / 2 & ~std::size_t{1}); },
         ended},
        {"bytes before its EOI", jpeg,
         [](Fragments& f) {
             Bytes& s = f.items[0];
             const std::size_t eoi = marker_at(s, 0xD9);
             s.insert(s.begin() + static_cast<long>(eoi), {0x12, 0x34, 0x56, 0x78});
         },
         damaged + "JPEG: "},
        {"JPEG-LS cut in half", jpeg_ls, [](Fragments& f) { f.items[0].resize(f.items[0].size() / 2 & ~std::size_t{1}); },
         damaged + "JPEG-LS: "},
    });
}

TEST(DamagedFrames, RleSegmentsMustBeWhereTheHeaderSaysAndExactlyAFrameLong)
{
    const DicomOptions rle{.transfer_syntax = test::rle_lossless};
    const std::string prefix = damaged + "RLE: ";
    expect_refused({
        {"three segments", rle, [](Fragments& f) { put_word32(f.items[0], 0, 3); },
         prefix + "セグメントの数が2ではありません (3))"},
        {"first offset 60", rle, [](Fragments& f) { put_word32(f.items[0], 4, 60); },
         prefix + "最初のセグメントの位置が64ではありません (60))"},
        {"second offset beyond the fragment", rle,
         [](Fragments& f) { put_word32(f.items[0], 8, static_cast<std::uint32_t>(f.items[0].size() + 100)); },
         prefix + "セグメント2の位置が断片と合いません ("},
        {"the first segment 16 bytes short", rle,
         [](Fragments& f) {
             Bytes& s = f.items[0];
             const std::uint32_t second = word32(s, 8);
             s = cut(s, second - 16, 16);
             put_word32(s, 8, second - 16);
         },
         prefix + "セグメント1が"},
        {"the second segment cut in half", rle,
         [](Fragments& f) {
             Bytes& s = f.items[0];
             const std::uint32_t second = word32(s, 8);
             s.resize((second + (s.size() - second) / 2) & ~std::size_t{1});
         },
         prefix + "セグメント2が"},
        {"a run past the frame", rle,
         [](Fragments& f) {
             Bytes& s = f.items[0];
             s.resize(s.size() - (s.back() == 0 ? 1 : 0));
             s.insert(s.end(), {0xFE, 0x07});  // three more bytes
         },
         prefix + "セグメント2が画素の数より長くなっています)"},
        {"a frame cut into fragments of 8 KiB, two frames, no table",
         {.transfer_syntax = test::rle_lossless, .frames = 2},
         [](Fragments& f) {
             f.items = split(f.items, 8192);
             f.table.clear();
         },
         "のフレーム1" + damaged + "オフセット表がなく、どの断片がどのフレームのものか分かりません)"},
    });
}

TEST(DamagedFrames, TheAttributesThatMakeTheNumbersMustBeWholeAndTellOfNoLossyPast)
{
    TempFolder tmp;
    const std::string path = tmp.file("IM0001");
    const test::Element slope{0x0028, 0x1053, "2"}, intercept{0x0028, 0x1052, "-3"};
    const std::pair<DicomOptions, std::string> refusals[] = {
        {{.enhanced = true, .frame_elements = {{slope}}},
         "のリスケール値がありません (Pixel Value Transformation Sequence: Rescale Interceptがありません)"},
        {{.rescale_slope = "1.5", .enhanced = true, .frame_elements = {{intercept}}},
         "のリスケール値がありません (Pixel Value Transformation Sequence: Rescale Slopeがありません)"},
        {{.rescale_slope = "1e-400"}, "のリスケール値が使えません (Rescale Slope 1e-400)"},
        {{.rescale_slope = "1e400"}, "のリスケール値が使えません (Rescale Slope 1e400)"},
        {{.elements = {{0x0028, 0x2110, "01"}, {0x0028, 0x2114, "ISO_10918_1"}, {0x0028, 0x2112, "8.5"}}},
         "は非可逆圧縮を経た画像です。圧縮で雑音が変わるため測定できません "
         "(Lossy Image Compression 01, Method ISO_10918_1, Ratio 8.5)"},
        {{.transfer_syntax = test::rle_lossless, .elements = {{0x0028, 0x2110, "01"}}},
         "は非可逆圧縮を経た画像です。圧縮で雑音が変わるため測定できません (Lossy Image Compression 01)"},
    };
    for (const auto& [options, message] : refusals) {
        SCOPED_TRACE(message);
        test::write_dicom(path, test::ramp(), options);
        const Outcome outcome = take(path);
        EXPECT_EQ(outcome.refusal, message);
        EXPECT_EQ(outcome.error, "IM0001" + message);
        EXPECT_TRUE(outcome.samples_untouched);
    }
    // A transformation sequence without its item.
    test::write_dicom(path, test::ramp(), {.rescale_slope = "2", .rescale_intercept = "1", .enhanced = true});
    {
        DcmFileFormat file;
        ASSERT_TRUE(file.loadFile(path.c_str()).good());
        file.loadAllDataIntoMemory();
        DcmItem* shared = nullptr;
        ASSERT_TRUE(file.getDataset()->findAndGetSequenceItem(DCM_SharedFunctionalGroupsSequence, shared, 0).good());
        ASSERT_TRUE(shared->findAndDeleteElement(DCM_PixelValueTransformationSequence).good());
        ASSERT_TRUE(shared->insertEmptyElement(DCM_PixelValueTransformationSequence).good());
        ASSERT_TRUE(file.saveFile(path.c_str(), EXS_LittleEndianExplicit).good());
    }
    EXPECT_EQ(take(path).error, "IM0001のリスケール値がありません (Pixel Value Transformation Sequence: 項目がありません)");

    // Both in the frame's own group: read as given.
    test::write_dicom(path, test::ramp(), {.enhanced = true, .frame_elements = {{slope, intercept}}});
    EXPECT_EQ(take(path).values->slope, 2);

    // Lossy Image Compression 00 is what every untouched image may say.
    test::write_dicom(path, test::ramp(), {.elements = {{0x0028, 0x2110, "00"}}});
    EXPECT_EQ(take(path).refusal, "");
}

TEST(DamagedFrames, AFrameInSeveralFragmentsReadsWholeWhereTheFragmentsTellItsFrames)
{
    TempFolder tmp;
    const std::vector<StoredPixels> frames = {test::ramp(), test::filled(-7)};
    const std::string path = tmp.file("IM0001");
    for (const char* syntax : {test::jpeg_lossless, test::jpeg_ls_lossless, test::rle_lossless}) {
        SCOPED_TRACE(syntax);
        const DicomOptions options{.transfer_syntax = syntax, .pixel_representation = 1};
        // One frame, in fragments of 1,000 bytes, no offset table.
        test::write_dicom(path, test::ramp(), options);
        Fragments fragments = test::read_fragments(path);
        fragments.items = split(fragments.items, 1000);
        fragments.table.clear();
        test::write_fragments(path, fragments);
        Outcome one = take(path);
        ASSERT_EQ(one.error, "");
        EXPECT_EQ(one.values->stored, test::ramp());

        // Two frames so cut, with the offset table.
        test::write_dicom_frames(path, frames, options);
        fragments = test::read_fragments(path);
        std::vector<std::size_t> firsts;
        fragments.items = split(fragments.items, 1000, &firsts);
        fragments.table = test::offset_table(fragments.items, firsts);
        test::write_fragments(path, fragments);
        std::vector<SliceValues> values(2);
        std::vector<SliceSource> sources(2);
        int frames_read = 0;
        ASSERT_EQ(check_slice(path, FrameRule::Several).refusal, "");
        read_slice_frames(path, 0, values, nullptr, sources, frames_read);
        EXPECT_EQ(values[0].stored, frames[0]);
        EXPECT_EQ(values[1].stored, frames[1]);

        // An offset table that points into a fragment is refused.
        fragments.table = test::offset_table(fragments.items, {0, firsts[1]});
        put_word32(fragments.table, 4, word32(fragments.table, 4) + 2);
        test::write_fragments(path, fragments);
        EXPECT_EQ(check_slice(path, FrameRule::Several).refusal,
                  "のフレーム1" + damaged + "オフセット表がフレーム2の断片の始まりを指していません)");
    }
    // Without a table, JPEG frames begin where a fragment begins a stream.
    test::write_dicom_frames(path, frames, {.transfer_syntax = test::jpeg_lossless});
    Fragments fragments = test::read_fragments(path);
    fragments.items = split(fragments.items, 1000);
    fragments.table.clear();
    test::write_fragments(path, fragments);
    std::vector<SliceValues> values(2);
    std::vector<SliceSource> sources(2);
    int frames_read = 0;
    read_slice_frames(path, 0, values, nullptr, sources, frames_read);
    EXPECT_EQ(values[1].stored, frames[1]);
}

TEST(DamagedFrames, ADeflatedFileWhoseSyntaxIsLostIsInflatedNotTakenForARawSlice)
{
    TempFolder tmp;
    const std::string path = tmp.file("IM0001");
    test::write_dicom(path, test::ramp(), {.transfer_syntax = test::deflated_little_endian, .rescale_slope = "2"});
    auto bytes = test::read_bytes(path);
    const std::string uid = test::deflated_little_endian;
    const auto at = std::search(bytes.begin(), bytes.begin() + 400, uid.begin(), uid.end());
    ASSERT_NE(at, bytes.begin() + 400);
    std::fill(at + 12, at + static_cast<long>(uid.size()), '9');
    test::write_bytes(path, bytes);
    const Outcome outcome = take(path);
    ASSERT_EQ(outcome.error, "");
    EXPECT_EQ(outcome.values->stored, test::ramp());
    EXPECT_EQ(outcome.values->slope, 2);
}

// Streams cut, lengthened or shortened at random places: each file is refused, or reads exactly
// the values that were encoded. (A byte changed in place is another matter: these codings carry
// no check sum, so a changed value can decode as well as the one written, as in a file that is
// not compressed.)
TEST(DamagedFrames, AStreamCutOrShiftedAnywhereIsRefusedOrReadsAsWritten)
{
    TempFolder tmp;
    const std::string path = tmp.file("IM0001");
    std::uint32_t seed = 12345;
    const auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    int refused = 0;
    for (const char* syntax : {test::jpeg_lossless, test::jpeg_lossless_any_predictor, test::jpeg_ls_lossless,
                               test::rle_lossless}) {
        SCOPED_TRACE(syntax);
        const DicomOptions options{.transfer_syntax = syntax, .pixel_representation = 0};
        StoredPixels pixels = test::ramp();
        for (auto& value : pixels)
            value = static_cast<std::int16_t>(value & 0x7FFF);
        test::write_dicom(path, pixels, options);
        const Fragments whole = test::read_fragments(path);
        const bool rle = syntax == std::string(test::rle_lossless);
        for (int mutant = 0; mutant < 60; ++mutant) {
            SCOPED_TRACE(mutant);
            Fragments fragments = whole;
            Bytes& stream = fragments.items[0];
            const std::size_t at = 4 + next() % (stream.size() - 4);
            switch (mutant % 4) {
            case 0: stream.resize(at & ~std::size_t{1}); break;
            case 1: stream.insert(stream.begin() + static_cast<long>(at), {0xFF, 0x00}); break;
            case 2: stream = cut(stream, at, std::min<std::size_t>(1 + next() % 16, stream.size() - at)); break;
            case 3:
                if (rle) {
                    put_word32(stream, 8, word32(stream, 8) + (next() % 2 == 0 ? 2 : -2));
                } else {
                    stream.resize(at & ~std::size_t{1});
                    stream.insert(stream.end(), {0xFF, 0xD9});
                }
                break;
            }
            test::write_fragments(path, fragments);
            const Outcome outcome = take(path);
            if (!outcome.error.empty()) {
                ++refused;
                EXPECT_TRUE(outcome.samples_untouched);
                continue;
            }
            EXPECT_EQ(outcome.values->stored, pixels);
        }
    }
    EXPECT_GT(refused, 200);
}

}  // namespace
}  // namespace snr
