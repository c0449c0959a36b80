// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/trend_chart.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

#include "core/errors.h"
#include "tools/snrmap/history_module.h"
#include "tools/snrmap/history_output.h"

namespace snr::snrmap {

namespace {

QString text(const std::string& bytes) { return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())); }

QString number(double value) { return QString::number(value, 'g', 6); }

// The range the vertical axis shows: every value and the band, with a little room.
std::pair<double, double> value_range(const history::Trend& trend, double band_low, double band_high)
{
    double low = band_low, high = band_high;
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

// About five round steps over the range.
double tick_step(double span)
{
    const double rough = span / 5;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough)
            return factor * power;
    }
    return 10 * power;
}

void draw(QPainter& painter, const history::Trend& trend, const QRectF& page)
{
    const double inf = std::numeric_limits<double>::infinity();
    double band_low = inf, band_high = -inf;
    if (trend.baseline_value) {
        const double base = *trend.baseline_value;
        const double reach = trend.tolerance ? std::fabs(base) * *trend.tolerance / 100 : 0;
        band_low = base - reach;
        band_high = base + reach;
    }
    const auto [low, high] = value_range(trend, band_low, band_high);

    painter.setPen(Qt::black);
    QFont font = painter.font();
    font.setPointSizeF(14);
    painter.setFont(font);
    painter.drawText(QPointF(page.left(), page.top() + 14), "Trend: " + text(trend_title(trend)));
    font.setPointSizeF(9);
    painter.setFont(font);
    const std::string scanner = history::scanner_text(trend.scanner);
    QString facts = "Scanner: " + text(scanner.empty() ? "-" : scanner) +
                    "    Coil: " + text(trend.scanner.receive_coil.empty() ? "-" : trend.scanner.receive_coil) +
                    "    Method: " + text(trend.method) + "    Baseline: run " + QString::number(trend.baseline);
    if (trend.baseline_value)
        facts += " (" + number(*trend.baseline_value) + ")";
    if (trend.tolerance)
        facts += "    Tolerance: ±" + number(*trend.tolerance) + " %";
    painter.drawText(QPointF(page.left(), page.top() + 32), facts);

    const QRectF plot(page.left() + 60, page.top() + 50, page.width() - 70, page.height() - 110);
    const std::size_t count = trend.points.size();
    const double inset = plot.width() * 0.03;  // the first and last runs off the frame
    const auto x_of = [&](std::size_t k) {
        return count == 1 ? plot.center().x()
                          : plot.left() + inset + (plot.width() - 2 * inset) * static_cast<double>(k) / (count - 1);
    };
    const auto y_of = [&](double value) { return plot.bottom() - (value - low) / (high - low) * plot.height(); };

    if (trend.tolerance && trend.baseline_value)
        painter.fillRect(QRectF(QPointF(plot.left(), y_of(band_high)), QPointF(plot.right(), y_of(band_low))),
                         QColor(200, 235, 200));
    // Axes, the value ticks with their grid.
    painter.setPen(QPen(QColor(220, 220, 220), 0.5));
    const double step = tick_step(high - low);
    for (double tick = std::ceil(low / step) * step; tick <= high; tick += step) {
        painter.drawLine(QPointF(plot.left(), y_of(tick)), QPointF(plot.right(), y_of(tick)));
        painter.save();
        painter.setPen(Qt::black);
        painter.drawText(QRectF(page.left(), y_of(tick) - 6, 55, 12), Qt::AlignRight | Qt::AlignVCenter,
                         number(std::fabs(tick) < step / 1e6 ? 0 : tick));
        painter.restore();
    }
    painter.setPen(QPen(Qt::black, 0.8));
    painter.drawRect(plot);
    if (trend.baseline_value) {
        painter.setPen(QPen(QColor(0, 110, 0), 1, Qt::DashLine));
        painter.drawLine(QPointF(plot.left(), y_of(*trend.baseline_value)),
                         QPointF(plot.right(), y_of(*trend.baseline_value)));
    }

    // The runs: a line through the values (broken where one is missing), then the points.
    QPainterPath line;
    bool drawing = false;
    for (std::size_t k = 0; k < count; ++k) {
        const auto& value = trend.points[k].value;
        if (value) {
            const QPointF at(x_of(k), y_of(*value));
            drawing ? line.lineTo(at) : line.moveTo(at);
        }
        drawing = value.has_value();
    }
    painter.setPen(QPen(QColor(30, 60, 150), 1.2));
    painter.drawPath(line);
    const std::size_t label_every = std::max<std::size_t>(1, (count + 11) / 12);
    for (std::size_t k = 0; k < count; ++k) {
        const auto& point = trend.points[k];
        const QColor colour = point.beyond ? QColor(200, 0, 0) : QColor(30, 60, 150);
        painter.setPen(colour);
        painter.setBrush(colour);
        if (point.value)
            painter.drawEllipse(QPointF(x_of(k), y_of(*point.value)), 2.5, 2.5);
        else if (point.beyond)
            painter.drawText(QRectF(x_of(k) - 5, plot.bottom() - 14, 10, 12), Qt::AlignCenter, "×");
        if (k % label_every == 0 || k + 1 == count) {
            painter.setPen(Qt::black);
            painter.drawText(QRectF(x_of(k) - 40, plot.bottom() + 4, 80, 24), Qt::AlignHCenter | Qt::AlignTop,
                             "run " + QString::number(point.run) + "\n" + text(point.time.substr(0, 10)));
        }
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Qt::black);
    QString legend = "Blue: the runs; red: beyond the tolerance; dashed: the baseline";
    if (trend.tolerance)
        legend += "; green band: baseline ± tolerance";
    painter.drawText(QPointF(plot.left(), page.bottom() - 4), legend);
}

}  // namespace

void write_trend_chart(const history::Trend& trend, const std::string& path)
{
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter pdf(&buffer);
        pdf.setTitle("snr-maps trend: " + text(trend_title(trend)));
        pdf.setCreator("snrmap");
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageOrientation(QPageLayout::Landscape);
        pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        pdf.setResolution(72);  // a unit is a point
        QPainter painter(&pdf);
        draw(painter, trend, QRectF(QPointF(0, 0), QSizeF(pdf.width(), pdf.height())));
    }
    QSaveFile file(text(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Error(path + ": " + file.errorString().toStdString());
}

namespace {

// Fonts and painting need a graphical application; snrmap draws offscreen, with no display.
// The history module ends it with its command.
std::string prepare_drawing()
{
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "snrmap";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QGuiApplication(argc, argv);
    }
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        return "cannot draw the chart: the program has no graphical application object";
    return {};
}

std::string write_chart(const history::Trend& trend, const std::string& path)
{
    try {
        write_trend_chart(trend, path);
        return {};
    } catch (const std::exception& error) {
        return error.what();
    }
}

}  // namespace

}  // namespace snr::snrmap

extern "C" const snr::snrmap::ChartModule* snrmap_chart_module()
{
    static const snr::snrmap::ChartModule module{snr::snrmap::history_interface, snr::snrmap::prepare_drawing,
                                                 snr::snrmap::write_chart};
    return &module;
}
