// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <random>

#include "core/errors.h"
#include "core/legend.h"
#include "submap/submap_items.h"
#include "tests/support/dicom_writer.h"
#include "tests/support/temp_folder.h"

namespace snr {
namespace {

struct RecordingView : SubmapRunView {
    std::vector<std::string> refusals;
    std::vector<std::string> items;
    std::vector<std::string> notes;
    int begins = 0;
    void refuse(const std::string& message) override { refusals.push_back(message); }
    void begin(const std::vector<std::string>& list) override
    {
        ++begins;
        items = list;
    }
    void notices(const std::vector<std::string>& texts) override { notes = texts; }
};

const Plane zero_plane{};

bool is_centre(int r, int c) { return r >= 3 && r <= 252 && c >= 3 && c <= 252; }
bool in_legend_box(int r, int c) { return r >= 52 && r <= 203 && c >= 234 && c <= 251; }

// One centre recomputed the plain way: every sum from 0 in window order, rounded to double
// after each addition, everything else in long double.
struct Expected {
    double diff_mean, signal, noise, snr;
};

Expected recompute(const Samples& a, const Samples& b, int r, int c)
{
    auto sample = [](const Samples& s, int i, int j) { return static_cast<long double>(s[i * 256 + j]); };
    double sum_a = 0, sum_d = 0;
    for (int i = r - 3; i <= r + 3; ++i)
        for (int j = c - 3; j <= c + 3; ++j) {
            sum_a = static_cast<double>(sum_a + sample(a, i, j));
            sum_d = static_cast<double>(sum_d + (sample(a, i, j) - sample(b, i, j)));
        }
    Expected e{};
    e.signal = static_cast<double>(sum_a / 49.0L);
    e.diff_mean = static_cast<double>(sum_d / 49.0L);
    double squares = 0;
    for (int i = r - 3; i <= r + 3; ++i)
        for (int j = c - 3; j <= c + 3; ++j) {
            const long double d = e.diff_mean - (sample(a, i, j) - sample(b, i, j));
            squares = static_cast<double>(squares + d * d);
        }
    e.noise = static_cast<double>(sqrtl(squares / 48.0L));
    e.snr = e.noise == 0 ? 0.0 : static_cast<double>(e.signal / (e.noise / sqrtl(2.0L)));
    return e;
}

double recompute_g(double snr_nopi, double snr_pi, double r)
{
    return static_cast<double>(100.0L * snr_nopi / (sqrtl(r) * snr_pi));
}

StoredPixels dented()  // the worked example's image 2
{
    StoredPixels samples = test::filled(100);
    samples[10 * 256 + 10] = 93;
    return samples;
}

class SubmapRun : public ::testing::Test {
protected:
    std::unique_ptr<SubmapState> state = std::make_unique<SubmapState>();
    test::TempFolder tmp;
    RecordingView view;
    SubmapInputs inputs;

    // Writes the images and chooses them as the selectors would.
    void choose(const StoredPixels& nopi1, const StoredPixels& nopi2, const StoredPixels& pi1, const StoredPixels& pi2,
                const std::string& rescale_slope = "")
    {
        const StoredPixels* images[] = {&nopi1, &nopi2, &pi1, &pi2};
        std::string* paths[] = {&state->path1_nopi, &state->path2_nopi, &state->path1_pi, &state->path2_pi};
        std::string* captions[] = {&inputs.caption1, &inputs.caption2, &inputs.caption3, &inputs.caption4};
        for (int k = 0; k < 4; ++k) {
            *captions[k] = "image" + std::to_string(k + 1);
            *paths[k] = tmp.file(*captions[k]);
            if (rescale_slope.empty())
                test::write_slice(*paths[k], *images[k]);
            else
                test::write_dicom(*paths[k], *images[k], {.rescale_slope = rescale_slope});
        }
    }
    std::string failure(Halves halves = Halves::InTurn)
    {
        try {
            run_submap(*state, inputs, view, halves);
        } catch (const Error& error) {
            return error.what();
        }
        return "";
    }
};

TEST_F(SubmapRun, WorkedExample)
{
    const StoredPixels flat = test::filled(100), dent = dented();
    choose(flat, dent, flat, dent);
    ASSERT_TRUE(run_submap(*state, inputs, view));
    EXPECT_EQ(view.items, list_captions(submap_item_table(), true));
    EXPECT_EQ(view.items.size(), 11u);

    for (int r = 3; r <= 252; ++r)
        for (int c = 3; c <= 252; ++c) {
            ASSERT_EQ(at(state->signal_nopi, r, c), 100.0);
            if (r >= 7 && r <= 13 && c >= 7 && c <= 13) {
                const Expected e = recompute(test::as_samples(flat), test::as_samples(dent), r, c);
                ASSERT_EQ(at(state->diff_mean, r, c), static_cast<double>(1.0L / 7));
                ASSERT_EQ(at(state->noise_nopi, r, c), e.noise);
                ASSERT_NEAR(at(state->noise_nopi, r, c), 1.0, 1e-12);  // 1 only up to rounding
                ASSERT_EQ(at(state->snr_pi, r, c), e.snr);
                ASSERT_NEAR(e.snr, 141.42, 0.01);
                ASSERT_EQ(at(state->gfactor_map, r, c), recompute_g(e.snr, e.snr, 2.0));
                ASSERT_NEAR(at(state->gfactor_map, r, c), 70.71, 0.01);
            } else if (!in_legend_box(r, c)) {
                ASSERT_EQ(at(state->noise_pi, r, c), 0.0);
                ASSERT_EQ(at(state->snr_nopi, r, c), 0.0);
                ASSERT_EQ(at(state->gfactor_map, r, c), 0.0);
            }
        }
    for (const Plane* map : {&state->snr_nopi, &state->snr_pi, &state->gfactor_map}) {
        EXPECT_EQ(at(*map, 53, 235), 60.0);
        EXPECT_EQ(at(*map, 187, 250), 240.0);
        EXPECT_EQ(at(*map, 202, 250), 260.0);
        EXPECT_EQ(at(*map, 52, 234), 300.0);
    }
}

TEST_F(SubmapRun, ImagesThatDifferAreNoticedAfterTheyAreRead)
{
    const StoredPixels flat = test::filled(100), dent = dented();
    choose(flat, dent, flat, dent, "1");
    test::write_dicom(state->path2_pi, dent, {.rescale_slope = "1", .elements = {{0x0018, 0x0081, "30"}}});
    ASSERT_TRUE(run_submap(*state, inputs, view, Halves::Together));
    EXPECT_EQ(view.notes, std::vector<std::string>{"image3とimage4でエコー時間 (TE)が違います (なし / 30)"});
}

TEST_F(SubmapRun, IdenticalImagesHaveNoNoiseAndNoSnr)
{
    StoredPixels image = test::filled(0);
    image[5000] = 1001;
    image[6000] = -20;
    choose(image, image, image, image);
    inputs.gfactor = false;
    ASSERT_TRUE(run_submap(*state, inputs, view));
    EXPECT_EQ(view.items, (std::vector<std::string>{"画像1", "画像2", "信号値画像", "雑音値画像", "SNR map"}));
    EXPECT_EQ(state->noise_nopi, zero_plane);
    for (int p = 0; p < plane_pixels; ++p)
        ASSERT_EQ(state->snr_nopi[p], in_legend_box(p / 256, p % 256) ? state->snr_nopi[p] : 0.0);
    EXPECT_EQ(state->disp_image, state->img1_nopi);
    EXPECT_EQ(state->window.disp_max, 1001.0);
    EXPECT_EQ(state->window.ww, 1001);
    EXPECT_EQ(state->window.wl, 500);
}

// Both images of each pair at random, the second near the first; with a rescale, samples that
// are no whole numbers.
void random_images(StoredPixels (&images)[4])
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> any(-32768, 32767), near(-40, 40);
    for (int k = 0; k < 4; k += 2)
        for (int p = 0; p < plane_pixels; ++p) {
            images[k][p] = static_cast<std::int16_t>(k == 0 ? any(random) : 800 + near(random));
            images[k + 1][p] = static_cast<std::int16_t>(std::clamp(images[k][p] + near(random), -32768, 32767));
        }
}

TEST_F(SubmapRun, RandomImagesMatchAPlainRecomputationBitForBit)
{
    StoredPixels images[4];
    random_images(images);
    for (const char* slope : {"", "0.37"}) {
        for (const Halves halves : {Halves::InTurn, Halves::Together}) {
            SCOPED_TRACE(std::string("slope ") + slope + (halves == Halves::Together ? ", together" : ", in turn"));
            state = std::make_unique<SubmapState>();
            choose(images[0], images[1], images[2], images[3], slope);
            inputs.r_text = " 3.5 ";
            ASSERT_TRUE(run_submap(*state, inputs, view, halves));

            Samples samples[4];
            for (int k = 0; k < 4; ++k) {
                samples[k] = test::as_samples(images[k]);
                for (double& sample : samples[k])
                    sample = *slope ? static_cast<double>(sample * 0.37L) : sample;
            }
            std::vector<std::pair<int, int>> centres{{3, 3}, {3, 252}, {252, 3}, {252, 252}, {128, 77}, {40, 200}};
            for (int c = 3; c <= 252; ++c)
                centres.emplace_back(251, c);
            for (const auto& [r, c] : centres) {
                const Expected nopi = recompute(samples[0], samples[1], r, c);
                const Expected pi = recompute(samples[2], samples[3], r, c);
                EXPECT_EQ(at(state->signal_nopi, r, c), nopi.signal) << r << "," << c;
                EXPECT_EQ(at(state->noise_nopi, r, c), nopi.noise) << r << "," << c;
                EXPECT_EQ(at(state->snr_nopi, r, c), nopi.snr) << r << "," << c;
                EXPECT_EQ(at(state->diff_mean, r, c), pi.diff_mean) << r << "," << c;  // the PI pair's
                EXPECT_EQ(at(state->noise_pi, r, c), pi.noise) << r << "," << c;
                EXPECT_EQ(at(state->snr_pi, r, c), pi.snr) << r << "," << c;
                EXPECT_EQ(at(state->gfactor_map, r, c), recompute_g(nopi.snr, pi.snr, 3.5)) << r << "," << c;
            }
            // Under the legend box the state keeps what the computation gave there.
            for (const auto& [r, c] : {std::pair{52, 234}, {128, 245}, {203, 251}}) {
                const Expected nopi = recompute(samples[0], samples[1], r, c);
                const Expected pi = recompute(samples[2], samples[3], r, c);
                const std::size_t k = (r - 52) * legend::box_columns + (c - 234);
                EXPECT_EQ(state->snr_nopi_box[k], nopi.snr) << r << "," << c;
                EXPECT_EQ(state->snr_pi_box[k], pi.snr) << r << "," << c;
                EXPECT_EQ(state->gfactor_box[k], recompute_g(nopi.snr, pi.snr, 3.5)) << r << "," << c;
            }

            // The three-pixel border of the measured planes is never written.
            for (const Plane* plane : {&state->signal_nopi, &state->noise_nopi, &state->snr_nopi, &state->signal_pi,
                                       &state->noise_pi, &state->snr_pi, &state->gfactor_map}) {
                for (int p = 0; p < plane_pixels; ++p)
                    ASSERT_TRUE(is_centre(p / 256, p % 256) || (*plane)[p] == 0.0) << p;
            }
        }
    }
}

TEST_F(SubmapRun, TogetherTheNoPiPairFailsFirst)
{
    choose(dented(), test::filled(100), dented(), test::filled(100));
    std::filesystem::resize_file(state->path2_nopi, 100);
    std::filesystem::remove(state->path1_pi);
    EXPECT_EQ(failure(Halves::Together), "I/O エラー (131)");
    choose(dented(), test::filled(100), dented(), test::filled(100));
    std::filesystem::remove(state->path1_pi);
    EXPECT_EQ(failure(Halves::Together), "ファイルが見つかりません");
    choose(dented(), test::filled(100), dented(), test::filled(100));
    inputs.r_text = "-1";
    EXPECT_EQ(failure(Halves::Together), "不正な浮動小数点数演算命令");
}

TEST_F(SubmapRun, CentresWithoutNoiseReadZeroAfterAnEarlierRun)
{
    const StoredPixels flat = test::filled(100), dent = dented();
    choose(flat, dent, flat, dent);
    ASSERT_TRUE(run_submap(*state, inputs, view));
    ASSERT_NE(at(state->snr_nopi, 10, 10), 0.0);
    ASSERT_NE(at(state->gfactor_map, 10, 10), 0.0);

    choose(flat, flat, flat, flat);
    ASSERT_TRUE(run_submap(*state, inputs, view));
    EXPECT_EQ(at(state->snr_nopi, 10, 10), 0.0);
    EXPECT_EQ(at(state->snr_pi, 10, 10), 0.0);
    EXPECT_EQ(at(state->gfactor_map, 10, 10), 0.0);
}

TEST_F(SubmapRun, AnUncheckedRunLeavesThePiPlanes)
{
    const StoredPixels flat = test::filled(100), dent = dented();
    choose(flat, dent, flat, dent);
    ASSERT_TRUE(run_submap(*state, inputs, view));
    const auto before = std::make_unique<SubmapState>(*state);

    choose(dent, flat, flat, flat);
    inputs.gfactor = false;
    inputs.caption3.clear();
    inputs.caption4.clear();
    state->path1_pi = tmp.file("missing");
    inputs.r_text = "not read";
    ASSERT_TRUE(run_submap(*state, inputs, view));
    EXPECT_EQ(view.items.size(), 5u);
    EXPECT_EQ(state->img1_nopi, state->disp_image);
    EXPECT_NE(state->img1_nopi, before->img1_nopi);
    EXPECT_TRUE(state->img1_pi == before->img1_pi && state->img2_pi == before->img2_pi);
    EXPECT_TRUE(state->signal_pi == before->signal_pi && state->noise_pi == before->noise_pi);
    EXPECT_TRUE(state->snr_pi == before->snr_pi && state->gfactor_map == before->gfactor_map);
}

TEST_F(SubmapRun, ChecksRefuseInTheirOrderAndChangeNothing)
{
    const StoredPixels flat = test::filled(100), dent = dented();
    choose(flat, dent, flat, dent);
    inputs.legend.minimum = "x";
    inputs.r_text = "0";
    inputs.caption4.clear();
    EXPECT_FALSE(run_submap(*state, inputs, view));
    inputs.gfactor = false;  // image 4 is not needed now, but R "0" is refused all the same
    EXPECT_FALSE(run_submap(*state, inputs, view));
    inputs.caption2.clear();
    EXPECT_FALSE(run_submap(*state, inputs, view));
    EXPECT_EQ(view.refusals, (std::vector<std::string>{"SNR測定する画像を選択してください",
                                                       "reduction factorが不正です",
                                                       "SNR測定する画像を選択してください"}));
    EXPECT_EQ(view.begins, 0);
    EXPECT_EQ(state->img1_nopi, zero_plane);
}

TEST_F(SubmapRun, ConversionsFollowTheListAndPrecedeTheFiles)
{
    const StoredPixels flat = test::filled(100), dent = dented();
    choose(flat, dent, flat, dent);
    state->path1_nopi = tmp.file("missing");
    inputs.r_text = "two";
    inputs.legend.minimum = "x";
    EXPECT_EQ(failure(), "'two' は浮動小数点数ではありません");
    EXPECT_EQ(view.begins, 1);
    inputs.gfactor = false;  // R is not read
    EXPECT_EQ(failure(), "'x' は浮動小数点数ではありません");
    inputs.legend.minimum = "10";
    inputs.legend.step = "y";
    EXPECT_EQ(failure(), "'y' は浮動小数点数ではありません");
    EXPECT_EQ(state->legend.scale_min, 10.0);
    inputs.legend.step = "5";
    EXPECT_EQ(failure(), "ファイルが見つかりません");
    EXPECT_EQ(state->legend.scale_step, 5.0);

    // A failing second file leaves image 1 read but the window as it was.
    state->path1_nopi = tmp.file("image1");
    state->path2_nopi = tmp.folder("a-folder");
    state->window.wl = state->window.ww = 1;
    EXPECT_EQ(failure(), "ファイルへのアクセスが拒否されました");
    EXPECT_EQ(state->disp_image, state->img1_nopi);
    EXPECT_EQ(state->img1_nopi[0], 100.0);
    EXPECT_EQ(state->window.ww, 1);
}

TEST_F(SubmapRun, ZeroOrNegativeRFailsAtTheFirstCentreWithAPiSnr)
{
    const StoredPixels flat = test::filled(100), dent = dented();
    struct Case {
        const char* r_text;
        const StoredPixels& nopi2;  // first PI SNR at (7, 7) with a dented PI pair, else at the frame
        const StoredPixels& pi2;
        const char* message;
    };
    const auto fives = std::make_unique<Plane>();
    fives->fill(5.0);
    const Case cases[] = {
        {"-2", dent, dent, "不正な浮動小数点数演算命令"},
        {"0.0", dent, dent, "0 による浮動小数点数除算"},
        {" 0", flat, dent, "不正な浮動小数点数演算命令"},  // no-PI SNR 0 there: 0 / 0
        {"00", dent, flat, "0 による浮動小数点数除算"},    // the frame's 300 / 0 at (52, 234)
    };
    for (const Case& test_case : cases) {
        choose(flat, test_case.nopi2, flat, test_case.pi2);
        inputs.r_text = test_case.r_text;
        state->gfactor_map.fill(5.0);
        state->window.wl = state->window.ww = 1;
        EXPECT_EQ(failure(), test_case.message) << test_case.r_text;
        EXPECT_EQ(state->gfactor_map, *fives) << test_case.r_text;
        EXPECT_EQ(state->window.ww, 1);
    }
}

}  // namespace
}  // namespace snr
