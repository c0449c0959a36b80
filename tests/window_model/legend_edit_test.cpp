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

}  // namespace
}  // namespace snr
