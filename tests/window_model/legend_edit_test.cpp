// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include "core/display.h"
#include "core/errors.h"
#include "window_model/legend_edit.h"

namespace snr {
namespace {

TEST(LegendLabels, BeyondTheExtendedRangeIsAnOverflowNeverAnInfinity)
{
    // Each text fits the extended range; the upper labels would not.
    try {
        legend_label_texts(ItemKind::SnrMap, {"1e4932", "1e4932"});
        ADD_FAILURE();
    } catch (const FloatError& error) {
        EXPECT_EQ(error.fault(), FloatFault::Overflow);
    }
    EXPECT_EQ(legend_label_texts(ItemKind::GFactor, {"1e300", "-1e300"})->back(), format_fixed(-8e300L, 2));
}

TEST(LegendEdits, ATextBeyondTheDoubleRangeIsTheOverflowWhereverItIsRead)
{
    ViewerState state;
    Plane map{};
    for (const LegendTexts& texts : {LegendTexts{"60", "1e400"}, LegendTexts{"-1e400", "20"}}) {
        for (ItemKind kind : {ItemKind::SnrMap, ItemKind::GFactor, ItemKind::Other}) {
            try {
                legend_label_texts(kind, texts);
                ADD_FAILURE() << texts.minimum << " " << texts.step;
            } catch (const FloatError& error) {
                EXPECT_EQ(std::string(error.what()), "浮動小数点数のオーバーフロー");
            }
            EXPECT_THROW(apply_legend_edit(state, kind, &map, texts), FloatError);
            LegendSettings settings;
            EXPECT_THROW(read_legend_settings(texts, settings), FloatError);
        }
    }
    EXPECT_EQ(map, Plane{});  // nothing stamped
    // The largest double is a number like any other.
    EXPECT_EQ(legend_label_texts(ItemKind::SnrMap, {"1.7e308", "0"})->front().size(), 309u);
}

}  // namespace
}  // namespace snr
