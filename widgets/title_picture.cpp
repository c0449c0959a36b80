// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/title_picture.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

#include "core/plane.h"

namespace snr {

QImage make_title_picture(const QString& method)
{
    QImage picture(plane_side, plane_side, QImage::Format_RGB888);
    picture.fill(QColor(0, 0, 0));
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    // Axial head: scalp, skull, brain, ventricles.
    painter.setBrush(QColor(58, 58, 58));
    painter.drawEllipse(QRectF(38, 22, 180, 214));
    painter.setBrush(QColor(22, 22, 22));
    painter.drawEllipse(QRectF(46, 30, 164, 198));
    painter.setBrush(QColor(44, 44, 44));
    painter.drawEllipse(QRectF(52, 36, 152, 186));
    painter.setBrush(QColor(30, 30, 30));
    QPainterPath ventricles;
    ventricles.addEllipse(QRectF(104, 96, 20, 52));
    ventricles.addEllipse(QRectF(132, 96, 20, 52));
    painter.drawPath(ventricles);
    painter.setBrush(QColor(36, 36, 36));
    painter.drawRect(QRectF(127, 40, 2, 176));

    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QColor(0, 90, 0));
    for (int i = 0; i < plane_side; i += 8) {
        painter.drawLine(i, 0, i, plane_side - 1);
        painter.drawLine(0, i, plane_side - 1, i);
    }

    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(QColor(0, 255, 0));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(17);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(0, 56, plane_side, 24), Qt::AlignCenter, QStringLiteral("SNR and g-factor"));
    painter.drawText(QRect(0, 82, plane_side, 24), Qt::AlignCenter, QStringLiteral("measurement for"));
    painter.drawText(QRect(0, 108, plane_side, 24), Qt::AlignCenter, QStringLiteral("parallel imaging"));
    font.setPixelSize(14);
    font.setBold(false);
    painter.setFont(font);
    painter.drawText(QRect(0, 150, plane_side, 22), Qt::AlignCenter, method);
    return picture;
}

}  // namespace snr
