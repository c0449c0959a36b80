// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QColor>
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

// How a line across the plot is drawn: a threshold (dashed, in the flag colour), a reference
// (dashed, black: a baseline) or a limit (solid, green: a tolerance band's edge).
enum class ChartLine { Flag, Reference, Limit };

// A line across the plot with a label: upright at an x (a threshold, a median) with its label at
// the top, or, `level`, at a y (a baseline, a limit) with its label at its left end above it or,
// `in_margin`, in a margin right of the plot beside the line's end, where it covers no point (the
// labels there are moved apart where lines lie closer than their texts are high; a label may
// have several lines).
struct ChartMarker {
    double at = 0;
    QString label;
    bool level = false;
    ChartLine line = ChartLine::Flag;
    bool in_margin = false;
};

// What a point of a series is: one of the series, the reference the others are compared with,
// or one flagged (beyond a tolerance). Each kind has a colour and a shape of its own, so that
// the kinds stay apart on a grey printer.
enum class PointKind { Plain, Reference, Flagged };
enum class PointShape { Circle, Square, Triangle };

struct PointStyle {
    QColor colour;
    PointShape shape;
    bool filled;
};

PointStyle point_style(PointKind kind);

// A point of a series, with a label beside it (drawn where it overlaps no label of a point to
// its right). A point without a value is a cross on the x axis in its kind's colour.
struct ChartPoint {
    double x = 0;
    std::optional<double> y;
    PointKind kind = PointKind::Plain;
    QString label;
};

// An entry of the key above the plot: a sample of a kind of point, of a line, of a band or of
// the cross of a point without a value, and what it means.
struct ChartKey {
    enum class Sample { Point, Line, Band, NoValue } sample = Sample::Point;
    PointKind point = PointKind::Plain;
    ChartLine line = ChartLine::Flag;
    QString text;
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
// and its key above, the axes with their ticks and numbers (or labels in place of the x
// numbers), the axis titles and a note under it. Ticks come from the ranges.
struct Chart {
    QString title, x_title, y_title;  // no room is kept for an empty title
    double x_min = 0, x_max = 1, y_min = 0, y_max = 1;
    std::vector<ChartBand> bands;
    std::vector<ChartBar> bars;
    std::vector<std::vector<QPointF>> lines;
    std::vector<ChartPoint> points;
    std::vector<ChartMarker> markers;
    std::vector<ChartLabel> x_labels;  // in place of the x numbers
    std::vector<ChartKey> keys;        // in one line above the plot; no room is kept for none
    QString note;                      // a line under the chart
};

// Round tick values, about `count` of them, from `low` to `high` inclusive.
std::vector<double> chart_ticks(double low, double high, int count);

// The text of a tick value: as many decimals as the step between ticks needs.
QString tick_text(double value, double step);

void draw_chart(QPainter& painter, const QRectF& area, const Chart& chart);

}  // namespace snr::report
