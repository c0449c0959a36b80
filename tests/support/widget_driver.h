// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <string>
#include <vector>

#include "widgets/form_widgets.h"
#include "widgets/image_view.h"
#include "widgets/result_list.h"

namespace snr::test {

inline std::string text(const QLabel* label) { return label->text().toStdString(); }
inline std::string text(const QLineEdit* edit) { return edit->text().toStdString(); }

// Clicks a row of a result list as the user would.
inline void click_row(ResultList* list, int row)
{
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

// How many visible pixels (an eighth of full cover or more) of a label's glyphs fall outside
// it: its caption drawn where the label draws it, unclipped, on a larger canvas.
inline int glyph_pixels_outside(const QLabel* label)
{
    const int margin = 32;
    QImage canvas(label->size() + QSize(2 * margin, 2 * margin), QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setFont(label->font());
    painter.drawText(label->rect().translated(margin, margin + form::line_offset(label)),
                     static_cast<int>(label->alignment()) | Qt::TextDontClip, label->text());
    painter.end();
    const QRect inside(QPoint(margin, margin), label->size());
    int outside = 0;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            outside += canvas.pixelColor(x, y).alpha() >= 32 && !inside.contains(x, y);
    return outside;
}

// What is wrong with the layout of a window, one line each: glyphs outside a label, a label
// condensed although its caption fits, a caption read as markup, a shown group box whose
// frame is not on its top row or whose inside is not its parent's colour.
inline std::vector<std::string> layout_faults(QWidget* window)
{
    std::vector<std::string> faults;
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (label->window() != window)  // a tool window of its own lays out its labels itself
            continue;
        const std::string name = label->objectName().toStdString();
        QFont plain = label->font();
        plain.setStretch(QFont::Unstretched);
        const bool condensed = label->font().stretch() != QFont::AnyStretch && plain != label->font();
        if (glyph_pixels_outside(label) > 0)
            faults.push_back(name + " overruns");
        if (condensed && QFontMetrics(plain).horizontalAdvance(label->text()) <= label->width())
            faults.push_back(name + " condensed");
        if (label->textFormat() != Qt::PlainText)
            faults.push_back(name + " markup");
    }
    const QImage shot = window->grab().toImage();
    for (const QGroupBox* box : window->findChildren<QGroupBox*>()) {
        const QColor fill = box->parentWidget()->palette().color(QPalette::Window);
        const QPoint top = box->mapTo(window, QPoint(box->width() / 2, 0));
        if (box->isVisible() && (shot.pixelColor(top) == fill || shot.pixelColor(top - QPoint(0, 1)) != fill ||
                                 shot.pixelColor(box->mapTo(window, QPoint(3, box->height() / 2))) != fill))
            faults.push_back(box->objectName().toStdString() + " frame");
    }
    return faults;
}

// The rows a list highlights.
inline std::vector<int> highlighted(const QListWidget* list)
{
    std::vector<int> rows;
    for (const QListWidgetItem* item : list->selectedItems())
        rows.push_back(list->row(item));
    return rows;
}

// A press of `button` on row `from` of a result list, moved onto row `to` and released there.
inline void press_onto_row(ResultList* list, Qt::MouseButton button, int from, int to,
                           Qt::KeyboardModifiers modifiers = {})
{
    const QPoint start = list->visualItemRect(list->item(from)).center();
    const QPoint end = list->visualItemRect(list->item(to)).center();
    QTest::mousePress(list->viewport(), button, modifiers, start);
    QMouseEvent drag(QEvent::MouseMove, end, list->viewport()->mapToGlobal(end), Qt::NoButton, button, modifiers);
    QApplication::sendEvent(list->viewport(), &drag);
    QTest::mouseRelease(list->viewport(), button, modifiers, end);
}

// A press, move or release of the left button at (x, y) of the image control.
inline void send_mouse(ImageView* image, QEvent::Type type, int x, int y,
                       Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent event(type, QPointF(x, y), image->mapToGlobal(QPointF(x, y)), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, modifiers);
    QApplication::sendEvent(image, &event);
}

// Shift + left drag from one point of the image control to another, by way of `to`.
inline void shift_drag(ImageView* image, QPoint from, QPoint to)
{
    send_mouse(image, QEvent::MouseButtonPress, from.x(), from.y(), Qt::ShiftModifier);
    send_mouse(image, QEvent::MouseMove, to.x(), to.y(), Qt::ShiftModifier);
    send_mouse(image, QEvent::MouseButtonRelease, to.x(), to.y(), Qt::ShiftModifier);
}

inline void shift_click(ImageView* image, QPoint at) { shift_drag(image, at, at); }

}  // namespace snr::test
