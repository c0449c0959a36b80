#include "core/qt/result_list.h"

#include <QKeyEvent>

namespace snr {

ResultList::ResultList(QWidget* parent) : QListWidget(parent)
{
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemClicked, this, [this] { emit clicked(); });
}

void ResultList::setItems(const std::vector<std::string>& items)
{
    clear();
    for (const auto& text : items) {
        auto* item = new QListWidgetItem(QString::fromStdString(text), this);
        item->setSizeHint(QSize(0, 13));
    }
    setCurrentRow(-1);
}

void ResultList::clickRow(int row)
{
    setCurrentRow(row);
    emit clicked();
}

void ResultList::keyPressEvent(QKeyEvent* event)
{
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    if (currentRow() != before)
        emit clicked();
}

}  // namespace snr
