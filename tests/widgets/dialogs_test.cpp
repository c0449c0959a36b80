// SPDX-License-Identifier: BSD-3-Clause
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"
#include "widgets/dialogs.h"
#include "widgets/form_widgets.h"

namespace snr {
namespace {

// What the modal dialog that the next call opens shows: its title, or a box's text format
// and text. The dialog is closed then.
void read_next_dialog(std::vector<std::string>& seen)
{
    QTimer::singleShot(0, [&seen] {
        QWidget* shown = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(shown))
            seen.push_back((box->textFormat() == Qt::PlainText ? "plain " : "") + box->text().toStdString());
        else if (shown != nullptr)
            seen.push_back(shown->windowTitle().toStdString());
        if (shown != nullptr)
            shown->close();
    });
}

TEST(QtDialogs, PlainTextsAndJapaneseFileDialogs)
{
    ASSERT_TRUE(form::install_japanese_qt_texts());
    QWidget window;
    QtDialogs dialogs(&window, "snr_submap");
    std::vector<std::string> seen;
    read_next_dialog(seen);
    dialogs.error("'<b>' は浮動小数点数ではありません.");
    read_next_dialog(seen);
    dialogs.message("a<b>c.dcmはdicom画像ではありません!!");
    read_next_dialog(seen);
    EXPECT_EQ(dialogs.open_file(""), std::nullopt);
    read_next_dialog(seen);
    EXPECT_EQ(dialogs.save_file(""), std::nullopt);
    EXPECT_EQ(seen, (std::vector<std::string>{"plain '<b>' は浮動小数点数ではありません.",
                                              "plain a<b>c.dcmはdicom画像ではありません!!", "開く",
                                              "名前を付けて保存"}));
}

TEST(QtDialogs, ASaveDialogOfAFileTypeOffersItsFilterAndAddsItsSuffix)
{
    ASSERT_TRUE(form::install_japanese_qt_texts());
    test::TempFolder tmp;
    QWidget window;
    QtDialogs dialogs(&window, "snr_consecutive");
    // Answers the next dialog with `typed`, after noting its filters and the name it offers.
    QStringList filters;
    QString offered;
    const auto answer = [&](const std::string& typed) {
        QTimer::singleShot(0, [&, typed] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            filters = dialog->nameFilters();
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            offered = name->text();
            name->setText(QString::fromStdString(typed));
            static_cast<QDialog*>(dialog)->accept();  // as the save button does
        });
    };
    answer(tmp.file("rep1"));
    EXPECT_EQ(dialogs.save_file(tmp.file("report.pdf"), &pdf_file), tmp.file("rep1.pdf"));
    EXPECT_EQ(filters, QStringList{QStringLiteral("PDF ファイル (*.pdf)")});
    EXPECT_EQ(offered, QStringLiteral("report.pdf"));
    answer(tmp.file("rep.v2"));
    EXPECT_EQ(dialogs.save_file("report.pdf", &pdf_file), tmp.file("rep.v2.pdf"));
    answer(tmp.file("Rep.PDF"));
    EXPECT_EQ(dialogs.save_file("report.pdf", &pdf_file), tmp.file("Rep.PDF"));
    // Without a type, any name as chosen.
    answer(tmp.file("raw"));
    EXPECT_EQ(dialogs.save_file("raw"), tmp.file("raw"));
}

TEST(QtDialogs, FileListsInJapaneseWithColumnsThatShowTheirTexts)
{
    ASSERT_TRUE(form::install_japanese_qt_texts());
    test::TempFolder tmp;
    test::write_bytes(tmp.file("five"), {1, 2, 3, 4, 5});
    tmp.folder("sub");
    QWidget window;
    QtDialogs dialogs(&window, "snr_submap");

    // Row texts of the listed folder by name: size, type, date; and whether each column is as
    // wide as what it shows.
    std::map<std::string, std::vector<std::string>> rows;
    std::vector<bool> wide_enough;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* view = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
        ASSERT_NE(view, nullptr);
        QAbstractItemModel* model = view->model();
        const QModelIndex folder = view->rootIndex();
        EXPECT_TRUE(QTest::qWaitFor([&] { return model->rowCount(folder) == 2; }, 5000));
        QTest::qWait(50);  // the columns fit once the listing is reported
        for (int row = 0; row < model->rowCount(folder); ++row) {
            auto cell = [&](int column) { return model->index(row, column, folder).data().toString().toStdString(); };
            rows[cell(0)] = {cell(1), cell(2), cell(3)};
        }
        for (int column = 1; column < 4; ++column)
            wide_enough.push_back(view->columnWidth(column) >=
                                  static_cast<QAbstractItemView*>(view)->sizeHintForColumn(column));
        dialog->close();
    });
    EXPECT_EQ(dialogs.open_file(tmp.file("five")), std::nullopt);

    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    const auto date = [&](const std::string& name) {
        return japanese.toString(QFileInfo(QString::fromStdString(tmp.file(name))).lastModified(), QLocale::ShortFormat)
            .toStdString();
    };
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows["five"][0], "5 バイト");
    EXPECT_EQ(rows["five"][2], date("five"));
    EXPECT_EQ(rows["sub"], (std::vector<std::string>{"", "フォルダ", date("sub")}));
    EXPECT_EQ(wide_enough, (std::vector<bool>{true, true, true}));
}

}  // namespace
}  // namespace snr
