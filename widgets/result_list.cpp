// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/result_list.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace snr {

ResultList::ResultList(QWidget* parent) : QListWidget(parent)
{
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void ResultList::reset()
{
    selected_ = -1;
    left_pressed_ = false;
    QListWidget::reset();
}

void ResultList::setItems(const std::vector<std::string>& items)
{
    clear();
    for (const auto& text : items) {
        auto* item = new QListWidgetItem(QString::fromStdString(text), this);
        item->setSizeHint(QSize(0, 13));
    }
    showSelection();
}

void ResultList::showSelection()
{
    if (selected_ < 0) {
        selectionModel()->clear();
        return;
    }
    setCurrentRow(selected_, QItemSelectionModel::ClearAndSelect);
}

void ResultList::clickRow(int row)
{
    selected_ = row >= 0 && row < count() ? row : -1;
    showSelection();
    emit clicked();
}

void ResultList::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        left_pressed_ = true;
    event->accept();
}

void ResultList::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void ResultList::mouseMoveEvent(QMouseEvent* event) { event->accept(); }

void ResultList::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton || !left_pressed_)
        return;
    left_pressed_ = false;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        clickRow(index.row());
}

void ResultList::keyPressEvent(QKeyEvent* event)
{
    QListWidget::keyPressEvent(event);
    const int row = currentRow();
    if (row >= 0 && row != selected_)
        clickRow(row);
    else
        showSelection();
}

void ResultList::focusInEvent(QFocusEvent* event)
{
    QListWidget::focusInEvent(event);
    showSelection();
}

}  // namespace snr
