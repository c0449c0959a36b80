// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/image_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "core/plane.h"

namespace snr {

ImageView::ImageView(QWidget* parent) : QWidget(parent) { setMouseTracking(true); }

void ImageView::showPicture(const QImage* picture)
{
    picture_ = picture;
    update();
}

void ImageView::paintEvent(QPaintEvent*)
{
    if (picture_ == nullptr)
        return;
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), *picture_);
}

static QPoint position_of(const QMouseEvent* event)
{
    const QPointF at = event->position();
    return QPoint(static_cast<int>(std::floor(at.x())), static_cast<int>(std::floor(at.y())));
}

void ImageView::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = position_of(event);
    emit pressed(at.x(), at.y());
}

void ImageView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = position_of(event);
    emit moved(at.x(), at.y());
}

void ImageView::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint at = position_of(event);
    emit released(at.x(), at.y());
}

QImage make_display_bitmap()
{
    QImage bitmap(plane_side, plane_side, QImage::Format_RGB888);
    bitmap.fill(Qt::black);
    return bitmap;
}

}  // namespace snr
