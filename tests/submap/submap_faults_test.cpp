// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <sys/stat.h>

#include "core/errors.h"
#include "submap/submap_items.h"
#include "tests/support/item_support.h"
#include "tests/support/temp_folder.h"

namespace snr {
namespace {

namespace fs = std::filesystem;

struct QuietView : SubmapRunView {
    void refuse(const std::string&) override {}
    void begin(const std::vector<std::string>&) override {}
};

bool all_finite(const SubmapState& state)
{
    return test::planes_finite(submap_item_table(), state, {&state.disp_image, &state.diff_image, &state.diff_mean});
}

// Checkerboard of the two extremes, starting with `first` at the top left.
StoredPixels checkerboard(std::int16_t first, std::int16_t second)
{
    StoredPixels samples;
    for (int i = 0; i < plane_pixels; ++i)
        samples[i] = ((i / 256 + i % 256) % 2 == 0) ? first : second;
    return samples;
}

class SubmapFaults : public ::testing::Test {
protected:
    std::unique_ptr<SubmapState> state = std::make_unique<SubmapState>();
    test::TempFolder tmp;
    QuietView view;
    SubmapInputs inputs;

    void choose(const std::vector<std::string>& names, const std::vector<StoredPixels>& images)
    {
        std::string* paths[] = {&state->path1_nopi, &state->path2_nopi, &state->path1_pi, &state->path2_pi};
        std::string* captions[] = {&inputs.caption1, &inputs.caption2, &inputs.caption3, &inputs.caption4};
        for (int k = 0; k < 4; ++k) {
            *paths[k] = tmp.file(names[k]);
            *captions[k] = names[k];
            test::write_slice(*paths[k], images[k]);
        }
    }
    std::string failure()
    {
        std::string message;
        try {
            run_submap(*state, inputs, view);
        } catch (const Error& error) {
            message = error.what();
        }
        EXPECT_TRUE(all_finite(*state));
        return message;
    }
};

TEST_F(SubmapFaults, AChosenFileChangedBeforeTheStartIsReported)
{
    const std::vector<std::string> names{"a", "b", "c", "d"};
    const std::vector<StoredPixels> images{test::filled(10), test::filled(11), test::filled(12), test::filled(13)};
    choose(names, images);
    fs::remove(tmp.file("c"));
    EXPECT_EQ(failure(), "ファイルが見つかりません");
    fs::create_directory(tmp.file("c"));
    EXPECT_EQ(failure(), "ファイルへのアクセスが拒否されました");
    fs::remove(tmp.file("c"));
    ASSERT_EQ(::mkfifo(tmp.file("c").c_str(), 0600), 0);
    EXPECT_EQ(failure(), "I/O エラー (131)");
    fs::remove(tmp.file("c"));
    fs::create_symlink(tmp.file("c"), tmp.file("c"));  // a link to itself
    EXPECT_EQ(failure(), "I/O エラー (1921)");
    fs::remove(tmp.file("c"));
    choose(names, images);
    fs::resize_file(tmp.file("d"), 131071);
    EXPECT_EQ(failure(), "I/O エラー (131)");
    fs::remove_all(tmp.path());
    EXPECT_EQ(failure(), "ファイル名の指定が間違っています");
}

TEST_F(SubmapFaults, ExtremeSamplesStayFinite)
{
    // A constant difference of 65,535: no noise anywhere, no SNR outside the legend.
    choose({"a", "b", "c", "d"}, {test::filled(32767), test::filled(-32768), checkerboard(32767, -32768),
                                  checkerboard(-32768, 32767)});
    EXPECT_EQ(failure(), "");
    EXPECT_EQ(at(state->noise_nopi, 100, 100), 0.0);
    EXPECT_EQ(at(state->snr_nopi, 100, 100), 0.0);
    EXPECT_EQ(at(state->signal_nopi, 100, 100), 32767.0);
    EXPECT_EQ(state->window.ww, 32767);
    // Differences of +-65,535 side by side: the largest noise there is.
    EXPECT_GT(at(state->noise_pi, 100, 100), 65535.0);
    EXPECT_EQ(at(state->gfactor_map, 100, 100), 0.0);  // no SNR without PI there

    for (const char* r : {"1e-300", "1e300", "4.9e-324"}) {
        inputs.r_text = r;
        EXPECT_EQ(failure(), "") << r;
    }
    inputs.r_text = "2";
    inputs.legend.step = "1e308";
    EXPECT_EQ(failure(), "浮動小数点数のオーバーフロー");
    inputs.legend.step = std::string(400, '1');
    EXPECT_EQ(failure(), "浮動小数点数のオーバーフロー");
}

}  // namespace
}  // namespace snr
