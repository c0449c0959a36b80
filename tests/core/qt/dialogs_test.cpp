#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

#include "core/qt/dialogs.h"
#include "core/qt/form_widgets.h"

namespace snr {
namespace {

// Hands the dialog that the next call opens to `inspect`, then closes it.
template <class Dialog>
void inspect_next_dialog(std::function<void(Dialog&)> inspect)
{
    QTimer::singleShot(0, [inspect] {
        QWidget* shown = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<Dialog*>(shown))
            inspect(*dialog);
        else
            ADD_FAILURE() << "no dialog of the expected kind";
        if (shown != nullptr)
            shown->close();
    });
}

struct Box {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::TextFormat format = Qt::AutoText;
    std::string title;
    std::string text;
};

Box shown_box(const std::function<void()>& show)
{
    Box box;
    inspect_next_dialog<QMessageBox>([&box](QMessageBox& shown) {
        box = {shown.icon(), shown.textFormat(), shown.windowTitle().toStdString(), shown.text().toStdString()};
    });
    show();
    return box;
}

TEST(QtDialogs, BoxesShowTheirTextsAsTheyAre)
{
    QWidget window;
    QtDialogs dialogs(&window, "snr_submap");
    const Box error = shown_box([&] { dialogs.error("'<b>' は浮動小数点数ではありません."); });
    EXPECT_EQ(error.icon, QMessageBox::Critical);
    EXPECT_EQ(error.format, Qt::PlainText);
    EXPECT_EQ(error.title, "snr_submap");
    EXPECT_EQ(error.text, "'<b>' は浮動小数点数ではありません.");

    const Box refusal = shown_box([&] { dialogs.message("a<b>c.dcmはdicom画像ではありません!!"); });
    EXPECT_EQ(refusal.icon, QMessageBox::NoIcon);
    EXPECT_EQ(refusal.format, Qt::PlainText);
    EXPECT_EQ(refusal.text, "a<b>c.dcmはdicom画像ではありません!!");
}

TEST(QtDialogs, FileDialogsSpeakJapanese)
{
    ASSERT_TRUE(form::install_japanese_qt_texts());
    QWidget window;
    QtDialogs dialogs(&window, "snr_submap");
    std::vector<std::string> seen;
    auto read = [&seen](QFileDialog& dialog) {
        seen.push_back(dialog.windowTitle().toStdString());
        seen.push_back(dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"))->text().toStdString());
        auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        seen.push_back(buttons->button(QDialogButtonBox::Cancel)->text().toStdString());
    };
    inspect_next_dialog<QFileDialog>(read);
    EXPECT_EQ(dialogs.open_file(""), std::nullopt);
    inspect_next_dialog<QFileDialog>(read);
    EXPECT_EQ(dialogs.save_file(""), std::nullopt);
    EXPECT_EQ(seen, (std::vector<std::string>{"開く", "アドレス:", "キャンセル", "名前を付けて保存", "アドレス:",
                                              "キャンセル"}));
}

}  // namespace
}  // namespace snr
