// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <utility>

#include "consecutive/consecutive_items.h"
#include "core/errors.h"
#include "core/file_io.h"
#include "tests/support/dicom_writer.h"
#include "tests/support/fault_injection.h"
#include "tests/support/item_support.h"
#include "tests/support/temp_folder.h"

namespace snr {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

// Runs `action` at the chosen progress report: the n-th slice added in the run, counted from 1.
// With three slices, reports 1-3 come from the reading pass and 4-6 from the deviation pass;
// a pass reads up to eight slices before it adds them, so a change at report 1 meets the
// deviation pass and one at report 3 the deviation pass's first read.
struct MeddlingView : ConsecutiveRunView {
    int at_report = 0;
    std::function<void()> action;
    int reports = 0;
    int begins = 0;
    std::vector<std::string> refusals;
    void refuse(const std::string& message) override { refusals.push_back(message); }
    void begin(const std::vector<std::string>&) override { ++begins; }
    void progress(int) override
    {
        if (++reports == at_report)
            action();
    }
};

bool all_finite(const ConsecutiveState& state)
{
    return test::planes_finite(consecutive_item_table(), state, {&state.disp_image});
}

class ConsecutiveFaults : public ::testing::Test {
protected:
    std::unique_ptr<ConsecutiveState> state = std::make_unique<ConsecutiveState>();
    TempFolder tmp;
    MeddlingView view;
    ConsecutiveInputs inputs;
    std::string folder;

    void SetUp() override
    {
        folder = tmp.folder("nopi");
        inputs.nopi_folder = folder;
        inputs.pi_folder = tmp.folder("pi");
        inputs.gfactor = false;
        for (int k = 0; k < 3; ++k) {
            StoredPixels samples = test::filled(static_cast<std::int16_t>(100 + k));
            samples[1] = static_cast<std::int16_t>(7 * k);
            test::write_slice(slice(k), samples);
        }
    }
    std::string slice(int k) const { return folder + "/s" + std::to_string(k); }
    std::string failure()
    {
        try {
            run_consecutive(*state, inputs, view);
        } catch (const Error& error) {
            EXPECT_TRUE(all_finite(*state));
            return error.what();
        }
        EXPECT_TRUE(all_finite(*state));
        return "";
    }
    std::string failure_when(int report, std::function<void()> action)
    {
        view.reports = 0;
        view.at_report = report;
        view.action = std::move(action);
        return failure();
    }
};

TEST_F(ConsecutiveFaults, SlicesChangedAfterTheListingFailWithTheirMessages)
{
    EXPECT_EQ(failure_when(1, [&] { fs::remove(slice(2)); }), "ファイルが見つかりません");
    SetUp();
    EXPECT_EQ(failure_when(1, [&] { fs::resize_file(slice(2), 1000); }), "I/O エラー (131)");
    SetUp();
    EXPECT_EQ(failure_when(1, [&] {
                  fs::remove(slice(2));
                  fs::create_directory(slice(2));
              }),
              "ファイルへのアクセスが拒否されました");
    fs::remove(slice(2));
    SetUp();
    EXPECT_EQ(failure_when(2, [&] {
                  fs::remove(slice(2));
                  ::mkfifo(slice(2).c_str(), 0600);  // a FIFO without a writer must not hang the run
              }),
              "I/O エラー (131)");
    fs::remove(slice(2));
    SetUp();
    EXPECT_EQ(failure_when(3, [&] { fs::resize_file(slice(2), 0); }), "I/O エラー (131)");
    SetUp();
    EXPECT_EQ(failure_when(1, [&] { test::write_dicom(slice(2), test::filled(1), {.rows = 512, .columns = 512}); }),
              "s2は256×256の16ビット画像ではありません (512×512)");
}

TEST_F(ConsecutiveFaults, ADicomImageTheReaderRefusesStopsTheRunBeforeAnythingChanges)
{
    state->signal_nopi.fill(5.0);
    test::write_dicom(folder + "/DICOMDIR", test::filled(0), {.pixel_data = false});
    EXPECT_EQ(failure(), "");
    EXPECT_EQ(view.refusals, std::vector<std::string>{folder + "のDICOMDIRには画素データがありません"});
    EXPECT_EQ(view.begins + view.reports, 0);
    EXPECT_EQ(state->signal_nopi[0], 5.0);

    // Without the g-factor the PI folder is neither read nor checked.
    fs::rename(folder + "/DICOMDIR", inputs.pi_folder + "/DICOMDIR");
    EXPECT_EQ(failure(), "");
    EXPECT_EQ(view.refusals.size(), 1u);
    EXPECT_EQ(state->signal_nopi[0], 101.0);
}

// Adds a slice once: at a second listing of a folder, or at the first file opened after the
// first listing, whichever comes first.
std::function<void()> add_slice;
SystemCalls adding_calls()
{
    SystemCalls calls = real_system_calls();
    calls.opendir = [](const char* path) {
        static int listings = 0;
        if (++listings == 2 && add_slice)
            std::exchange(add_slice, nullptr)();
        return real_system_calls().opendir(path);
    };
    calls.open = [](const char* path, int flags, mode_t mode) {
        if (add_slice)
            std::exchange(add_slice, nullptr)();
        return real_system_calls().open(path, flags, mode);
    };
    return calls;
}

TEST_F(ConsecutiveFaults, ASliceAddedWhileTheFolderIsListedIsNeitherCountedNorRead)
{
    add_slice = [&] { test::write_slice(slice(3), 30000); };
    const SystemCalls previous = replace_system_calls(adding_calls());
    const std::string result = failure();
    replace_system_calls(previous);
    ASSERT_EQ(result, "");
    EXPECT_TRUE(fs::exists(slice(3)));
    EXPECT_EQ(state->count_nopi, 3);
    EXPECT_EQ(state->signal_nopi[1], 7.0);  // 0, 7 and 14
    EXPECT_EQ(state->noise_nopi[1], 7.0);
}

TEST_F(ConsecutiveFaults, ASliceOrTheFolderGoneBetweenThePassesIsReported)
{
    // Report 3 comes after the last read of the reading pass: the deviation pass is next.
    EXPECT_EQ(failure_when(3, [&] { fs::remove(slice(1)); }), "ファイルが見つかりません");
    SetUp();
    EXPECT_EQ(failure_when(3, [&] { fs::remove_all(folder); }), "ファイル名の指定が間違っています");
}

TEST_F(ConsecutiveFaults, ASliceAddedBetweenThePassesIsNotHalfCounted)
{
    ASSERT_EQ(failure(), "");
    const Plane signal = state->signal_nopi, noise = state->noise_nopi;
    EXPECT_EQ(noise[1], 7.0);  // 0, 7 and 14

    state = std::make_unique<ConsecutiveState>();
    EXPECT_EQ(failure_when(3, [&] { test::write_slice(slice(3), 30000); }), "");
    EXPECT_EQ(state->signal_nopi, signal);
    EXPECT_EQ(state->noise_nopi, noise);
}

TEST_F(ConsecutiveFaults, NoAccessToASliceIsReported)
{
    test::InjectFault inject(test::Call::Open, EACCES, 1);  // the second slice
    EXPECT_EQ(failure(), "ファイルへのアクセスが拒否されました");
}

TEST_F(ConsecutiveFaults, ASliceThatCannotBeReadLeavesTheSlicesBeforeItAddedAndCounted)
{
    // Eleven slices: the reading pass adds a batch of eight, then fails at the tenth open
    // after the check's eleven.
    fs::remove_all(folder);
    fs::create_directory(folder);
    for (int k = 0; k < 11; ++k)
        test::write_slice(folder + (k < 10 ? "/t0" : "/t") + std::to_string(k), static_cast<std::int16_t>(10 * k));
    test::InjectFault inject(test::Call::Open, EACCES, 11 + 9, 1);
    EXPECT_EQ(failure(), "ファイルへのアクセスが拒否されました");
    EXPECT_EQ(view.reports, 9);
    EXPECT_EQ(state->slice_counter, 9);
    EXPECT_EQ(state->signal_nopi[0], 360.0);  // 0 + 10 + ... + 80, not yet divided
    EXPECT_EQ(state->rep_nopi[0], 80.0);
}

TEST_F(ConsecutiveFaults, ExtremeSamplesGiveExactMeansAndNoNoise)
{
    inputs.gfactor = true;
    for (int k = 0; k < 3; ++k) {
        test::write_slice(slice(k), 32767);
        test::write_slice(inputs.pi_folder + "/s" + std::to_string(k), -32768);
    }
    EXPECT_EQ(failure(), "");
    EXPECT_EQ(state->signal_nopi[0], 32767.0);
    EXPECT_EQ(state->signal_pi[0], -32768.0);
    EXPECT_EQ(state->noise_nopi[0], 0.0);
    EXPECT_EQ(state->snr_pi[0], 0.0);
    EXPECT_EQ(state->gfactor_map[0], 0.0);
    EXPECT_EQ(state->window.wl, 16383);
    EXPECT_EQ(state->window.ww, 32767);

    // The widest deviations there are: the two extremes alternating.
    test::write_slice(slice(1), -32768);
    EXPECT_EQ(failure(), "");
    EXPECT_EQ(state->signal_nopi[0], static_cast<double>((32767.0L * 2 - 32768) / 3));
    EXPECT_GT(state->noise_nopi[0], 37000.0);
}

TEST_F(ConsecutiveFaults, ExtremeReductionRatesAndLegendTexts)
{
    inputs.gfactor = true;
    for (int k = 0; k < 3; ++k) {
        StoredPixels samples = test::filled(static_cast<std::int16_t>(200 - k));
        test::write_slice(inputs.pi_folder + "/s" + std::to_string(k), samples);
    }

    // Tiny and huge rates give huge and tiny, but finite, g-factors.
    for (const char* r : {"1e-300", "1e300", "4.9e-324"}) {
        inputs.r_text = r;
        EXPECT_EQ(failure(), "") << r;
        EXPECT_NE(state->gfactor_map[0], 0.0) << r;
    }
    inputs.r_text = "1e400";  // beyond double when R is stored
    EXPECT_EQ(failure(), "浮動小数点数のオーバーフロー");
    inputs.r_text = "1e-400";  // zero once stored as a double: a zero rate
    EXPECT_EQ(failure(), "0 による浮動小数点数除算");
    inputs.r_text = "2";

    // An interval of 1e308: level 2 of the wedge is beyond double.
    inputs.legend.step = "1e308";
    EXPECT_EQ(failure(), "浮動小数点数のオーバーフロー");
    EXPECT_EQ(at(state->snr_nopi, 81, 240), 1e308);

    // 400 digits: beyond double, or within it and stamped.
    inputs.legend.step = "20";
    inputs.legend.minimum = std::string(400, '9');
    EXPECT_EQ(failure(), "浮動小数点数のオーバーフロー");
    inputs.legend.minimum = "1" + std::string(300, '0') + "." + std::string(98, '0') + "1";
    EXPECT_EQ(failure(), "");
    EXPECT_EQ(at(state->gfactor_map, 53, 240), static_cast<double>(1e300L));
    inputs.legend.minimum = "0." + std::string(398, '0') + "1";  // below every double: 0
    EXPECT_EQ(failure(), "");
    EXPECT_EQ(at(state->snr_pi, 67, 240), 20.0);
}

}  // namespace
}  // namespace snr
