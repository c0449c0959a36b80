// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/roi_window.h"

#include <algorithm>

#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/file_io.h"
#include "widgets/beside_placement.h"
#include "widgets/form_widgets.h"
#include "widgets/guarded.h"

namespace snr {

namespace {

const QString nothing_yet = QStringLiteral("測定する画像がまだありません。「処理開始」の後に計算します。");
const QString how_to_draw = QStringLiteral("画像の上を Shift + ドラッグすると ROI を描けます。");

const QSize designed_size(500, 320);

QTableWidgetItem* cell(const std::string& text, bool number)
{
    auto* item = new QTableWidgetItem(q(text));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

}  // namespace

RoiWindow::RoiWindow(QWidget* main_window, Dialogs& dialogs)
    : QWidget(main_window, Qt::Tool), main_window_(main_window), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("RoiWindow"));
    setWindowTitle(QStringLiteral("ROI 統計"));
    setFont(form::font(12));
    resize(designed_size);

    notices = new QLabel(this);
    notices->setObjectName(QStringLiteral("notices"));
    notices->setTextFormat(Qt::PlainText);
    notices->setWordWrap(true);
    notices->setStyleSheet(QStringLiteral("QLabel { color: #7a4b00; background: #fff4d6; padding: 3px; }"));
    notices->setVisible(false);
    extent = new QLabel(this);
    extent->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    extent->setTextFormat(Qt::PlainText);
    note = new QLabel(this);
    note->setTextFormat(Qt::PlainText);
    note->setWordWrap(true);
    table = new QTableWidget(0, 6, this);
    table->setHorizontalHeaderLabels({QStringLiteral("画像"), QStringLiteral("n"), QStringLiteral("平均"),
                                      QStringLiteral("SD"), QStringLiteral("最小"), QStringLiteral("最大")});
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setDefaultSectionSize(18);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    table->viewport()->installEventFilter(this);  // fitColumns at each size
    copyButton = new QPushButton(QStringLiteral("コピー"), this);
    saveButton = new QPushButton(QStringLiteral("CSV保存"), this);
    connect(copyButton, &QPushButton::clicked, this, [this] { guarded(dialogs_, [this] { copyTable(); }); });
    connect(saveButton, &QPushButton::clicked, this, [this] { guarded(dialogs_, [this] { saveCsv(); }); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(copyButton);
    buttons->addWidget(saveButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(notices);
    layout->addWidget(extent);
    layout->addWidget(note, 1, Qt::AlignTop);  // in the table's place while that is hidden
    layout->addWidget(table, 1);
    layout->addLayout(buttons);
    showNoRoi();
}

void RoiWindow::showNote(const QString& text)
{
    rows_.clear();
    table->setRowCount(0);
    table->setVisible(false);
    note->setText(text);
    note->setVisible(true);
    copyButton->setEnabled(false);
    saveButton->setEnabled(false);
}

void RoiWindow::showNoRoi()
{
    extent->setText(QStringLiteral("ROI なし"));
    showNote(how_to_draw);
}

void RoiWindow::showFigures(const Roi& roi, std::vector<RoiRow> rows)
{
    roi_ = roi;
    extent->setText(q(roi_extent_text(roi)));
    if (rows.empty()) {
        showNote(nothing_yet);
        return;
    }
    rows_ = std::move(rows);
    note->setVisible(false);
    table->setVisible(true);
    table->setRowCount(static_cast<int>(rows_.size()));
    for (int index = 0; index < table->rowCount(); ++index) {
        const RoiRow& row = rows_[static_cast<std::size_t>(index)];
        table->setItem(index, 0, cell(row.plane, false));
        table->setItem(index, 1, cell(std::to_string(row.stats.n), true));
        int column = 2;
        for (const auto& figure : {row.stats.mean, row.stats.sd, row.stats.min, row.stats.max})
            table->setItem(index, column++, cell(shown_figure(figure, row.kind), true));
    }
    fitColumns();
    copyButton->setEnabled(true);
    saveButton->setEnabled(true);
}

// Every column as wide as its texts, whatever the width the window opens with (beside a wide
// main window it may get little): the room left goes to the figures' columns, or the table
// scrolls sideways.
void RoiWindow::fitColumns()
{
    constexpr int first_figure = 2;
    const int columns = table->columnCount();
    std::vector<int> widths(static_cast<std::size_t>(columns));
    int spare = table->viewport()->width();
    for (int column = 0; column < columns; ++column) {
        int& width = widths[static_cast<std::size_t>(column)];
        width = std::max(static_cast<QAbstractItemView*>(table)->sizeHintForColumn(column),
                         table->horizontalHeader()->sectionSizeHint(column));
        spare -= width;
    }
    for (int column = first_figure; column < columns && spare > 0; ++column) {
        const int left = columns - column;
        const int share = spare / left;
        widths[static_cast<std::size_t>(column)] += share;
        spare -= share;
    }
    for (int column = 0; column < columns; ++column)
        table->setColumnWidth(column, widths[static_cast<std::size_t>(column)]);
}

bool RoiWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == table->viewport() && event->type() == QEvent::Resize)
        fitColumns();
    return QWidget::eventFilter(watched, event);
}

void RoiWindow::open()
{
    if (isVisible())
        return;
    // Beside the main window, on its screen, never over it; its frame taken to be the main
    // window's. It opens at the designed size at least, or at the size the user gave it.
    const QRect main = main_window_->frameGeometry();
    const QSize frame = main.size() - main_window_->size();
    if (const QScreen* screen = main_window_->screen()) {
        const QRect place = place_beside(main, size().expandedTo(designed_size) + frame, screen->availableGeometry());
        resize(place.size() - frame);
        move(place.topLeft());
    }
    show();
}

void RoiWindow::showNotices(const std::vector<std::string>& texts)
{
    QStringList lines;
    for (const std::string& text : texts)
        lines.append(QStringLiteral("※ ") + q(text));
    notices->setText(lines.join(QLatin1Char('\n')));
    notices->setVisible(!texts.empty());
    if (!texts.empty())
        open();
}

void RoiWindow::copyTable() { QGuiApplication::clipboard()->setText(q(roi_table_text(roi_, rows_, '\t'))); }

void RoiWindow::saveCsv()
{
    const auto name = dialogs_.save_file(csv_name_);
    if (!name)
        return;
    csv_name_ = *name;
    write_file_atomically(csv_name_, roi_table_text(roi_, rows_, ','));
}

}  // namespace snr
