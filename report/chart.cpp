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
constexpr double key_height = 12;
constexpr double point_radius = 2.5;
const QColor bar_fill(0x5a, 0x78, 0xa8);
const QColor marker_colour(0xc0, 0x30, 0x20);  // a threshold
const QColor grid_colour(0xd8, 0xd8, 0xd8);
const QColor band_fill(0xd4, 0xec, 0xd4);
const QColor limit_colour(0x1e, 0x7a, 0x34);
// The kinds of point, far apart in grey too (about 135, 0 and 70 of 255) and each of a shape
// of its own: a grey printer keeps them apart by both.
const QColor plain_colour(0x5a, 0x8c, 0xd0);  // and the lines of a series
const QColor reference_colour(Qt::black);
const QColor flagged_colour(0xc0, 0x10, 0x10);

QColor line_colour(ChartLine line)
{
    switch (line) {
    case ChartLine::Reference: return reference_colour;
    case ChartLine::Limit: return limit_colour;
    case ChartLine::Flag: break;
    }
    return marker_colour;
}

QPen line_pen(ChartLine line)
{
    const double width = line == ChartLine::Limit ? 0.5 : line == ChartLine::Reference ? 0.7 : 0.6;
    return QPen(line_colour(line), width, line == ChartLine::Limit ? Qt::SolidLine : Qt::DashLine);
}

void draw_point(QPainter& painter, const QPointF& at, PointKind kind)
{
    const PointStyle style = point_style(kind);
    painter.setPen(QPen(style.colour, 0.9));
    painter.setBrush(style.filled ? QBrush(style.colour) : QBrush(Qt::white));
    switch (style.shape) {
    case PointShape::Circle: painter.drawEllipse(at, point_radius, point_radius); break;
    case PointShape::Square: {
        const double half = point_radius * 1.15;
        painter.drawRect(QRectF(at.x() - half, at.y() - half, 2 * half, 2 * half));
        break;
    }
    case PointShape::Triangle: {
        const double size = point_radius * 1.5;
        const QPointF corners[] = {{at.x(), at.y() - size},
                                   {at.x() + size * 0.87, at.y() + size * 0.5},
                                   {at.x() - size * 0.87, at.y() + size * 0.5}};
        painter.drawPolygon(corners, 3);
        break;
    }
    }
    painter.setBrush(Qt::NoBrush);
}

// The mark of a point without a value.
void draw_cross(QPainter& painter, const QPointF& at, PointKind kind)
{
    const double half = point_radius * 1.1;
    painter.setPen(QPen(point_style(kind).colour, 1));
    painter.drawLine(at + QPointF(-half, -half), at + QPointF(half, half));
    painter.drawLine(at + QPointF(-half, half), at + QPointF(half, -half));
}

// The labels of lines in the margin right of the plot, each beside its line's end, moved apart
// just enough that none covers another and all stay beside the plot.
void draw_margin_labels(QPainter& painter, const QRectF& plot,
                        std::vector<std::pair<double, const ChartMarker*>> labels)
{
    constexpr double line_height = 8.5;
    std::sort(labels.begin(), labels.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<double> tops, heights;
    for (const auto& [y, marker] : labels) {
        heights.push_back(line_height * static_cast<double>(marker->label.count(QLatin1Char('\n')) + 1));
        tops.push_back(y - heights.back() / 2);
    }
    for (std::size_t k = 1; k < tops.size(); ++k)
        tops[k] = std::max(tops[k], tops[k - 1] + heights[k - 1] + 1);
    for (std::size_t k = tops.size(); k-- > 0;) {
        const double lowest = k + 1 < tops.size() ? tops[k + 1] - 1 : plot.bottom() + line_height;
        tops[k] = std::min(tops[k], lowest - heights[k]);
    }
    for (std::size_t k = 0; k < labels.size(); ++k) {
        const ChartMarker& marker = *labels[k].second;
        painter.setPen(line_pen(marker.line));
        painter.drawLine(QPointF(plot.right(), labels[k].first), QPointF(plot.right() + 3, labels[k].first));
        painter.setPen(line_colour(marker.line));
        painter.drawText(QRectF(plot.right() + 5, tops[k], 200, heights[k]), Qt::AlignLeft | Qt::AlignVCenter,
                         marker.label);
    }
}

// The key in one line: each sample, then its text.
void draw_keys(QPainter& painter, const QRectF& line, const std::vector<ChartKey>& keys)
{
    painter.setFont(PdfSheet::font(7));
    const QFontMetricsF metrics(painter.font(), painter.device());
    const double middle = line.center().y();
    double left = line.left();
    for (const ChartKey& key : keys) {
        const QPointF centre(left + 7, middle);
        switch (key.sample) {
        case ChartKey::Sample::Point: draw_point(painter, centre, key.point); break;
        case ChartKey::Sample::NoValue: draw_cross(painter, centre, key.point); break;
        case ChartKey::Sample::Line:
            painter.setPen(line_pen(key.line));
            painter.drawLine(QPointF(left, middle), QPointF(left + 14, middle));
            break;
        case ChartKey::Sample::Band:
            painter.fillRect(QRectF(left, middle - 4, 14, 8), band_fill);
            painter.setPen(line_pen(ChartLine::Limit));
            painter.drawLine(QPointF(left, middle - 4), QPointF(left + 14, middle - 4));
            painter.drawLine(QPointF(left, middle + 4), QPointF(left + 14, middle + 4));
            break;
        }
        painter.setPen(Qt::black);
        const double width = metrics.horizontalAdvance(key.text);
        painter.drawText(QRectF(left + 17, line.top(), width + 2, line.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         key.text);
        left += 17 + width + 12;
    }
}

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

PointStyle point_style(PointKind kind)
{
    switch (kind) {
    case PointKind::Reference: return {reference_colour, PointShape::Square, false};
    case PointKind::Flagged: return {flagged_colour, PointShape::Triangle, true};
    case PointKind::Plain: break;
    }
    return {plain_colour, PointShape::Circle, true};
}

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
    if (!chart.keys.empty()) {
        draw_keys(painter, QRectF(area.left() + left_room, top, area.width() - left_room, key_height), chart.keys);
        top += key_height + 4;
    }
    const std::vector<ChartLabel> labels = x_labels(chart);
    qsizetype label_lines = 1;
    for (const ChartLabel& label : labels)
        label_lines = std::max(label_lines, label.text.count(QLatin1Char('\n')) + 1);
    const double labels_height = label_line * static_cast<double>(label_lines);
    const double note = chart.note.isEmpty() ? 0 : note_height;
    painter.setFont(PdfSheet::font(7));
    const QFontMetricsF metrics(painter.font(), painter.device());
    double margin_room = 0;  // for the labels of the lines in the margin
    for (const ChartMarker& marker : chart.markers) {
        if (marker.level && marker.in_margin) {
            for (const QString& line : marker.label.split(QLatin1Char('\n')))
                margin_room = std::max(margin_room, metrics.horizontalAdvance(line) + 8);
        }
    }
    const QRectF plot(area.left() + left_room, top, area.width() - left_room - std::max(6.0, margin_room),
                      area.bottom() - top - labels_height - 16 - note);
    const double x_span = chart.x_max - chart.x_min, y_span = chart.y_max - chart.y_min;
    const auto at_x = [&](double x) { return plot.left() + (x - chart.x_min) / x_span * plot.width(); };
    const auto at_y = [&](double y) { return plot.bottom() - (y - chart.y_min) / y_span * plot.height(); };

    for (const ChartBand& band : chart.bands) {
        const double high = std::min(band.high, chart.y_max), low = std::max(band.low, chart.y_min);
        if (high > low)
            painter.fillRect(QRectF(QPointF(plot.left(), at_y(high)), QPointF(plot.right(), at_y(low))), band_fill);
    }
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
    painter.setPen(QPen(plain_colour, 1));
    for (const auto& line : chart.lines) {
        QPainterPath path;
        for (std::size_t k = 0; k < line.size(); ++k) {
            const QPointF point(at_x(line[k].x()), at_y(line[k].y()));
            k == 0 ? path.moveTo(point) : path.lineTo(point);
        }
        painter.drawPath(path);
    }
    std::vector<std::pair<double, const ChartMarker*>> in_margin;  // at their lines' y
    for (const ChartMarker& marker : chart.markers) {
        const double low = marker.level ? chart.y_min : chart.x_min, high = marker.level ? chart.y_max : chart.x_max;
        if (marker.at < low || marker.at > high)
            continue;
        painter.setPen(line_pen(marker.line));
        const QPointF start = marker.level ? QPointF(plot.left(), at_y(marker.at))
                                           : QPointF(at_x(marker.at), plot.top());
        painter.drawLine(start, marker.level ? QPointF(plot.right(), start.y()) : QPointF(start.x(), plot.bottom()));
        painter.setPen(line_colour(marker.line));
        if (marker.level && marker.in_margin)
            in_margin.emplace_back(start.y(), &marker);
        else if (marker.level)
            painter.drawText(QRectF(start.x() + 2, start.y() - 9, 200, 9), Qt::AlignLeft | Qt::AlignBottom,
                             marker.label);
        else
            painter.drawText(QRectF(start.x() + 2, start.y(), 60, 9), Qt::AlignLeft | Qt::AlignTop, marker.label);
    }
    draw_margin_labels(painter, plot, in_margin);

    std::vector<QRectF> taken;  // the points, then the labels drawn
    const auto point_at = [&](const ChartPoint& point) {
        return QPointF(at_x(point.x), point.y ? at_y(*point.y) : plot.bottom() - point_radius * 1.6);
    };
    for (const ChartPoint& point : chart.points) {
        const QPointF at = point_at(point);
        point.y ? draw_point(painter, at, point.kind) : draw_cross(painter, at, point.kind);
        taken.emplace_back(at.x() - 4, at.y() - 4, 8, 8);
    }
    // Labels from the right, the newest first, above or below their point, right or left of it;
    // one that has no place free of the points and the labels drawn is left out.
    for (auto point = chart.points.rbegin(); point != chart.points.rend(); ++point) {
        if (point->label.isEmpty())
            continue;
        const QPointF at = point_at(*point);
        const double width = metrics.horizontalAdvance(point->label) + 2;
        for (const QPointF corner :
             {QPointF(at.x() + 5, at.y() - 14), QPointF(at.x() + 5, at.y() + 5),
              QPointF(at.x() - 5 - width, at.y() - 14), QPointF(at.x() - 5 - width, at.y() + 5)}) {
            const QRectF place(corner, QSizeF(width, 9));
            if (!plot.contains(place) ||
                std::any_of(taken.begin(), taken.end(), [&](const QRectF& other) { return other.intersects(place); }))
                continue;
            taken.push_back(place);
            painter.setPen(point_style(point->kind).colour);
            painter.drawText(place, Qt::AlignLeft | Qt::AlignVCenter, point->label);
            break;
        }
    }

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
