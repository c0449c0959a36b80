// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <vector>

#include "window_model/roi_report.h"

namespace snr {
namespace {

TEST(RoiReport, ExactNumbersRecordsAndTheTable)
{
    for (double value : {0.1, 1.0 / 3, -2.5e-300, 1e21, 5.0, std::numeric_limits<double>::max()})
        EXPECT_EQ(std::strtod(exact_number(value).c_str(), nullptr), value) << exact_number(value);
    EXPECT_EQ(exact_number(0.1), "0.10000000000000001");
    EXPECT_EQ(exact_number(5), "5");

    EXPECT_EQ(record({"a", "b,c", "say \"x\"", ""}, ','), "a,\"b,c\",\"say \"\"x\"\"\",\n");
    EXPECT_EQ(record({"b,c", "d\te"}, '\t'), "b,c\t\"d\te\"\n");

    const RoiStats one{1, 2.5, std::nullopt, 2.5, 2.5};
    const std::vector<RoiRow> rows{{"PIなし SNR map", ItemKind::SnrMap, one}, {"g-factor map", ItemKind::GFactor, {}}};
    EXPECT_EQ(roi_table_text({4, 5, 1, 1}, rows, ','),
              "row,column,height,width,plane,n,mean,sd,min,max\n"
              "4,5,1,1,PIなし SNR map,1,2.5,,2.5,2.5\n"
              "4,5,1,1,g-factor map,0,,,,\n");
    EXPECT_EQ(roi_extent_text({20, 10, 30, 2}), "行 20–49　列 10–11　(30 × 2 画素)");
    EXPECT_EQ(shown_figure(1.23456, ItemKind::GFactor), "1.235");
    EXPECT_EQ(shown_figure(1.23456, ItemKind::Other), "1.23");
    EXPECT_EQ(shown_figure(std::nullopt, ItemKind::Other), "–");
}

}  // namespace
}  // namespace snr
