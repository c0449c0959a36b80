#pragma once

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <string>
#include <vector>

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
inline void send_mouse(ImageView* image, QEvent::Type type, int x, int y)
{
    QMouseEvent event(type, QPointF(x, y), image->mapToGlobal(QPointF(x, y)), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(image, &event);
}

}  // namespace snr::test
