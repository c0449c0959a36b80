// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <QColor>
#include <cstdio>
#include <set>

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
    for (std::size_t k = 0; k < values.size(); ++k) {
        const std::size_t day = 10 + k % 20, month = 10 + k / 20;
        trend.points.push_back({static_cast<long long>(k + 1),
                                "2026-" + std::to_string(month) + "-" + std::to_string(day) + "T09:00:00+09:00",
                                values[k], std::nullopt, false});
    }
    history::compare_with_baseline(trend);
    return trend;
}

std::string pdf_of(const history::Trend& trend, const test::TempFolder& tmp)
{
    const QByteArray pdf = trend_pdf(trend);
    const std::string path = tmp.file("trend.pdf");
    test::write_bytes(path, std::vector<std::uint8_t>(pdf.begin(), pdf.end()));
    return path;
}

std::vector<QString> key_texts(const Chart& chart)
{
    std::vector<QString> texts;
    for (const ChartKey& key : chart.keys)
        texts.push_back(key.text);
    return texts;
}

TEST(TrendChart, TheLineBreaksWhereARunHasNoValueAndTheBaselineAndRunsBeyondStandApart)
{
    const Chart chart = trend_chart(trend_of({10, std::nullopt, 11, 13}));
    ASSERT_EQ(chart.lines.size(), 2u);
    EXPECT_EQ(chart.lines[0], (std::vector<QPointF>{{0, 10}}));
    EXPECT_EQ(chart.lines[1], (std::vector<QPointF>{{2, 11}, {3, 13}}));
    ASSERT_EQ(chart.points.size(), 4u);
    EXPECT_FALSE(chart.points[1].y);
    // The baseline run, a run without the value and one 30 % above (both beyond), one within.
    const PointKind kinds[] = {PointKind::Reference, PointKind::Flagged, PointKind::Plain, PointKind::Flagged};
    const char* labels[] = {"", "値なし", "", "13 (+30.00 %)"};
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(chart.points[k].kind, kinds[k]) << k;
        EXPECT_EQ(chart.points[k].label, QString::fromUtf8(labels[k])) << k;
    }

    // The band of ± 15 % with both limits and the baseline, each labelled with what it is and
    // its value beside the plot; all within the range shown, as are the values.
    ASSERT_EQ(chart.bands.size(), 1u);
    EXPECT_DOUBLE_EQ(chart.bands[0].low, 8.5);
    EXPECT_DOUBLE_EQ(chart.bands[0].high, 11.5);
    ASSERT_EQ(chart.markers.size(), 3u);
    const std::pair<double, const char*> lines[] = {{11.5, "上限 (+15 %)\n11.5"},
                                                    {8.5, "下限 (-15 %)\n8.5"},
                                                    {10, "基準値 (測定 1)\n10"}};
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_TRUE(chart.markers[k].level && chart.markers[k].in_margin) << k;
        EXPECT_DOUBLE_EQ(chart.markers[k].at, lines[k].first) << k;
        EXPECT_EQ(chart.markers[k].label, QString::fromUtf8(lines[k].second)) << k;
    }
    EXPECT_EQ(chart.markers[2].line, ChartLine::Reference);
    EXPECT_LT(chart.y_min, 8.5);
    EXPECT_GT(chart.y_max, 13);
    EXPECT_LT(chart.x_min, 0);
    EXPECT_GT(chart.x_max, 3);
    ASSERT_EQ(chart.x_labels.size(), 4u);
    EXPECT_EQ(chart.x_labels[3].text, "4\n2026-10-13");

    // One y title, in the report's words; the key names every kind drawn; the note is free.
    EXPECT_EQ(chart.y_title, "平均");
    EXPECT_EQ(key_texts(chart), (std::vector<QString>{"測定", "基準の測定", "基準値", "許容範囲 (基準値の ±15 %)",
                                                      "許容範囲外 (値と変化)", "値なし"}));
    EXPECT_EQ(chart.keys.back().point, PointKind::Flagged);  // the cross of a run beyond
    EXPECT_TRUE(chart.note.isEmpty());
}

// A grey printer keeps the kinds of point apart by their shapes, and by their greys too.
TEST(TrendChart, EveryKindOfPointHasAShapeAndAGreyOfItsOwn)
{
    const PointKind kinds[] = {PointKind::Plain, PointKind::Reference, PointKind::Flagged};
    std::set<PointShape> shapes;
    for (const PointKind kind : kinds)
        shapes.insert(point_style(kind).shape);
    EXPECT_EQ(shapes.size(), 3u);
    for (const PointKind a : kinds) {
        for (const PointKind b : kinds) {
            if (a != b) {
                EXPECT_GE(std::abs(qGray(point_style(a).colour.rgb()) - qGray(point_style(b).colour.rgb())), 50)
                    << static_cast<int>(a) << " " << static_cast<int>(b);
            }
        }
    }
}

TEST(TrendChart, ALongSeriesNamesTheNewestRunAndEveryKthBeforeIt)
{
    const Chart chart = trend_chart(trend_of(std::vector<std::optional<double>>(30, 10.0)));
    std::vector<double> named;
    for (const ChartLabel& label : chart.x_labels)
        named.push_back(label.x);
    EXPECT_EQ(named, (std::vector<double>{4, 9, 14, 19, 24, 29}));
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
    // No band, no baseline and no run to key without a baseline's value.
    EXPECT_EQ(key_texts(chart), (std::vector<QString>{"測定", "許容範囲外 (値と変化)"}));

    // One value, equal to the baseline: a range around it.
    const Chart one = trend_chart(trend_of({10}));
    EXPECT_LT(one.y_min, 8.5);
    EXPECT_GT(one.y_max, 11.5);
    EXPECT_LT(one.x_min, 0);
    EXPECT_GT(one.x_max, 0);

    // Without a tolerance, a baseline of a run before those shown still has its line.
    history::Trend later = trend_of({12, 13});
    later.tolerance.reset();
    later.baseline = 7;
    later.baseline_value = 9;
    history::compare_with_baseline(later);
    const Chart shown = trend_chart(later);
    EXPECT_LT(shown.y_min, 9);
    EXPECT_GT(shown.y_max, 13);
    EXPECT_EQ(key_texts(shown), (std::vector<QString>{"測定", "基準値"}));

    // A region's figure says whose it is.
    history::Trend region = trend_of({10});
    region.roi = 2;
    region.roi_place = {100, 110, 20, 30};
    region.figure = "sd";
    EXPECT_EQ(trend_chart(region).y_title, "ROI 2 のSD");
}

TEST(TrendReport, OneLandscapePageWithTheRunsTabledBesideTheChartInJapanese)
{
    if (!test::have_tool("pdftotext") || !test::have_tool("pdfinfo"))
        GTEST_SKIP() << "poppler-utils are not installed";
    test::TempFolder tmp;
    history::Trend trend = trend_of({10, std::nullopt, 11, 13, 8.4999});
    trend.region = "phantom";
    trend.other_region_runs = 2;  // recorded over the whole image: not in the series
    const std::string path = pdf_of(trend, tmp);

    const std::string info = test::tool_output("pdfinfo " + test::quoted(path)).text;
    EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Page size:       842 x 595 pts (A4)"), std::string::npos) << info;
    const std::string text = test::pdf_lines(path, 1, 1);
    for (const char* shown :
         {"経時変化: snr_nopi (PIなし SNR map)、平均", "装置: Maker Model 3T MRC1", "コイル: Head 32ch",
          "方法: 連続撮像法 (consecutive)", "基準: 測定 1 (10)", "許容範囲: 基準値の ±15 %", "測定 日時 値 変化 判定",
          "集計領域: ファントム中央 (面積の75%)", "凡例枠外の全画素で集計した 2 回の測定は",
          // every row as `snrmap trend` shows it, the baseline and those beyond marked
          "1 2026-10-10T09:00:00+09:00 10 +0.00 % □ 基準", "2 2026-10-11T09:00:00+09:00 - - ▲ 範囲外",
          "3 2026-10-12T09:00:00+09:00 11 +10.00 %", "4 2026-10-13T09:00:00+09:00 13 +30.00 % ▲ 範囲外",
          "5 2026-10-14T09:00:00+09:00 8.4999 -15.00 %",
          // the chart's labels
          "上限 (+15 %)", "11.5", "下限 (-15 %)", "8.5", "基準値 (測定 1)", "13 (+30.00 %)",
          "測定 (番号と日付、古い順)", "2026-10-14"})
        EXPECT_NE(text.find(shown), std::string::npos) << shown << "\n" << text;
    // -15.00 % as shown is within ±15 %: the row is not marked.
    EXPECT_EQ(text.find("8.4999 -15.00 % ▲"), std::string::npos) << text;
    for (const char* english : {"Trend", "baseline", "Scanner", "run "})
        EXPECT_EQ(text.find(english), std::string::npos) << english << "\n" << text;
}

// The newest runs beside the chart under a line that counts the older ones; every run in the
// table on the pages after it.
TEST(TrendReport, ManyRunsTableTheNewestBesideTheChartAndEveryRunAfterIt)
{
    if (!test::have_tool("pdftotext") || !test::have_tool("pdfinfo"))
        GTEST_SKIP() << "poppler-utils are not installed";
    // Run n's value is 10.0n01 (four decimals, the last not 0): each row is told by its value.
    const auto value_of = [](int run) {
        char text[32];
        std::snprintf(text, sizeof text, "%.4f", 10 + run / 1000.0 + 0.0001);
        return std::string(text);
    };
    std::vector<std::optional<double>> values;
    for (int run = 1; run <= 60; ++run)
        values.push_back(std::stod(value_of(run)));
    history::Trend trend = trend_of(values);
    trend.baseline_value = values[0];
    history::compare_with_baseline(trend);
    test::TempFolder tmp;
    const std::string path = pdf_of(trend, tmp);

    const std::string first = test::pdf_lines(path, 1, 1);
    const std::size_t omitted = first.find("古い測定 ");
    ASSERT_NE(omitted, std::string::npos) << first;
    const int left_out = std::stoi(first.substr(omitted + std::string("古い測定 ").size()));
    EXPECT_GT(left_out, 10);
    EXPECT_NE(first.find(" 回は省略 (全測定の一覧は 2 ページ以降)"), std::string::npos) << first;
    EXPECT_NE(first.find("1 / 3 ページ"), std::string::npos) << first;  // pages counted in the footer
    EXPECT_NE(first.find("60 " + trend.points.back().time + " 10.0601 +0.59 %"), std::string::npos) << first;
    for (int run = 1; run <= 60; ++run)
        EXPECT_EQ(first.find(" " + value_of(run) + " ") != std::string::npos, run > left_out) << run << "\n" << first;

    const std::string rest = test::pdf_lines(path, 2, 99);
    EXPECT_NE(rest.find("全測定の一覧 (古い順)"), std::string::npos) << rest;
    EXPECT_NE(rest.find("1 2026-10-10T09:00:00+09:00 10.0011 +0.00 % □ 基準"), std::string::npos) << rest;
    for (int run = 1; run <= 60; ++run)
        EXPECT_NE(rest.find(" " + value_of(run) + " "), std::string::npos) << run << "\n" << rest;
}

}  // namespace
}  // namespace snr::report
