// SPDX-License-Identifier: BSD-3-Clause
#include "report/chart.h"

#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "report/pdf_sheet.h"

namespace snr::report {

namespace {

constexpr double title_height = 15;
constexpr double left_room = 44;   // y numbers and the y title
constexpr double label_line = 10;  // a line of the x numbers or labels
constexpr double note_height = 11;
constexpr double point_radius = 2.5;
const QColor bar_fill(0x5a, 0x78, 0xa8);  // and the lines and points of a series
const QColor marker_colour(0xc0, 0x30, 0x20);
const QColor grid_colour(0xd8, 0xd8, 0xd8);
const QColor band_fill(0xd4, 0xec, 0xd4);

// The x numbers from the range, or the chart's labels in their place.
std::vector<ChartLabel> x_labels(const Chart& chart)
{
    if (!chart.x_labels.empty())
        return chart.x_labels;
    std::vector<ChartLabel> labels;
    const auto ticks = chart_ticks(chart.x_min, chart.x_max, 6);
    const double step = ticks.size() > 1 ? ticks[1] - ticks[0] : 1;
    for (const double x : ticks)
        labels.push_back({x, tick_text(x, step)});
    return labels;
}

}  // namespace

std::vector<double> chart_ticks(double low, double high, int count)
{
    std::vector<double> ticks;
    if (!(high > low) || count < 1)
        return {low};
    const double rough = (high - low) / count;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power;
    for (const double factor : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        step = factor * power;
        if (step >= rough)
            break;
    }
    for (double k = std::ceil(low / step - 1e-9); k * step <= high + step * 1e-9; k += 1)
        ticks.push_back(k * step == 0 ? 0.0 : k * step);
    return ticks;
}

QString tick_text(double value, double step)
{
    int decimals = 0;
    while (decimals < 6 && std::fabs(step * std::pow(10.0, decimals) - std::round(step * std::pow(10.0, decimals))) >
                               1e-6 * std::pow(10.0, decimals))
        ++decimals;
    return QString::number(value, 'f', decimals);
}

void draw_chart(QPainter& painter, const QRectF& area, const Chart& chart)
{
    painter.save();
    painter.setPen(Qt::black);
    double top = area.top();
    if (!chart.title.isEmpty()) {
        painter.setFont(PdfSheet::font(9.5));
        painter.drawText(QRectF(area.left(), top, area.width(), title_height), Qt::AlignLeft | Qt::AlignTop,
                         chart.title);
        top += title_height + 4;
    }
    const std::vector<ChartLabel> labels = x_labels(chart);
    qsizetype label_lines = 1;
    for (const ChartLabel& label : labels)
        label_lines = std::max(label_lines, label.text.count(QLatin1Char('\n')) + 1);
    const double labels_height = label_line * static_cast<double>(label_lines);
    const double note = chart.note.isEmpty() ? 0 : note_height;
    const QRectF plot(area.left() + left_room, top, area.width() - left_room - 6,
                      area.bottom() - top - labels_height - 16 - note);
    const double x_span = chart.x_max - chart.x_min, y_span = chart.y_max - chart.y_min;
    const auto at_x = [&](double x) { return plot.left() + (x - chart.x_min) / x_span * plot.width(); };
    const auto at_y = [&](double y) { return plot.bottom() - (y - chart.y_min) / y_span * plot.height(); };

    for (const ChartBand& band : chart.bands) {
        const double high = std::min(band.high, chart.y_max), low = std::max(band.low, chart.y_min);
        if (high > low)
            painter.fillRect(QRectF(QPointF(plot.left(), at_y(high)), QPointF(plot.right(), at_y(low))), band_fill);
    }
    painter.setFont(PdfSheet::font(7));
    const auto y_ticks = chart_ticks(chart.y_min, chart.y_max, 5);
    const double y_step = y_ticks.size() > 1 ? y_ticks[1] - y_ticks[0] : 1;
    for (const double y : y_ticks) {
        painter.setPen(QPen(grid_colour, 0.3));
        painter.drawLine(QPointF(plot.left(), at_y(y)), QPointF(plot.right(), at_y(y)));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(plot.left() - 34, at_y(y) - 5, 31, 10), Qt::AlignRight | Qt::AlignVCenter,
                         tick_text(y, y_step));
    }
    for (const ChartLabel& label : labels) {
        painter.setPen(QPen(Qt::black, 0.4));
        painter.drawLine(QPointF(at_x(label.x), plot.bottom()), QPointF(at_x(label.x), plot.bottom() + 3));
        painter.drawText(QRectF(at_x(label.x) - 40, plot.bottom() + 3, 80, labels_height),
                         Qt::AlignHCenter | Qt::AlignTop, label.text);
    }

    painter.setPen(Qt::NoPen);
    painter.setBrush(bar_fill);
    for (const ChartBar& bar : chart.bars) {
        if (bar.height <= chart.y_min)
            continue;
        const double bar_top = at_y(std::min(bar.height, chart.y_max));
        painter.drawRect(QRectF(QPointF(at_x(bar.from), bar_top), QPointF(at_x(bar.to), plot.bottom())));
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(bar_fill, 1));
    for (const auto& line : chart.lines) {
        QPainterPath path;
        for (std::size_t k = 0; k < line.size(); ++k) {
            const QPointF point(at_x(line[k].x()), at_y(line[k].y()));
            k == 0 ? path.moveTo(point) : path.lineTo(point);
        }
        painter.drawPath(path);
    }
    for (const ChartMarker& marker : chart.markers) {
        const double low = marker.level ? chart.y_min : chart.x_min, high = marker.level ? chart.y_max : chart.x_max;
        if (marker.at < low || marker.at > high)
            continue;
        painter.setPen(QPen(marker_colour, 0.6, Qt::DashLine));
        const QPointF start = marker.level ? QPointF(plot.left(), at_y(marker.at))
                                           : QPointF(at_x(marker.at), plot.top());
        painter.drawLine(start, marker.level ? QPointF(plot.right(), start.y()) : QPointF(start.x(), plot.bottom()));
        painter.setPen(marker_colour);
        if (marker.level)
            painter.drawText(QRectF(start.x() + 2, start.y() - 9, 120, 9), Qt::AlignLeft | Qt::AlignBottom,
                             marker.label);
        else
            painter.drawText(QRectF(start.x() + 2, start.y(), 60, 9), Qt::AlignLeft | Qt::AlignTop, marker.label);
    }
    for (const ChartPoint& point : chart.points) {
        const QColor colour = point.flagged ? marker_colour : bar_fill;
        painter.setPen(colour);
        painter.setBrush(colour);
        if (point.y)
            painter.drawEllipse(QPointF(at_x(point.x), at_y(*point.y)), point_radius, point_radius);
        else if (point.flagged)
            painter.drawText(QRectF(at_x(point.x) - 5, plot.bottom() - 10, 10, 10), Qt::AlignCenter,
                             QStringLiteral("×"));
    }
    painter.setBrush(Qt::NoBrush);

    painter.setPen(QPen(Qt::black, 0.6));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
    painter.setPen(Qt::black);
    painter.drawText(QRectF(plot.left(), plot.bottom() + 4 + labels_height, plot.width(), 10),
                     Qt::AlignHCenter | Qt::AlignTop, chart.x_title);
    painter.save();
    painter.translate(area.left() + 1, plot.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-plot.height() / 2, 0, plot.height(), 10), Qt::AlignHCenter | Qt::AlignTop, chart.y_title);
    painter.restore();
    if (!chart.note.isEmpty())
        painter.drawText(QRectF(plot.left(), area.bottom() - note_height + 2, plot.width(), note_height - 2),
                         Qt::AlignLeft | Qt::AlignTop, chart.note);
    painter.restore();
}

}  // namespace snr::report
