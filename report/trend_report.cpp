// SPDX-License-Identifier: BSD-3-Clause
#include "report/trend_report.h"

#include <QBuffer>
#include <algorithm>
#include <cmath>
#include <limits>

#include "report/input_facts.h"
#include "report/pdf_sheet.h"
#include "window_model/roi_report.h"

namespace snr::report {

namespace {

constexpr std::size_t most_run_labels = 7;
constexpr double table_text_size = 7.5;
constexpr double table_gap = 14;  // between the chart and the table beside it

const QString reference_mark = QStringLiteral("□ 基準");
const QString beyond_mark = QStringLiteral("▲ 範囲外");

QString value_text(const std::optional<double>& value) { return q(history::trend_value_text(value)); }

// The range the y axis shows: every value, the baseline's (its run may lie before the runs
// shown) and the band, with a little room.
std::pair<double, double> value_range(const history::Trend& trend, const std::vector<ChartBand>& bands)
{
    double low = std::numeric_limits<double>::infinity(), high = -low;
    if (trend.baseline_value)
        low = high = *trend.baseline_value;
    for (const ChartBand& band : bands) {
        low = std::min(low, band.low);
        high = std::max(high, band.high);
    }
    for (const auto& point : trend.points) {
        if (point.value) {
            low = std::min(low, *point.value);
            high = std::max(high, *point.value);
        }
    }
    if (!std::isfinite(low) || !std::isfinite(high))
        return {0, 1};
    const double room = high > low ? (high - low) * 0.08 : std::max(std::fabs(high) * 0.1, 1.0);
    return {low - room, high + room};
}

// "平均" of a plane, "ROI 1 の平均" of a region.
QString value_caption(const history::Trend& trend)
{
    const QString figure = figure_caption(trend.figure);
    return trend.roi > 0 ? QStringLiteral("ROI ") + QString::number(trend.roi) + QStringLiteral(" の") + figure
                         : figure;
}

QString title_text(const history::Trend& trend)
{
    QString title = q(trend.item);
    if (!trend.caption.empty() && trend.caption != trend.item)
        title += " (" + q(trend.caption) + ")";
    if (trend.roi > 0)
        title += QStringLiteral("、ROI ") + QString::number(trend.roi) + QStringLiteral(" (") +
                 q(roi_extent_text(trend.roi_place)) + ")";
    return title + QStringLiteral("、") + figure_caption(trend.figure);
}

QString tolerance_text(const history::Trend& trend)
{
    return trend.tolerance ? QStringLiteral("基準値の ±") + value_text(trend.tolerance) + QStringLiteral(" %")
                           : QStringLiteral("なし");
}

// Which pixels a plane's figures are over in every run shown, and the runs left out for
// having theirs over the other region; nothing for a region of interest.
QString region_text(const history::Trend& trend)
{
    if (trend.region.empty())
        return {};
    const bool phantom = trend.region == "phantom";
    QString text = QStringLiteral("　集計領域: ") +
                   (phantom ? QStringLiteral("ファントム中央 (面積の75%)") : QStringLiteral("凡例枠外の全画素"));
    if (trend.other_region_runs > 0)
        text += QStringLiteral(" (") +
                (phantom ? QStringLiteral("凡例枠外の全画素") : QStringLiteral("ファントム中央")) +
                QStringLiteral("で集計した %1 回の測定は含めない)").arg(trend.other_region_runs);
    return text;
}

QString facts_text(const history::Trend& trend)
{
    const std::string scanner = history::scanner_text(trend.scanner);
    return QStringLiteral("装置: ") + (scanner.empty() ? QStringLiteral("–") : q(scanner)) +
           QStringLiteral("　コイル: ") +
           (trend.scanner.receive_coil.empty() ? QStringLiteral("–") : q(trend.scanner.receive_coil)) +
           QStringLiteral("　方法: ") + method_caption(trend.method) + QStringLiteral("　基準: 測定 ") +
           QString::number(trend.baseline) + " (" + value_text(trend.baseline_value) + ")" +
           region_text(trend) + QStringLiteral("　許容範囲: ") + tolerance_text(trend) +
           QStringLiteral("　変化: 基準値に対する百分率 (小数 2 桁で許容範囲と比べる)");
}

// Every run, oldest first.
Table runs_table(const history::Trend& trend)
{
    Table table{{{QStringLiteral("測定"), 30, true},
                 {QStringLiteral("日時"), 126},  // "2026-12-08T23:56:27+09:00" whole
                 {QStringLiteral("値"), 50, true},
                 {QStringLiteral("変化"), 50, true},
                 {QStringLiteral("判定"), 46}},
                {}};
    for (const history::TrendPoint& point : trend.points) {
        const QString mark = point.beyond ? beyond_mark : point.run == trend.baseline ? reference_mark : QString();
        table.rows.push_back({QString::number(point.run), q(point.time), value_text(point.value),
                              q(history::trend_change_text(point.change)), mark});
    }
    return table;
}

double width_of(const Table& table)
{
    double width = 0;
    for (const TableColumn& column : table.columns)
        width += column.width;
    return width;
}

// The table at `top_left` down to `bottom`: every run where all fit, else the newest that fit
// under a line that says how many older ones are left out. Returns how many rows it shows.
std::size_t side_table(PdfSheet& sheet, const Table& table, QPointF top_left, double bottom)
{
    std::vector<QString> titles;
    for (const TableColumn& column : table.columns)
        titles.push_back(column.title);
    const std::vector<TableColumn> whole{{QString(), width_of(table)}};
    const auto omitted = [](std::size_t count) {
        return QStringLiteral("古い測定 ") + QString::number(count) +
               QStringLiteral(" 回は省略 (全測定の一覧は 2 ページ以降)");
    };
    double room = bottom - top_left.y() - sheet.row_height(table.columns, titles, table_text_size);
    std::vector<double> heights(table.rows.size());  // of the rows looked at, each measured once
    std::size_t first = table.rows.size();
    double used = 0;
    while (first > 0) {
        heights[first - 1] = sheet.row_height(table.columns, table.rows[first - 1], table_text_size);
        if (used + heights[first - 1] > room)
            break;
        used += heights[--first];
    }
    if (first > 0) {
        // Room for the line that says so: the oldest rows shown make way for it.
        room -= sheet.row_height(whole, {omitted(table.rows.size())}, table_text_size);
        while (first < table.rows.size() && used > room)
            used -= heights[first++];
    }
    top_left.ry() += sheet.row_at(top_left, table.columns, titles, table_text_size, true);
    if (first > 0)
        top_left.ry() += sheet.row_at(top_left, whole, {omitted(first)}, table_text_size, false);
    for (std::size_t k = first; k < table.rows.size(); ++k)
        top_left.ry() += sheet.row_at(top_left, table.columns, table.rows[k], table_text_size, false);
    return table.rows.size() - first;
}

}  // namespace

QString figure_caption(const std::string& figure)
{
    static const std::pair<const char*, const char*> captions[] = {
        {"mean", "平均"},
        {"min", "最小"},
        {"max", "最大"},
        {"p5", "5 パーセンタイル"},
        {"p50", "50 パーセンタイル (中央値)"},
        {"p95", "95 パーセンタイル"},
        {"above_1.2", "g > 1.2 の画素の割合"},
        {"above_1.5", "g > 1.5 の画素の割合"},
        {"sd", "SD"},
        {"n", "画素数 (n)"},
    };
    for (const auto& [key, caption] : captions) {
        if (figure == key)
            return QString::fromUtf8(caption);
    }
    return q(figure);
}

Chart trend_chart(const history::Trend& trend)
{
    Chart chart;
    chart.x_title = QStringLiteral("測定 (番号と日付、古い順)");
    chart.y_title = value_caption(trend);
    const std::size_t count = trend.points.size();
    const double last = count > 0 ? static_cast<double>(count - 1) : 0;
    const double room = std::max(0.5, last * 0.03);  // the first and last runs off the frame
    chart.x_min = -room;
    chart.x_max = last + room;

    chart.keys.push_back({ChartKey::Sample::Point, PointKind::Plain, {}, QStringLiteral("測定")});
    if (std::any_of(trend.points.begin(), trend.points.end(),
                    [&](const history::TrendPoint& point) { return point.run == trend.baseline && !point.beyond; }))
        chart.keys.push_back({ChartKey::Sample::Point, PointKind::Reference, {}, QStringLiteral("基準の測定")});
    if (trend.baseline_value) {
        const double base = *trend.baseline_value;
        chart.keys.push_back({ChartKey::Sample::Line, {}, ChartLine::Reference, QStringLiteral("基準値")});
        if (trend.tolerance) {
            const double reach = std::fabs(base) * *trend.tolerance / 100;
            chart.bands.push_back({base - reach, base + reach});
            const QString percent = value_text(trend.tolerance) + QStringLiteral(" %)\n");
            chart.markers.push_back({base + reach, QStringLiteral("上限 (+") + percent + value_text(base + reach), true,
                                     ChartLine::Limit, true});
            chart.markers.push_back({base - reach, QStringLiteral("下限 (-") + percent + value_text(base - reach), true,
                                     ChartLine::Limit, true});
            chart.keys.push_back(
                {ChartKey::Sample::Band, {}, {}, QStringLiteral("許容範囲 (") + tolerance_text(trend) + ")"});
        }
        chart.markers.push_back(
            {base, QStringLiteral("基準値 (測定 ") + QString::number(trend.baseline) + ")\n" + value_text(base), true,
             ChartLine::Reference, true});
    }
    if (trend.tolerance)
        chart.keys.push_back(
            {ChartKey::Sample::Point, PointKind::Flagged, {}, QStringLiteral("許容範囲外 (値と変化)")});
    const auto no_value = std::find_if(trend.points.begin(), trend.points.end(),
                                       [](const history::TrendPoint& point) { return !point.value; });
    if (no_value != trend.points.end())  // beyond with a tolerance, else not: the same for every run
        chart.keys.push_back({ChartKey::Sample::NoValue,
                              no_value->beyond ? PointKind::Flagged : PointKind::Plain,
                              {},
                              QStringLiteral("値なし")});
    std::tie(chart.y_min, chart.y_max) = value_range(trend, chart.bands);

    const std::size_t label_every = std::max<std::size_t>(1, (count + most_run_labels - 1) / most_run_labels);
    std::vector<QPointF> line;
    for (std::size_t k = 0; k < count; ++k) {
        const history::TrendPoint& point = trend.points[k];
        const double x = static_cast<double>(k);
        if (point.value) {
            line.emplace_back(x, *point.value);
        } else if (!line.empty()) {
            chart.lines.push_back(std::move(line));
            line.clear();
        }
        ChartPoint shown{x, point.value, PointKind::Plain, {}};
        if (point.beyond) {
            shown.kind = PointKind::Flagged;
            shown.label = point.value
                              ? value_text(point.value) + " (" + q(history::trend_change_text(point.change)) + ")"
                              : QStringLiteral("値なし");
        } else if (point.run == trend.baseline) {
            shown.kind = PointKind::Reference;
        }
        chart.points.push_back(shown);
        if ((count - 1 - k) % label_every == 0)
            chart.x_labels.push_back({x, QString::number(point.run) + "\n" + q(point.time.substr(0, 10))});
    }
    if (!line.empty())
        chart.lines.push_back(std::move(line));
    return chart;
}

QByteArray trend_pdf(const history::Trend& trend)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QString title = QStringLiteral("経時変化: ") + title_text(trend);
    const QString program = QStringLiteral("snrmap " SNR_VERSION);
    const PdfSheet::Document document{title, program, program + QStringLiteral(" trend"), QPageLayout::Landscape};
    PdfSheet::write(buffer, document, [&](PdfSheet& sheet) {
        sheet.title(title);
        sheet.paragraph(facts_text(trend), 8.5);
        sheet.skip(6);
        const Table table = runs_table(trend);
        const double table_width = width_of(table);
        const QRectF area = sheet.place(sheet.content().bottom() - sheet.cursor());
        if (sheet.painting())
            draw_chart(sheet.painter(), area.adjusted(0, 0, -table_width - table_gap, 0), trend_chart(trend));
        const std::size_t shown = side_table(sheet, table, QPointF(area.right() - table_width, area.top()),
                                             area.bottom());
        if (shown < table.rows.size()) {
            sheet.new_page();
            sheet.heading(QStringLiteral("全測定の一覧 (古い順)"));
            sheet.table(table, table_text_size);
        }
    });
    return bytes;
}

}  // namespace snr::report
