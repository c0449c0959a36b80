#pragma once

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <string>

#include "core/qt/image_view.h"
#include "core/qt/result_list.h"

namespace snr::test {

inline std::string text(const QLabel* label) { return label->text().toStdString(); }
inline std::string text(const QLineEdit* edit) { return edit->text().toStdString(); }

// Clicks a row of a result list as the user would.
inline void click_row(ResultList* list, int row)
{
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
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
