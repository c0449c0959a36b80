// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <vector>

namespace snr::report {

// A bar from `from` to `to` on the x axis, `height` high.
struct ChartBar {
    double from = 0, to = 0, height = 0;
};

// A vertical line at `x` with a label at its top (a threshold, a median).
struct ChartMarker {
    double x = 0;
    QString label;
};

// A chart of bars and lines over two linear axes, drawn as vector graphics: its title above,
// the axes with their ticks and numbers, the axis titles. Ticks come from the ranges.
struct Chart {
    QString title, x_title, y_title;
    double x_min = 0, x_max = 1, y_min = 0, y_max = 1;
    std::vector<ChartBar> bars;
    std::vector<std::vector<QPointF>> lines;
    std::vector<ChartMarker> markers;
    QString note;  // a line under the chart
};

// Round tick values, about `count` of them, from `low` to `high` inclusive.
std::vector<double> chart_ticks(double low, double high, int count);

// The text of a tick value: as many decimals as the step between ticks needs.
QString tick_text(double value, double step);

void draw_chart(QPainter& painter, const QRectF& area, const Chart& chart);

}  // namespace snr::report
