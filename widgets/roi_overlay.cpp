// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/roi_overlay.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "core/plane.h"

namespace snr {

RoiOverlay::RoiOverlay(QWidget* image) : QWidget(image), image_(image)
{
    setObjectName(QStringLiteral("RoiOverlay"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(image->rect());
    image->installEventFilter(this);
}

QPoint RoiOverlay::clamped(QPoint at) const
{
    const int last_column = std::min(image_->width(), plane_side) - 1;
    const int last_row = std::min(image_->height(), plane_side) - 1;
    return {std::clamp(at.x(), 0, last_column), std::clamp(at.y(), 0, last_row)};
}

void RoiOverlay::drawTo(QPoint at)
{
    const QPoint corner = clamped(at);
    if (corner == *anchor_ && !dragged_)
        return;
    dragged_ = true;
    roi_ = Roi{std::min(anchor_->y(), corner.y()), std::min(anchor_->x(), corner.x()),
               std::abs(anchor_->y() - corner.y()) + 1, std::abs(anchor_->x() - corner.x()) + 1};
    update();
}

bool RoiOverlay::eventFilter(QObject*, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        setGeometry(image_->rect());
        return false;
    }
    // The second press of a double click comes as a double click of its own.
    const bool press = event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    if (!press && event->type() != QEvent::MouseMove && event->type() != QEvent::MouseButtonRelease)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPointF position = mouse->position();
    const QPoint at(static_cast<int>(std::floor(position.x())), static_cast<int>(std::floor(position.y())));

    if (press) {
        if (mouse->button() != Qt::LeftButton || !(mouse->modifiers() & Qt::ShiftModifier))
            return false;
        anchor_ = clamped(at);
        dragged_ = false;
        return true;
    }
    if (!anchor_)
        return false;
    drawTo(at);
    if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) {
        if (!dragged_)
            roi_.reset();
        anchor_.reset();
        update();
        emit changed();
    }
    return false;
}

void RoiOverlay::paintEvent(QPaintEvent*)
{
    if (!roi_)
        return;
    QPainter painter(this);
    painter.setPen(QPen(Qt::yellow, 1));
    painter.setBrush(Qt::NoBrush);
    // Along the ROI's outer pixels, so that a ROI at the edge of the image shows whole.
    painter.drawRect(QRect(roi_->column, roi_->row, roi_->width - 1, roi_->height - 1));
}

}  // namespace snr
