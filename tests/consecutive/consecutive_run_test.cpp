// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <tuple>
#include <memory>
#include <optional>

#include "consecutive/consecutive_items.h"
#include "consecutive/consecutive_run.h"
#include "core/errors.h"
#include "core/extended.h"
#include "tests/support/dicom_writer.h"
#include "tests/support/temp_folder.h"

namespace snr {
namespace {

using test::TempFolder;

struct RecordingView : ConsecutiveRunView {
    std::vector<std::string> refusals;
    std::vector<std::string> items;
    std::vector<int> positions;
    std::vector<std::string> notes;
    int begins = 0;
    void refuse(const std::string& message) override { refusals.push_back(message); }
    void begin(const std::vector<std::string>& list) override
    {
        ++begins;
        items = list;
    }
    void progress(int position) override { positions.push_back(position); }
    void notices(const std::vector<std::string>& texts) override { notes = texts; }
};

// Slices whose pixel 0 holds the given value and every other pixel 7; DICOM images when
// DICOM options are given.
void write_series(const std::string& folder, std::initializer_list<int> values,
                  const std::optional<test::DicomOptions>& dicom = std::nullopt)
{
    int n = 0;
    for (int value : values) {
        StoredPixels samples = test::filled(7);
        samples[0] = static_cast<std::int16_t>(value);
        const std::string path = folder + "/s" + std::to_string(n++);
        if (dicom)
            test::write_dicom(path, samples, *dicom);
        else
            test::write_slice(path, samples);
    }
}

class ConsecutiveRun : public ::testing::Test {
protected:
    std::unique_ptr<ConsecutiveState> state = std::make_unique<ConsecutiveState>();
    TempFolder tmp;
    RecordingView view;
    ConsecutiveInputs inputs;

    void SetUp() override
    {
        inputs.nopi_folder = tmp.folder("nopi");
        inputs.pi_folder = tmp.folder("pi");
    }
    std::string failure(Halves halves = Halves::InTurn)
    {
        try {
            run_consecutive(*state, inputs, view, halves);
        } catch (const Error& error) {
            return error.what();
        }
        return "";
    }
};

TEST_F(ConsecutiveRun, WorkedExampleAndLegends)
{
    write_series(inputs.nopi_folder, {10, 12, 14});
    write_series(inputs.pi_folder, {10, 14, 18});
    ASSERT_TRUE(run_consecutive(*state, inputs, view));

    EXPECT_EQ(state->signal_nopi[0], 12.0);
    EXPECT_EQ(state->noise_nopi[0], 2.0);
    EXPECT_EQ(state->snr_nopi[0], 6.0);
    EXPECT_EQ(state->signal_pi[0], 14.0);
    EXPECT_EQ(state->noise_pi[0], 4.0);
    EXPECT_EQ(state->snr_pi[0], 3.5);
    const double expected = static_cast<double>(600.0L / (std::sqrt(2.0L) * 3.5L));
    EXPECT_EQ(state->gfactor_map[0], expected);
    EXPECT_NEAR(state->gfactor_map[0], 121.218, 0.001);

    // Constant pixels: noise 0, SNR 0, g-factor 0.
    EXPECT_EQ(state->signal_nopi[1], 7.0);
    EXPECT_EQ(state->noise_nopi[1], 0.0);
    EXPECT_EQ(state->snr_nopi[1], 0.0);
    EXPECT_EQ(state->gfactor_map[1], 0.0);

    for (const Plane* map : {&state->snr_nopi, &state->snr_pi, &state->gfactor_map}) {
        EXPECT_EQ(at(*map, 53, 235), 60.0);
        EXPECT_EQ(at(*map, 202, 250), 260.0);
        EXPECT_EQ(at(*map, 52, 234), 300.0);
    }
    EXPECT_EQ(state->rep_nopi[0], 14.0);
    EXPECT_EQ(state->rep_pi[0], 18.0);
    EXPECT_EQ(state->disp_image, state->rep_nopi);
    EXPECT_EQ(state->window.wl, 7);  // maximum 14
    EXPECT_EQ(state->window.ww, 14);
    EXPECT_EQ(state->count_nopi, 3);
    EXPECT_EQ(state->count_pi, 3);
    EXPECT_EQ(view.items.size(), 9u);
    EXPECT_EQ(view.items[8], "g-factor map");
    EXPECT_EQ(view.positions, (std::vector<int>{8, 16, 25, 33, 41, 50, 58, 66, 75, 83, 91, 100}));

    // A second press gives the same planes: nothing accumulates.
    const Plane first_gfactor = state->gfactor_map;
    ASSERT_TRUE(run_consecutive(*state, inputs, view));
    EXPECT_EQ(state->gfactor_map, first_gfactor);
    EXPECT_EQ(state->signal_nopi[0], 12.0);
}

TEST_F(ConsecutiveRun, ArithmeticIsExtendedAndRoundedWhenStored)
{
    // StoredPixels whose mean is not representable: the deviations use the rounded mean.
    write_series(inputs.nopi_folder, {1, 2, 2, 30000, -32768, 5, 9});
    inputs.gfactor = false;
    ASSERT_TRUE(run_consecutive(*state, inputs, view));
    const long double values[] = {1, 2, 2, 30000, -32768, 5, 9};
    double sum = 0;
    for (long double v : values)
        sum = static_cast<double>(sum + v);
    const double mean = static_cast<double>(sum / 7.0L);
    double squares = 0;
    for (long double v : values)
        squares = static_cast<double>(squares + (v - mean) * (v - mean));
    const double noise = static_cast<double>(std::sqrt(squares / 6.0L));
    EXPECT_EQ(state->signal_nopi[0], mean);
    EXPECT_EQ(state->noise_nopi[0], noise);
    EXPECT_EQ(state->snr_nopi[0], static_cast<double>(static_cast<long double>(mean) / noise));
}

TEST_F(ConsecutiveRun, WithoutTheOptionOnlyTheNoPiHalfRuns)
{
    write_series(inputs.nopi_folder, {1, 3});
    inputs.gfactor = false;
    inputs.pi_folder = tmp.file("never-listed");
    state->snr_pi.fill(5);
    ASSERT_TRUE(run_consecutive(*state, inputs, view));
    EXPECT_EQ(view.items.size(), 4u);
    EXPECT_EQ(view.positions, (std::vector<int>{25, 50, 75, 100}));
    EXPECT_EQ(state->noise_nopi[0], std::sqrt(2.0));  // two slices divide by 1
    EXPECT_EQ(state->snr_pi, Plane{});
    EXPECT_EQ(state->gfactor_map, Plane{});
}

TEST_F(ConsecutiveRun, TheTextZeroIsRefusedBeforeAnythingIsComputed)
{
    write_series(inputs.nopi_folder, {1, 3});
    inputs.r_text = "0";
    inputs.legend.minimum = "10";
    inputs.gfactor = false;
    state->rep_nopi.fill(9);
    EXPECT_FALSE(run_consecutive(*state, inputs, view));
    EXPECT_EQ(view.refusals, (std::vector<std::string>{"reduction factorが不正です"}));
    EXPECT_EQ(view.begins, 0);
    EXPECT_EQ(state->rep_nopi[0], 9);
    EXPECT_EQ(state->legend.scale_min, 10.0);
}

TEST_F(ConsecutiveRun, FailuresStopWhereTheyHappen)
{
    write_series(inputs.nopi_folder, {10, 12, 14});
    write_series(inputs.pi_folder, {10, 14, 18});

    inputs.legend.step = "abc";
    EXPECT_EQ(failure(), "'abc' は浮動小数点数ではありません");
    EXPECT_EQ(view.begins, 0);
    inputs.legend.step = "20";

    inputs.r_text = "two";
    state->rep_nopi.fill(9);
    EXPECT_EQ(failure(), "'two' は浮動小数点数ではありません");
    EXPECT_EQ(view.begins, 1);  // list refilled, planes untouched
    EXPECT_EQ(state->rep_nopi[0], 9);

    inputs.r_text = "0.0";
    EXPECT_EQ(failure(), "0 による浮動小数点数除算");
    EXPECT_EQ(state->gfactor_map[0], 0.0);

    inputs.r_text = "-2";
    EXPECT_EQ(failure(), "不正な浮動小数点数演算命令");

    inputs.r_text = "1e-300";
    EXPECT_EQ(failure(), "");
    EXPECT_TRUE(std::isfinite(state->gfactor_map[0]));
}

TEST_F(ConsecutiveRun, TogetherGivesTheSamePlanesAndTheSameFirstFailure)
{
    write_series(inputs.nopi_folder, {1, 2, 2, 30000, -32768, 5, 9});
    write_series(inputs.pi_folder, {10, 14, 18, 3}, test::DicomOptions{.rescale_slope = "0.37"});
    ASSERT_EQ(failure(), "");
    const auto in_turn = std::make_unique<ConsecutiveState>(*state);
    const std::vector<int> positions = view.positions;
    state = std::make_unique<ConsecutiveState>();
    view.positions.clear();
    ASSERT_EQ(failure(Halves::Together), "");
    for (const auto& item : consecutive_item_table())
        EXPECT_EQ((*state).*item.plane, (*in_turn).*item.plane) << item.file_name;
    EXPECT_EQ(state->disp_image, in_turn->disp_image);
    EXPECT_EQ(std::tie(state->count_nopi, state->count_pi, state->slice_counter, state->window.wl, state->window.ww),
              std::tie(in_turn->count_nopi, in_turn->count_pi, in_turn->slice_counter, in_turn->window.wl,
                       in_turn->window.ww));
    EXPECT_EQ(view.positions, positions);  // the PI half's wait for the no-PI half's

    // The no-PI folder's failure comes first, as in turn, whatever the PI folder holds.
    test::write_bytes(inputs.nopi_folder + "/readme.txt", {'h', 'i'});
    const std::string pi = inputs.pi_folder;
    inputs.pi_folder = tmp.folder("one");
    write_series(inputs.pi_folder, {5});
    EXPECT_EQ(failure(Halves::Together), "I/O エラー (131)");
    std::filesystem::remove(inputs.nopi_folder + "/readme.txt");
    EXPECT_EQ(failure(Halves::Together), "不正な浮動小数点数演算命令");  // the PI folder's one slice
    inputs.pi_folder = pi;
    inputs.r_text = "-2";
    EXPECT_EQ(failure(Halves::Together), "不正な浮動小数点数演算命令");
    test::write_dicom(inputs.pi_folder + "/DICOMDIR", test::filled(0), {.pixel_data = false});
    test::write_dicom(inputs.nopi_folder + "/DICOMDIR", test::filled(0), {.rows = 512});
    view.refusals.clear();
    EXPECT_EQ(failure(Halves::Together), "");
    EXPECT_EQ(view.refusals, std::vector<std::string>{inputs.nopi_folder + "のDICOMDIRは256×256の16ビット画像ではありません (256×512)"});
}

TEST_F(ConsecutiveRun, EmptyAndSingleSliceFoldersAreInvalidOperations)
{
    inputs.gfactor = false;
    EXPECT_EQ(failure(), "不正な浮動小数点数演算命令");
    inputs.nopi_folder = tmp.file("does-not-exist");
    EXPECT_EQ(failure(), "不正な浮動小数点数演算命令");
    inputs.nopi_folder = tmp.folder("one");
    write_series(inputs.nopi_folder, {5});
    EXPECT_EQ(failure(), "不正な浮動小数点数演算命令");
}

TEST_F(ConsecutiveRun, AStrayShortFileStopsTheRunWithItsIoError)
{
    write_series(inputs.nopi_folder, {1, 2});
    test::write_bytes(inputs.nopi_folder + "/readme.txt", {'h', 'i'});
    inputs.gfactor = false;
    EXPECT_EQ(failure(), "I/O エラー (131)");
}

TEST_F(ConsecutiveRun, DicomImagesAreReadFromTheirPixelDataAndRescaled)
{
    write_series(inputs.nopi_folder, {10, 12, 14});
    write_series(inputs.pi_folder, {10, 14, 18});
    ASSERT_TRUE(run_consecutive(*state, inputs, view));
    const auto raw = std::make_unique<ConsecutiveState>(*state);

    // Padded after the Pixel Data, as one maker writes them: the planes of raw slices.
    write_series(inputs.nopi_folder, {10, 12, 14}, test::DicomOptions{.padding = 370});
    write_series(inputs.pi_folder, {10, 14, 18}, test::DicomOptions{.padding = 370});
    ASSERT_TRUE(run_consecutive(*state, inputs, view));
    EXPECT_TRUE(state->slices_pi.at(2).source.dicom);
    EXPECT_EQ(state->disp_image, raw->disp_image);
    EXPECT_EQ(state->noise_nopi, raw->noise_nopi);
    EXPECT_EQ(state->gfactor_map, raw->gfactor_map);

    // Stored values with an offset that the rescale takes away: the samples are rescaled.
    write_series(inputs.nopi_folder, {10, 12, 14},
                 test::DicomOptions{.rescale_slope = "2.468", .rescale_intercept = "-5053"});
    ASSERT_TRUE(run_consecutive(*state, inputs, view));
    double sum = 0;
    for (int value : {10, 12, 14})
        sum = ext::store(sum + static_cast<ext::real>(static_cast<double>(value * 2.468L - 5053)));
    EXPECT_EQ(state->signal_nopi[0], ext::store(ext::div(sum, 3)));
    EXPECT_EQ(state->disp_image[0], static_cast<double>(14 * 2.468L - 5053));

    // A rescaled slice first, whole ones after it: these add to a signal of fractions.
    std::filesystem::remove_all(inputs.nopi_folder);
    std::filesystem::create_directory(inputs.nopi_folder);
    write_series(inputs.nopi_folder, {11}, test::DicomOptions{.rescale_slope = "0.1", .rescale_intercept = "0"});
    test::write_slice(inputs.nopi_folder + "/s1", test::filled(3));
    test::write_slice(inputs.nopi_folder + "/s2", test::filled(32767));
    ASSERT_TRUE(run_consecutive(*state, inputs, view));
    const ext::real first = static_cast<double>(11 * 0.1L);
    sum = ext::store(ext::store(first + 3) + ext::real{32767});
    const double mean = ext::store(ext::div(sum, 3));
    double squares = 0;
    for (const ext::real sample : {first, ext::real{3}, ext::real{32767}})
        squares = ext::store(squares + (sample - mean) * (sample - mean));
    EXPECT_EQ(state->signal_nopi[0], mean);
    EXPECT_EQ(state->noise_nopi[0], ext::store(ext::sqrt(ext::div(squares, 2))));
    EXPECT_EQ(state->rep_nopi[0], 32767.0);
}

// Frames whose pixel 0 holds the given value and every other pixel 7.
std::vector<StoredPixels> frames_of(std::initializer_list<int> values)
{
    std::vector<StoredPixels> frames;
    for (int value : values) {
        frames.push_back(test::filled(7));
        frames.back()[0] = static_cast<std::int16_t>(value);
    }
    return frames;
}

TEST_F(ConsecutiveRun, AFoldersSlicesAreTheFramesOfItsFilesInNameAndFrameOrder)
{
    write_series(inputs.nopi_folder, {10, 12, 14});
    write_series(inputs.pi_folder, {10, 14, 18});
    ASSERT_TRUE(run_consecutive(*state, inputs, view));
    const auto one_by_one = std::make_unique<ConsecutiveState>(*state);
    const auto positions = view.positions;

    // One file of three frames; a file of two frames and one of one.
    for (const std::string& folder : {inputs.nopi_folder, inputs.pi_folder}) {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directory(folder);
    }
    test::write_dicom_frames(inputs.nopi_folder + "/series", frames_of({10, 12, 14}), {});
    test::write_dicom_frames(inputs.pi_folder + "/a", frames_of({10, 14}), {.transfer_syntax = test::rle_lossless});
    test::write_dicom(inputs.pi_folder + "/b", frames_of({18})[0]);
    view.positions.clear();
    ASSERT_TRUE(run_consecutive(*state, inputs, view, Halves::Together));
    EXPECT_EQ(state->signal_nopi, one_by_one->signal_nopi);
    EXPECT_EQ(state->noise_nopi, one_by_one->noise_nopi);
    EXPECT_EQ(state->rep_pi, one_by_one->rep_pi);
    EXPECT_EQ(state->gfactor_map, one_by_one->gfactor_map);
    EXPECT_EQ(state->disp_image, one_by_one->disp_image);
    EXPECT_EQ(std::tie(state->count_nopi, state->count_pi), std::make_tuple(3, 3));
    EXPECT_EQ(view.positions, positions);
    EXPECT_EQ(state->slices_pi[1].path + " " + std::to_string(state->slices_pi[1].frame), inputs.pi_folder + "/a 1");
    EXPECT_EQ(state->slices_nopi[2].source.attributes.frame, 2);

    // Each frame of an enhanced image with its own rescale, as files rescaled alike.
    std::vector<std::vector<test::Element>> rescales;
    for (const char* slope : {"0.5", "2", "3"})
        rescales.push_back({{0x0028, 0x1053, slope}, {0x0028, 0x1052, "-1"}});
    test::write_dicom_frames(inputs.nopi_folder + "/series", frames_of({10, 12, 14}),
                             {.transfer_syntax = test::jpeg_lossless, .enhanced = true, .frame_elements = rescales});
    ASSERT_TRUE(run_consecutive(*state, inputs, view));
    const Plane enhanced_noise = state->noise_nopi;
    std::filesystem::remove(inputs.nopi_folder + "/series");
    int n = 0;
    for (const auto& [value, slope] : {std::pair{10, "0.5"}, {12, "2"}, {14, "3"}})
        test::write_dicom(inputs.nopi_folder + "/s" + std::to_string(n++), frames_of({value})[0],
                          {.rescale_slope = slope, .rescale_intercept = "-1"});
    ASSERT_TRUE(run_consecutive(*state, inputs, view));
    EXPECT_EQ(state->noise_nopi, enhanced_noise);
    EXPECT_NE(state->noise_nopi[0], 0.0);
}

TEST_F(ConsecutiveRun, InputsThatDifferAreNoticedAndMeasuredAllTheSame)
{
    write_series(inputs.nopi_folder, {10, 12, 14}, test::DicomOptions{.manufacturer = "Maker", .model = "M1"});
    write_series(inputs.pi_folder, {10, 14}, test::DicomOptions{.manufacturer = "Maker", .model = "M2"});
    test::write_dicom(inputs.pi_folder + "/z", test::filled(18), {.manufacturer = "Other", .model = "M2"});
    ASSERT_TRUE(run_consecutive(*state, inputs, view));
    EXPECT_EQ(view.notes, (std::vector<std::string>{
                              inputs.pi_folder + "のs0とzでメーカーが違います (Maker / Other)",
                              "parallel imaging なしのs0とありのs0で装置の型名が違います (M1 / M2)"}));
    EXPECT_EQ(state->count_pi, 3);

    inputs.gfactor = false;
    ASSERT_TRUE(run_consecutive(*state, inputs, view));
    EXPECT_TRUE(view.notes.empty());
}

TEST_F(ConsecutiveRun, ZeroOrNegativeLastSliceGivesAZeroWindow)
{
    StoredPixels negative = test::filled(-4);
    test::write_slice(inputs.nopi_folder + "/a", test::filled(500));
    test::write_slice(inputs.nopi_folder + "/b", negative);
    inputs.gfactor = false;
    ASSERT_TRUE(run_consecutive(*state, inputs, view));
    EXPECT_EQ(state->window.disp_max, 0.0);
    EXPECT_EQ(state->window.ww, 0);
}

}  // namespace
}  // namespace snr
