// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include "run/input_notices.h"

namespace snr {
namespace {

SliceSource image(const std::string& manufacturer, const std::string& position, const std::string& coil = "Head")
{
    SliceSource source;
    source.dicom = true;
    DicomAttributes& a = source.attributes;
    a.manufacturer = manufacturer;
    a.model = "M1";
    a.rows = a.columns = 256;
    a.pixel_spacing = "0.9765625\\0.9765625";
    a.image_orientation = "1\\0\\0\\0\\1\\0";
    a.image_position = position;
    a.protocol_name = "SNR";
    a.echo_time = "15";
    a.repetition_time = "500";
    a.receive_coil = coil;
    return source;
}

TEST(InputNotices, EachFactThatDiffersWithinAHalfOrBetweenTheHalvesIsNamedOnce)
{
    std::vector<SliceSource> nopi = {image("Maker", "0\\0\\0"), image("Other", "0\\0\\0.00001"),
                                     image("Other ", "0\\0\\5"), image("Maker", "0\\0\\5")};
    nopi[1].attributes.pixel_spacing = "0.976562\\0.976562";  // the same spacing, written shorter
    nopi[2].attributes.echo_time = "";
    const NoticeGroup nopi_folder{"/data/nopi", {{"IM1", &nopi[0]}, {"IM2", &nopi[1]}, {"IM3", &nopi[2]},
                                                 {"IM4", &nopi[3]}}};
    EXPECT_EQ(input_notices(nopi_folder, std::nullopt),
              (std::vector<std::string>{"/data/nopiのIM1とIM2ほか1枚でメーカーが違います (Maker / Other)",
                                        "/data/nopiのIM1とIM3ほか1枚で画像の位置が違います (0\\0\\0 / 0\\0\\5)",
                                        "/data/nopiのIM1とIM3でエコー時間 (TE)が違います (15 / なし)"}));

    // Between the halves, the first input of each; a pair is named by its files alone.
    const std::vector<SliceSource> pi = {image("Maker", "0\\0\\0", "Body"), image("Maker", "0\\0\\0", "Body")};
    const NoticeGroup alike{"/data/nopi", {{"IM1", &nopi[0]}}};
    const NoticeGroup pair{"", {{"pi_1.dcm", &pi[0]}, {"pi_2.dcm", &pi[1]}}};
    EXPECT_EQ(input_notices(alike, pair),
              (std::vector<std::string>{"parallel imaging なしのIM1とありのpi_1.dcmで受信コイルが違います (Head / Body)"}));

    // Raw slices among images: how they were read, and nothing else of them.
    SliceSource raw;
    const NoticeGroup mixed{"", {{"a.dcm", &pi[0]}, {"b.raw", &raw}}};
    EXPECT_EQ(input_notices(mixed, NoticeGroup{"", {{"c.raw", &raw}}}),
              (std::vector<std::string>{"a.dcmとb.rawで読み方が違います (DICOM画像 / 生データ)",
                                        "parallel imaging なしのa.dcmとありのc.rawで読み方が違います (DICOM画像 / 生データ)"}));
    EXPECT_TRUE(input_notices(NoticeGroup{"", {{"a", &raw}, {"b", &raw}}}, std::nullopt).empty());
}

// Every character of a text is kept, however long; a control character shows as its escape.
TEST(InputNotices, KeepEveryCharacterOfTheTextsAndShowControlsVisibly)
{
    const std::string long_name = "ﾍｯﾄﾞ" + std::string(80, 'x') + "32ch";
    std::vector<SliceSource> files = {image("Maker", "0"), image("Maker", "0")};
    files[0].attributes.receive_coil = "ﾍｯﾄﾞ20ch";
    files[1].attributes.receive_coil = long_name;
    files[0].attributes.protocol_name = "SNR\x1b[2J\xff";
    const NoticeGroup folder{"", {{"IM1", &files[0]}, {"IM2", &files[1]}}};
    EXPECT_EQ(input_notices(folder, std::nullopt),
              (std::vector<std::string>{"IM1とIM2でプロトコル名が違います (SNR\\x1B[2J\\xFF / SNR)",
                                        "IM1とIM2で受信コイルが違います (ﾍｯﾄﾞ20ch / " + long_name + ")"}));
}

// The g-factor is formed with the typed R: the first PI input's headers are checked against it.
TEST(InputNotices, ATypedROtherThanThePiHeadersGiveIsNamedWithItsAttribute)
{
    std::vector<SliceSource> files = {image("Maker", "0"), image("Maker", "0"), image("Maker", "0")};
    const NoticeGroup nopi{"", {{"IM1", &files[0]}}};
    const NoticeGroup pi{"/data/pi", {{"IM101", &files[1]}, {"IM102", &files[2]}}};
    const auto notices = [&](std::optional<double> r) { return input_notices(nopi, pi, r); };

    // Headers that say nothing of parallel imaging, or a run without the g-factor: nothing.
    files[1].attributes.parallel_factor_in_plane = "3";
    EXPECT_TRUE(notices(std::nullopt).empty());
    files[1].attributes.parallel_factor_in_plane = "";
    EXPECT_TRUE(notices(2).empty());

    // The standard attributes, in-plane × out-of-plane, compared as numbers.
    files[1].attributes.parallel_factor_in_plane = "2.0 ";
    files[1].attributes.parallel_factor_out_of_plane = "1";
    EXPECT_TRUE(notices(2).empty());
    EXPECT_EQ(notices(3), (std::vector<std::string>{
                              "入力したRとparallel imaging ありのIM101のヘッダ (Parallel Reduction Factor) でRが違います (3 / 2)"}));
    files[1].attributes.parallel_factor_out_of_plane = "2";
    EXPECT_TRUE(notices(4).empty());

    // The maker's own attribute where it is the only one; a PI image the headers call without.
    files[1].attributes.parallel_factor_in_plane = files[1].attributes.parallel_factor_out_of_plane = "";
    files[1].attributes.maker_parallel_factors = "1.5\\1";
    EXPECT_EQ(notices(2), (std::vector<std::string>{
                              "入力したRとparallel imaging ありのIM101のヘッダ ((0043,1083)) でRが違います (2 / 1.5)"}));
    files[1].attributes.parallel_acquisition = "NO";
    EXPECT_EQ(notices(2), (std::vector<std::string>{
                              "入力したRとparallel imaging ありのIM101のヘッダ (Parallel Acquisition NO) でRが違います (2 / 1)"}));

    // Only the first PI input is read.
    files[1].attributes.parallel_acquisition = files[1].attributes.maker_parallel_factors = "";
    files[2].attributes.parallel_factor_in_plane = "4";
    EXPECT_TRUE(notices(2).empty());

    // A no-PI image whose headers say it was accelerated: swapped folders, say.
    files[0].attributes.parallel_factor_in_plane = "2";
    EXPECT_EQ(notices(2), (std::vector<std::string>{
                              "parallel imaging なしのIM1のヘッダはparallel imaging ありです (Parallel Reduction Factor: R 2)"}));
    files[0].attributes.parallel_factor_in_plane = "1";
    EXPECT_TRUE(notices(2).empty());
}

TEST(InputNotices, AFrameOfAFileOfSeveralIsNamedWithItsNumber)
{
    SliceSource frame = image("Maker", "0\\0\\0");
    frame.attributes.frames = 3;
    frame.attributes.frame = 1;
    EXPECT_EQ(notice_name("/data/nopi/IM1", frame), "IM1 (フレーム2)");
    frame.attributes.frames = 1;
    EXPECT_EQ(notice_name("/data/nopi/IM1", frame), "IM1");
}

}  // namespace
}  // namespace snr
