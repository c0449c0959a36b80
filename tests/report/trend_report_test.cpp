// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include "report/trend_report.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tool_output.h"

namespace snr::report {
namespace {

history::Trend trend_of(const std::vector<std::optional<double>>& values)
{
    history::Trend trend;
    trend.item = "snr_nopi";
    trend.caption = "PIなし SNR map";
    trend.figure = "mean";
    trend.method = "consecutive";
    trend.scanner = {{"Maker", "Model 3T", "MRC1", ""}, "Head 32ch"};
    trend.baseline = 1;
    trend.baseline_value = 10;
    trend.tolerance = 15;
    for (std::size_t k = 0; k < values.size(); ++k)
        trend.points.push_back({static_cast<long long>(k + 1), "2026-12-" + std::to_string(10 + k) + "T09:00:00Z",
                                values[k], std::nullopt, false});
    history::compare_with_baseline(trend);
    return trend;
}

TEST(TrendChart, TheLineBreaksWhereARunHasNoValueAndTheRunsBeyondAreFlagged)
{
    const Chart chart = trend_chart(trend_of({10, std::nullopt, 11, 13}));
    ASSERT_EQ(chart.lines.size(), 2u);
    EXPECT_EQ(chart.lines[0], (std::vector<QPointF>{{0, 10}}));
    EXPECT_EQ(chart.lines[1], (std::vector<QPointF>{{2, 11}, {3, 13}}));
    ASSERT_EQ(chart.points.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k)
        EXPECT_EQ(chart.points[k].flagged, k == 1 || k == 3) << k;  // no value, and 30 % above
    EXPECT_FALSE(chart.points[1].y);

    // The baseline with its band of ± 15 %, all within the range shown, as are the values.
    ASSERT_EQ(chart.bands.size(), 1u);
    EXPECT_DOUBLE_EQ(chart.bands[0].low, 8.5);
    EXPECT_DOUBLE_EQ(chart.bands[0].high, 11.5);
    ASSERT_EQ(chart.markers.size(), 1u);
    EXPECT_TRUE(chart.markers[0].level);
    EXPECT_EQ(chart.markers[0].at, 10);
    EXPECT_LT(chart.y_min, 8.5);
    EXPECT_GT(chart.y_max, 13);
    EXPECT_LT(chart.x_min, 0);
    EXPECT_GT(chart.x_max, 3);
    ASSERT_EQ(chart.x_labels.size(), 4u);
    EXPECT_EQ(chart.x_labels[3].text, "run 4\n2026-12-13");
    EXPECT_TRUE(chart.note.contains("green band"));
}

TEST(TrendChart, ALongSeriesNamesSomeTwelveRunsAndTheNewest)
{
    const Chart chart = trend_chart(trend_of(std::vector<std::optional<double>>(30, 10.0)));
    std::vector<double> named;
    for (const ChartLabel& label : chart.x_labels)
        named.push_back(label.x);
    EXPECT_EQ(named, (std::vector<double>{0, 3, 6, 9, 12, 15, 18, 21, 24, 27, 29}));
}

TEST(TrendChart, WithoutValuesOrBaselineTheRangesStayDrawable)
{
    history::Trend empty = trend_of({});
    empty.baseline_value.reset();
    const Chart chart = trend_chart(empty);
    EXPECT_TRUE(chart.bands.empty());
    EXPECT_TRUE(chart.markers.empty());
    EXPECT_TRUE(chart.points.empty());
    EXPECT_EQ(chart.y_min, 0);
    EXPECT_EQ(chart.y_max, 1);
    EXPECT_GT(chart.x_max - chart.x_min, 0);
    EXPECT_FALSE(chart.note.contains("green band"));  // no band without a baseline's value

    // One value, equal to the baseline: a range around it.
    const Chart one = trend_chart(trend_of({10}));
    EXPECT_LT(one.y_min, 8.5);
    EXPECT_GT(one.y_max, 11.5);
    EXPECT_LT(one.x_min, 0);
    EXPECT_GT(one.x_max, 0);
}

TEST(TrendReport, OneLandscapePageSaysWhatTheTrendFollowsAndNamesTheRuns)
{
    if (!test::have_tool("pdftotext") || !test::have_tool("pdfinfo"))
        GTEST_SKIP() << "poppler-utils are not installed";
    test::TempFolder tmp;
    const QByteArray pdf = trend_pdf(trend_of({10, std::nullopt, 11, 13}));
    const std::string path = tmp.file("trend.pdf");
    test::write_bytes(path, std::vector<std::uint8_t>(pdf.begin(), pdf.end()));

    const std::string info = test::tool_output("pdfinfo " + test::quoted(path)).text;
    EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Page size:       842 x 595 pts (A4)"), std::string::npos) << info;
    const std::string text = test::pdf_text(path);
    for (const char* shown : {"Trend: snr_nopi (PIなし SNR map), mean", "Scanner: Maker Model 3T MRC1",
                              "Coil: Head 32ch", "Method: consecutive", "Baseline: run 1 (10)", "Tolerance: ±15 %",
                              "baseline", "run 1", "2026-12-10", "run 4", "2026-12-13"})
        EXPECT_NE(text.find(shown), std::string::npos) << shown << "\n" << text;
}

}  // namespace
}  // namespace snr::report
