// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <optional>
#include <vector>

namespace snr::report {

// A bar from `from` to `to` on the x axis, `height` high.
struct ChartBar {
    double from = 0, to = 0, height = 0;
};

// A dashed line across the plot with a label at its start: upright at an x (a threshold, a
// median) or, `level`, at a y (a baseline).
struct ChartMarker {
    double at = 0;
    QString label;
    bool level = false;
};

// A point of a series, marked in the marker colour when `flagged`. A flagged point without a
// value is a cross on the x axis.
struct ChartPoint {
    double x = 0;
    std::optional<double> y;
    bool flagged = false;
};

// A range of y filled across the plot (a tolerance).
struct ChartBand {
    double low = 0, high = 0;
};

// A text under the x axis at `x`; it may have several lines.
struct ChartLabel {
    double x = 0;
    QString text;
};

// A chart of bars, lines and points over two linear axes, drawn as vector graphics: its title
// above, the axes with their ticks and numbers (or labels in place of the x numbers), the axis
// titles. Ticks come from the ranges.
struct Chart {
    QString title, x_title, y_title;  // no room is kept for an empty title
    double x_min = 0, x_max = 1, y_min = 0, y_max = 1;
    std::vector<ChartBand> bands;
    std::vector<ChartBar> bars;
    std::vector<std::vector<QPointF>> lines;
    std::vector<ChartPoint> points;
    std::vector<ChartMarker> markers;
    std::vector<ChartLabel> x_labels;  // in place of the x numbers
    QString note;                      // a line under the chart
};

// Round tick values, about `count` of them, from `low` to `high` inclusive.
std::vector<double> chart_ticks(double low, double high, int count);

// The text of a tick value: as many decimals as the step between ticks needs.
QString tick_text(double value, double step);

void draw_chart(QPainter& painter, const QRectF& area, const Chart& chart);

}  // namespace snr::report
