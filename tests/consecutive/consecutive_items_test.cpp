// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <string>

#include "consecutive/consecutive_items.h"
#include "tests/support/item_support.h"

namespace snr {
namespace {

using Steps = std::vector<std::string>;

class ConsecutiveSelection
    : public test::SelectionTest<ConsecutiveState, select_consecutive_item, show_consecutive_item> {
protected:
    void SetUp() override
    {
        state->legend.scale_min = 1;
        state->legend.scale_step = 2;
        state->rep_nopi.fill(1001);
        state->snr_pi.fill(30);
        state->gfactor_map.fill(120);
    }
};

TEST_F(ConsecutiveSelection, StepsOfEachKindInTheirOrder)
{
    EXPECT_EQ(select(7), (Steps{"legend hidden", "edits 60 20", "title  SNR = ", "labels", "legend shown",
                                "caption ( WL,WW ) = ( 160 , 460 )", "render"}));
    EXPECT_EQ(state->disp_image, state->snr_pi);
    EXPECT_EQ(state->legend.scale_min, 60.0);
    EXPECT_EQ(state->legend.scale_step, 20.0);

    EXPECT_EQ(select(8), (Steps{"legend hidden", "edits 0.6 0.2", "labels", "legend shown",
                                "caption ( WL,WW ) = ( 200 , 400 )", "caption ( WL,WW ) = ( 2.00 , 4.00 )", "render"}));
    EXPECT_EQ(state->disp_image, state->gfactor_map);

    // No selection: the plane on display stays, with its automatic window.
    EXPECT_EQ(select(-1), (Steps{"legend hidden", "title  信号強度 = ", "caption ( WL,WW ) = ( 60 , 120 )", "render"}));
    EXPECT_EQ(state->disp_image, state->gfactor_map);

    EXPECT_EQ(select(0), (Steps{"legend hidden", "title  信号強度 = ", "caption ( WL,WW ) = ( 500 , 1001 )", "render"}));
    EXPECT_EQ(state->legend.scale_min, 60.0);
}

TEST_F(ConsecutiveSelection, ANestedHandlerThatFailedHalfwayLeavesNoTrace)
{
    fail_nested_handlers();
    EXPECT_EQ(select(7), (Steps{"legend hidden", "edits 60 20", "title  SNR = ", "labels", "legend shown",
                                "caption ( WL,WW ) = ( 160 , 460 )", "render"}));
    EXPECT_EQ(state->disp_image, state->snr_pi);
}

TEST(ConsecutiveItems, EachPlaneAndNameOnceAndTheSingleLayoutFirst)
{
    const auto table = consecutive_item_table();
    EXPECT_TRUE(test::rows_distinct(table));
    EXPECT_EQ(list_captions(table, true).size(), 9u);
    EXPECT_EQ(list_captions(table, false),
              (Steps{"PIなし 代表画像", "PIなし 信号値画像", "PIなし 雑音値画像", "PIなし SNR map"}));
}

}  // namespace
}  // namespace snr
