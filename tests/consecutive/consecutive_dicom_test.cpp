#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <utility>
#include <memory>

#include "consecutive/consecutive_run.h"
#include "core/extended.h"
#include "core/file_io.h"
#include "tests/support/dicom_writer.h"
#include "tests/support/temp_folder.h"

namespace snr {
namespace {

using test::DicomSpec;
using test::TempFolder;

// Records what the run shows, and does `action` once at the chosen progress report.
struct View : ConsecutiveRunView {
    std::vector<std::string> refusals;
    int begins = 0;
    int reports = 0;
    int act_at = 0;
    std::function<void()> action;
    void refuse(const std::string& message) override { refusals.push_back(message); }
    void begin(const std::vector<std::string>&) override { ++begins; }
    void progress(int) override
    {
        if (++reports == act_at)
            action();
    }
};

StoredPixels image(int value)
{
    StoredPixels pixels = test::filled(7);
    pixels[0] = static_cast<std::int16_t>(value);
    pixels[1] = static_cast<std::int16_t>(-value);
    return pixels;
}

class ConsecutiveDicom : public ::testing::Test {
protected:
    std::unique_ptr<ConsecutiveState> state = std::make_unique<ConsecutiveState>();
    TempFolder tmp;
    View view;
    ConsecutiveInputs inputs;
    std::string nopi = tmp.folder("nopi"), pi = tmp.folder("pi");

    void SetUp() override
    {
        inputs.nopi_folder = nopi;
        inputs.pi_folder = pi;
        for (int k = 0; k < 3; ++k) {
            test::write_dicom(nopi + "/IM" + std::to_string(k), image(1000 + 10 * k), {.padding = 370});
            test::write_dicom(pi + "/IM" + std::to_string(k), image(900 + 20 * k), {.padding = 370});
        }
    }
    std::string failure()
    {
        try {
            return run_consecutive(*state, inputs, view) ? "" : "refused";
        } catch (const Error& error) {
            return error.what();
        }
    }
};

TEST_F(ConsecutiveDicom, PaddedImagesGiveWhatRawSlicesGiveAndARescaleEntersEverySample)
{
    ASSERT_EQ(failure(), "");
    const auto from_dicom = std::make_unique<ConsecutiveState>(*state);
    for (int k = 0; k < 3; ++k) {
        test::write_slice(nopi + "/IM" + std::to_string(k), image(1000 + 10 * k));
        test::write_slice(pi + "/IM" + std::to_string(k), image(900 + 20 * k));
    }
    ASSERT_EQ(failure(), "");
    for (const auto& [dicom, raw] : {std::pair{&from_dicom->disp_image, &state->disp_image},
                                     {&from_dicom->noise_nopi, &state->noise_nopi},
                                     {&from_dicom->snr_pi, &state->snr_pi},
                                     {&from_dicom->gfactor_map, &state->gfactor_map}})
        EXPECT_EQ(*dicom, *raw);
    EXPECT_TRUE(from_dicom->slices_nopi.at(2).source.dicom);
    EXPECT_FALSE(state->slices_nopi.at(2).source.dicom);

    // The stored values hold an offset that the rescale takes away.
    for (int k = 0; k < 3; ++k)
        test::write_dicom(nopi + "/IM" + std::to_string(k), image(1000 + 10 * k),
                          {.rescale_slope = "2.468", .rescale_intercept = "-5053"});
    ASSERT_EQ(failure(), "");
    double sum = 0;
    for (int k = 0; k < 3; ++k)
        sum = ext::store(sum + static_cast<double>((1000 + 10 * k) * 2.468L - 5053));
    EXPECT_EQ(state->signal_nopi[0], ext::store(ext::div(sum, 3)));
    EXPECT_EQ(state->rep_nopi[1], static_cast<double>(-1020 * 2.468L - 5053));
    EXPECT_EQ(state->disp_image[1], state->rep_nopi[1]);
}

TEST_F(ConsecutiveDicom, AnImageTheReaderRefusesStopsTheRunBeforeAnythingChanges)
{
    state->signal_nopi.fill(5.0);
    state->disp_image.fill(5.0);
    test::write_dicom(nopi + "/DICOMDIR", image(0), {.pixel_data = false});
    EXPECT_EQ(failure(), "refused");
    EXPECT_EQ(view.refusals, std::vector<std::string>{nopi + "のDICOMDIRには画素データがありません"});
    EXPECT_EQ(view.begins, 0);
    EXPECT_EQ(view.reports, 0);
    EXPECT_EQ(state->signal_nopi[0], 5.0);
    EXPECT_EQ(state->disp_image[0], 5.0);

    std::filesystem::remove(nopi + "/DICOMDIR");
    test::write_dicom(pi + "/IM9", image(0), {.rows = 512, .columns = 512});
    EXPECT_EQ(failure(), "refused");
    EXPECT_EQ(view.refusals.back(), pi + "のIM9は256×256の16ビット画像ではありません (512×512)");
    inputs.gfactor = false;  // the PI folder is not read then, nor checked
    EXPECT_EQ(failure(), "");
    EXPECT_EQ(view.begins, 1);
}

TEST_F(ConsecutiveDicom, AnImageChangedAfterTheCheckIsRefusedByTheReader)
{
    view.act_at = 1;
    view.action = [&] { test::write_dicom(nopi + "/IM2", image(0), {.rows = 512, .columns = 512}); };
    EXPECT_EQ(failure(), "IM2は256×256の16ビット画像ではありません (512×512)");
}

// Adds a slice once: at a second listing of the folder, or at the first file opened after the
// listing, whichever comes first.
std::function<void()> add_slice;
const SystemCalls& adding_calls()
{
    static SystemCalls calls = [] {
        SystemCalls with_hook = real_system_calls();
        with_hook.opendir = [](const char* path) {
            static int listings = 0;
            if (++listings == 2 && add_slice)
                std::exchange(add_slice, nullptr)();
            return real_system_calls().opendir(path);
        };
        with_hook.open = [](const char* path, int flags, mode_t mode) {
            if (add_slice)
                std::exchange(add_slice, nullptr)();
            return real_system_calls().open(path, flags, mode);
        };
        return with_hook;
    }();
    return calls;
}

TEST_F(ConsecutiveDicom, ASliceAddedAfterTheListingIsNeitherCountedNorRead)
{
    inputs.gfactor = false;
    add_slice = [&] { test::write_slice(nopi + "/IM3", image(30000)); };
    const SystemCalls previous = replace_system_calls(adding_calls());
    const std::string result = failure();
    replace_system_calls(previous);
    ASSERT_EQ(result, "");
    EXPECT_TRUE(std::filesystem::exists(nopi + "/IM3"));
    EXPECT_EQ(state->count_nopi, 3);
    EXPECT_EQ(state->slices_nopi.size(), 3u);
    EXPECT_EQ(state->signal_nopi[0], 1010.0);
    EXPECT_EQ(state->noise_nopi[0], 10.0);
}

}  // namespace
}  // namespace snr
