// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <vector>

#include "core/display.h"
#include "core/roi_stats.h"
#include "record/run_record.h"

namespace snr::report {

// A picture is 256 pixels of 0.75 point: a page rendered at 96 dpi shows each plane pixel as
// one pixel.
inline constexpr double pixel_points = 0.75;
inline constexpr double picture_side = 256 * pixel_points;
// A figure's place: its caption and window above the picture, the legend labels right of it,
// the scale bar under it. Both offsets are multiples of 3 points, so a picture placed at such
// a point starts on a whole pixel at 96 dpi.
inline constexpr double figure_width = 255;
inline constexpr double figure_height = 264;
inline constexpr double picture_top = 27;

// The plane through the window as the windows draw it; a width of 0 (a plane whose maximum is
// below 1, which the windows cannot draw) is taken as 1, the least width a drag leaves.
QImage plane_picture(const Plane& plane, DisplayWindow window);

// Where a figure placed at `top_left` has its picture.
QRectF picture_place(QPointF top_left);

// The plane's figure: its list caption and window caption, the picture with the measured
// region's outline (of a phantom) and the regions of interest drawn and named, the ten legend
// labels beside the wedge of a map, and a scale bar of the window with its values (in g for
// the g-factor map).
void draw_map_figure(QPainter& painter, QPointF top_left, const ResultPlane& plane, const std::vector<Roi>& rois,
                     const MeasuredRegion& region);

}  // namespace snr::report
