// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <string>

#include "submap/submap_items.h"
#include "tests/support/item_support.h"

namespace snr {
namespace {

using Steps = std::vector<std::string>;

class SubmapSelection : public test::SelectionTest<SubmapState, select_submap_item, show_submap_item> {
protected:
    void SetUp() override
    {
        state->legend.scale_min = 1;
        state->legend.scale_step = 2;
        state->img1_nopi.fill(1001);
        state->snr_nopi.fill(300);
        state->gfactor_map.fill(120);
    }
};

TEST_F(SubmapSelection, StepsOfEachKindInTheirOrder)
{
    EXPECT_EQ(select(4), (Steps{"title SNR", "legend shown", "edits 60 20", "labels", "readout cleared",
                                "caption   ( WL,WW ) = ( 150 , 300 )", "render"}));
    EXPECT_EQ(state->disp_image, state->snr_nopi);

    EXPECT_EQ(select(10), (Steps{"title g-factor", "legend shown", "edits 0.6 0.2", "labels", "readout cleared",
                                 "caption   ( WL,WW ) = ( 100 , 200 )", "caption   ( WL,WW ) = ( 1.00 , 2.00 )",
                                 "render"}));
    EXPECT_EQ(select(0), (Steps{"title 信号強度", "legend hidden", "readout cleared",
                                "caption   ( WL,WW ) = ( 500 , 1001 )", "render"}));
    EXPECT_EQ(state->disp_image, state->img1_nopi);
    // The legend settings belong to the edits alone here.
    EXPECT_EQ(state->legend.scale_min, 1.0);
    EXPECT_EQ(state->legend.scale_step, 2.0);
}

TEST_F(SubmapSelection, ANestedHandlerThatFailedHalfwayLeavesNoTrace)
{
    fail_nested_handlers();
    EXPECT_EQ(select(4), (Steps{"title SNR", "legend shown", "edits 60 20", "labels", "readout cleared",
                                "caption   ( WL,WW ) = ( 150 , 300 )", "render"}));
    EXPECT_EQ(state->disp_image, state->snr_nopi);
}

TEST(SubmapItems, EachPlaneAndNameOnceAndTheSingleLayoutFirst)
{
    const auto table = submap_item_table();
    EXPECT_TRUE(test::rows_distinct(table));
    EXPECT_EQ(list_captions(table, true).size(), 11u);
    EXPECT_EQ(list_captions(table, false), (Steps{"画像1", "画像2", "信号値画像", "雑音値画像", "SNR map"}));
}

}  // namespace
}  // namespace snr
