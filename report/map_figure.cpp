// SPDX-License-Identifier: BSD-3-Clause
#include "report/map_figure.h"

#include <QPainterPath>
#include <memory>
#include <vector>

#include "core/legend.h"
#include "report/pdf_sheet.h"
#include "window_model/legend_edit.h"
#include "window_model/view_selection.h"

namespace snr::report {

namespace {

const QColor navy(0x00, 0x00, 0x80);
const QColor roi_colour(0xff, 0x40, 0x00);
const QColor region_colour(0x00, 0xc0, 0xff);
constexpr double label_width = 30 * pixel_points;
constexpr double scale_gap = 6, scale_height = 8;
constexpr int scale_ticks = 4;  // intervals

DisplayWindow drawable(DisplayWindow window)
{
    if (window.ww == 0)
        window.ww = 1;
    return window;
}

// The grey levels across the window, from its lower end to its upper end, as the windows map
// the values at the middle of 256 equal steps.
QImage scale_ramp(const DisplayWindow& window)
{
    const auto values = std::make_unique<Plane>();
    const long double lower = window.wl - window.ww / 2;
    for (int column = 0; column < plane_side; ++column)
        at(*values, 0, column) = static_cast<double>(lower + (column + 0.5L) * window.ww / plane_side);
    std::vector<std::uint8_t> greys(plane_pixels);
    render_greys(*values, window.wl, window.ww, greys.data());
    QImage ramp(plane_side, 1, QImage::Format_Grayscale8);
    std::copy(greys.begin(), greys.begin() + plane_side, ramp.scanLine(0));
    return ramp;
}

void draw_scale_bar(QPainter& painter, const QRectF& bar, const ResultPlane& plane)
{
    const DisplayWindow window = drawable(plane.window);
    painter.drawImage(bar, scale_ramp(window));
    painter.setPen(QPen(Qt::black, 0.4));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bar);
    const long double lower = window.wl - window.ww / 2;
    const bool in_g = plane.kind == ItemKind::GFactor;
    const int decimals = in_g ? 2 : (window.ww < 8 && window.ww > -8 ? 2 : 0);
    painter.setFont(PdfSheet::font(6.5));
    for (int k = 0; k <= scale_ticks; ++k) {
        const double x = bar.left() + bar.width() * k / scale_ticks;
        const long double value = (lower + static_cast<long double>(window.ww) * k / scale_ticks) / (in_g ? 100 : 1);
        painter.drawLine(QPointF(x, bar.bottom()), QPointF(x, bar.bottom() + 2));
        const Qt::Alignment along = k == 0 ? Qt::AlignLeft : k == scale_ticks ? Qt::AlignRight : Qt::AlignHCenter;
        const double left = k == 0 ? x : k == scale_ticks ? x - 60 : x - 30;
        painter.drawText(QRectF(left, bar.bottom() + 2.5, 60, 9), along | Qt::AlignTop,
                         q(format_fixed(value, decimals)));
    }
}

// The ten labels as the windows show them beside the wedge: white on navy, label k level with
// band k.
void draw_legend_labels(QPainter& painter, const QRectF& picture, const ResultPlane& plane)
{
    if (plane.kind == ItemKind::Other || !plane.legend)
        return;
    const auto texts = legend_label_texts(plane.kind, *plane.legend);
    painter.setFont(PdfSheet::font(6));
    for (int k = 0; k < legend::levels_labelled; ++k) {
        const double height = (k == legend::levels_labelled - 1 ? 13 : 12) * pixel_points;
        const QRectF label(picture.right() + 3, picture.top() + (legend::wedge_top + 15 * k) * pixel_points,
                           label_width, height);
        painter.fillRect(label, navy);
        painter.setPen(Qt::white);
        painter.drawText(label, Qt::AlignCenter, q((*texts)[k]));
    }
}

void draw_rois(QPainter& painter, const QRectF& picture, const std::vector<Roi>& rois)
{
    painter.save();
    painter.setClipRect(picture);
    painter.setFont(PdfSheet::font(6));
    for (std::size_t k = 0; k < rois.size(); ++k) {
        const Roi& roi = rois[k];
        const QRectF box(picture.left() + roi.column * pixel_points, picture.top() + roi.row * pixel_points,
                         roi.width * pixel_points, roi.height * pixel_points);
        painter.setPen(QPen(roi_colour, 0.75));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(box);
        // The name above the rectangle, or inside it where the picture ends above.
        const QString name = QStringLiteral("ROI ") + QString::number(k + 1);
        const double top = box.top() >= picture.top() + 8 ? box.top() - 8 : box.top() + 1;
        painter.drawText(QRectF(box.left() + 1, top, 40, 7.5), Qt::AlignLeft | Qt::AlignVCenter, name);
    }
    painter.restore();
}

// The edge of the measured region: each side of a pixel inside that meets a pixel outside,
// sides in line joined.
void draw_region_outline(QPainter& painter, const QRectF& picture, const MeasuredRegion& region)
{
    if (region.kind != RegionKind::Phantom || region.inside.size() != static_cast<std::size_t>(plane_pixels))
        return;
    const auto inside = [&](int row, int column) {
        return row >= 0 && row < plane_side && column >= 0 && column < plane_side &&
               region.inside[row * plane_side + column] != 0;
    };
    QPainterPath path;
    const auto line = [&](double x1, double y1, double x2, double y2) {
        path.moveTo(picture.left() + x1 * pixel_points, picture.top() + y1 * pixel_points);
        path.lineTo(picture.left() + x2 * pixel_points, picture.top() + y2 * pixel_points);
    };
    // Horizontal sides: between row r - 1 and row r, for r from 0 to 256.
    for (int row = 0; row <= plane_side; ++row) {
        for (int column = 0; column < plane_side;) {
            if (inside(row - 1, column) == inside(row, column)) {
                ++column;
                continue;
            }
            const int start = column;
            const bool above = inside(row - 1, column);
            while (column < plane_side && inside(row - 1, column) == above && inside(row, column) != above)
                ++column;
            line(start, row, column, row);
        }
    }
    for (int column = 0; column <= plane_side; ++column) {
        for (int row = 0; row < plane_side;) {
            if (inside(row, column - 1) == inside(row, column)) {
                ++row;
                continue;
            }
            const int start = row;
            const bool left = inside(row, column - 1);
            while (row < plane_side && inside(row, column - 1) == left && inside(row, column) != left)
                ++row;
            line(column, start, column, row);
        }
    }
    painter.save();
    painter.setClipRect(picture);
    painter.setPen(QPen(region_colour, 0.6));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.restore();
}

}  // namespace

QImage plane_picture(const Plane& plane, DisplayWindow window)
{
    window = drawable(window);
    QImage picture(plane_side, plane_side, QImage::Format_Grayscale8);
    std::vector<std::uint8_t> greys(plane_pixels);
    render_greys(plane, window.wl, window.ww, greys.data());
    for (int row = 0; row < plane_side; ++row)
        std::copy_n(greys.data() + row * plane_side, plane_side, picture.scanLine(row));
    return picture;
}

QRectF picture_place(QPointF top_left)
{
    return QRectF(top_left.x(), top_left.y() + picture_top, picture_side, picture_side);
}

void draw_map_figure(QPainter& painter, QPointF top_left, const ResultPlane& plane, const std::vector<Roi>& rois,
                     const MeasuredRegion& region)
{
    painter.save();
    painter.setPen(Qt::black);
    painter.setFont(PdfSheet::font(9.5));
    painter.drawText(QRectF(top_left.x(), top_left.y(), figure_width, 14), Qt::AlignLeft | Qt::AlignTop,
                     item_caption(plane.item));
    painter.setFont(PdfSheet::font(7));
    painter.drawText(QRectF(top_left.x(), top_left.y() + 14, figure_width, 10), Qt::AlignLeft | Qt::AlignTop,
                     q(window_caption_for(plane.kind, "( WL,WW ) = ( ", plane.window)));
    const QRectF picture = picture_place(top_left);
    painter.drawImage(picture, plane_picture(*plane.plane, plane.window));
    draw_region_outline(painter, picture, region);
    draw_rois(painter, picture, rois);
    draw_legend_labels(painter, picture, plane);
    draw_scale_bar(painter, QRectF(picture.left(), picture.bottom() + scale_gap, picture_side, scale_height), plane);
    painter.restore();
}

}  // namespace snr::report
