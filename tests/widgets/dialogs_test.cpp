// SPDX-License-Identifier: BSD-3-Clause
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace snr
