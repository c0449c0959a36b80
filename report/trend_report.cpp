// SPDX-License-Identifier: BSD-3-Clause
#include "report/trend_report.h"

#include <QBuffer>
#include <algorithm>
#include <cmath>
#include <limits>

#include "report/pdf_sheet.h"

namespace snr::report {

namespace {

constexpr std::size_t most_run_labels = 12;

QString number(double value) { return QString::number(value, 'g', 6); }

// The range the y axis shows: every value and the band, with a little room.
std::pair<double, double> value_range(const history::Trend& trend, const std::vector<ChartBand>& bands)
{
    double low = std::numeric_limits<double>::infinity(), high = -low;
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

QString facts_text(const history::Trend& trend)
{
    const std::string scanner = history::scanner_text(trend.scanner);
    QString facts = "Scanner: " + q(scanner.empty() ? "-" : scanner) +
                    "    Coil: " + q(trend.scanner.receive_coil.empty() ? "-" : trend.scanner.receive_coil) +
                    "    Method: " + q(trend.method) + "    Baseline: run " + QString::number(trend.baseline);
    if (trend.baseline_value)
        facts += " (" + number(*trend.baseline_value) + ")";
    if (trend.tolerance)
        facts += "    Tolerance: ±" + number(*trend.tolerance) + " %";
    return facts;
}

}  // namespace

Chart trend_chart(const history::Trend& trend)
{
    Chart chart;
    chart.x_title = QStringLiteral("run");
    chart.y_title = q(trend.figure);
    const std::size_t count = trend.points.size();
    const double last = count > 0 ? static_cast<double>(count - 1) : 0;
    const double room = std::max(0.5, last * 0.03);  // the first and last runs off the frame
    chart.x_min = -room;
    chart.x_max = last + room;

    if (trend.baseline_value) {
        const double base = *trend.baseline_value;
        if (trend.tolerance) {
            const double reach = std::fabs(base) * *trend.tolerance / 100;
            chart.bands.push_back({base - reach, base + reach});
        }
        chart.markers.push_back({base, QStringLiteral("baseline"), true});
    }
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
        chart.points.push_back({x, point.value, point.beyond});
        if (k % label_every == 0 || k + 1 == count)
            chart.x_labels.push_back(
                {x, "run " + QString::number(point.run) + "\n" + q(point.time.substr(0, 10))});
    }
    if (!line.empty())
        chart.lines.push_back(std::move(line));

    chart.note = QStringLiteral("Blue: the runs; red: beyond the tolerance; dashed: the baseline");
    if (trend.tolerance && trend.baseline_value)
        chart.note += QStringLiteral("; green band: baseline ± tolerance");
    return chart;
}

QByteArray trend_pdf(const history::Trend& trend)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        const QString title = q(history::trend_title(trend));
        PdfSheet sheet(buffer, "snr-maps trend: " + title, QStringLiteral("snrmap trend"), QPageLayout::Landscape);
        sheet.title("Trend: " + title);
        sheet.paragraph(facts_text(trend), 9);
        sheet.skip(6);
        draw_chart(sheet.painter(), sheet.place(sheet.content().bottom() - sheet.cursor()), trend_chart(trend));
    }
    return bytes;
}

}  // namespace snr::report
