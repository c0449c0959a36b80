// SPDX-License-Identifier: BSD-3-Clause
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTest>
#include <cerrno>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "consecutive/consective_method.h"
#include "core/legend.h"
#include "widgets/folder_list.h"
#include "widgets/image_view.h"
#include "widgets/result_list.h"
#include "widgets/roi_overlay.h"
#include "widgets/roi_window.h"
#include "tests/consecutive/consecutive_window_fixture.h"
#include "tests/support/dicom_writer.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/fault_injection.h"
#include "tests/support/temp_folder.h"
#include "tests/support/widget_driver.h"

namespace snr {
namespace {

using test::TempFolder;

using test::text;

class ConsecutiveWindow : public test::ConsecutiveWindowFixture {
protected:
    void SetUp() override { open_window(); }

    // Three slices per folder; the last no-PI slice peaks at 1001.
    void write_folders()
    {
        for (int n = 0; n < 3; ++n) {
            StoredPixels a = test::filled(static_cast<std::int16_t>(100 + 2 * n));
            StoredPixels b = test::filled(static_cast<std::int16_t>(100 + 4 * n));
            a[1] = static_cast<std::int16_t>(n == 2 ? 1001 : 5);
            test::write_slice(nopi + "/s" + std::to_string(n), a);
            test::write_slice(pi + "/s" + std::to_string(n), b);
        }
    }
    void press_start() { QTest::mouseClick(form->Button1, Qt::LeftButton); }
    void run() { write_folders(), press_start(); }
    void select(int row) { test::click_row(form->ListBox1, row); }
    void mouse(QEvent::Type type, int x, int y) { test::send_mouse(form->Image1, type, x, y); }
    int grey(int x, int y) const { return form->displayBitmap().pixelColor(x, y).red(); }
    std::vector<std::string> labels() const
    {
        std::vector<std::string> out;
        for (auto* label : form->Label_scale)
            out.push_back(label->text().toStdString());
        return out;
    }
};

TEST_F(ConsecutiveWindow, StartsAsDesigned)
{
    EXPECT_EQ(form->windowTitle().toStdString(), "Quorix 連続撮像法");
    EXPECT_EQ(form->width() + TForm1::frame_width, 817);
    EXPECT_EQ(form->height() + TForm1::frame_height, 387);
    EXPECT_TRUE(form->CheckBox1->isChecked());
    EXPECT_FALSE(form->ProgressBar1->isVisible());
    EXPECT_FALSE(form->GroupBox2->isVisible());
    EXPECT_FALSE(form->Panel4->isVisible());
    EXPECT_EQ(text(form->label_window), "  ( WL,WW ) = ");
    EXPECT_EQ(text(form->label_pos), "  (X,Y) = (--,--)");
    EXPECT_EQ(form->Image1->geometry(), QRect(128, 8, 256, 256));
    EXPECT_NE(form->Image1->picture(), &form->displayBitmap());  // the title picture
    EXPECT_EQ(labels(), std::vector<std::string>(10, "0"));
}

TEST_F(ConsecutiveWindow, RunShowsTheLastNoPiSliceThroughItsAutomaticWindow)
{
    run();
    EXPECT_TRUE(dialogs->errors.empty()) << dialogs->errors.front();
    EXPECT_EQ(form->ListBox1->count(), 9);
    EXPECT_EQ(form->ListBox1->currentRow(), -1);
    EXPECT_EQ(form->ListBox1->item(3)->text().toStdString(), "PIなし SNR map");
    EXPECT_EQ(text(form->label_window), "(wl,ww) = (500,1001)");
    EXPECT_FALSE(form->ProgressBar1->isVisible());
    EXPECT_EQ(form->ProgressBar1->value(), 100);
    EXPECT_EQ(form->Image1->picture(), &form->displayBitmap());
    EXPECT_EQ(grey(1, 0), 255);  // 1001 is white
    EXPECT_EQ(grey(0, 0), 26);   // 104 * 256 / 1001

    form->CheckBox1->setChecked(false);
    press_start();
    EXPECT_EQ(form->ListBox1->count(), 4);
}

TEST_F(ConsecutiveWindow, RefusedAndFailedRuns)
{
    run();
    form->edit_rfactor->setText("0");
    state->rep_nopi[0] = -1;
    press_start();
    EXPECT_EQ(dialogs->messages, std::vector<std::string>{"reduction factorが不正です"});
    EXPECT_FALSE(form->ProgressBar1->isVisible());
    EXPECT_EQ(form->ListBox1->count(), 9);
    EXPECT_EQ(state->rep_nopi[0], -1);

    form->edit_rfactor->setText("2");
    test::write_bytes(nopi + "/zz-stray", {1, 2, 3});
    press_start();
    EXPECT_EQ(dialogs->errors, std::vector<std::string>{"I/O エラー (131)"});
    EXPECT_TRUE(form->ProgressBar1->isVisible());  // stays up after a failure
    EXPECT_EQ(text(form->label_window), "(wl,ww) = (500,1001)");

    form->DirectoryListBox1->setDirectory(tmp.folder("empty"));
    press_start();
    EXPECT_EQ(dialogs->errors.back(), "不正な浮動小数点数演算命令.");
}

TEST_F(ConsecutiveWindow, InputsThatDifferAreShownBesideTheWindowAfterTheRunWithoutABox)
{
    write_folders();
    test::write_dicom(nopi + "/t", test::filled(100), {.manufacturer = "Maker"});
    press_start();
    EXPECT_TRUE(dialogs->messages.empty() && dialogs->errors.empty());
    EXPECT_EQ(form->ListBox1->count(), 9);
    ASSERT_TRUE(form->roiWindow->isVisible());
    EXPECT_TRUE(form->roiWindow->notices->isVisible());
    EXPECT_EQ(text(form->roiWindow->notices), "※ " + nopi + "のs0とtで読み方が違います (生データ / DICOM画像)");

    // The next run's inputs are alike: the notice goes; the window stays where the user has it.
    std::remove((nopi + "/t").c_str());
    press_start();
    EXPECT_FALSE(form->roiWindow->notices->isVisible());
    EXPECT_TRUE(dialogs->messages.empty() && dialogs->errors.empty());
}

TEST_F(ConsecutiveWindow, ZeroWidthLeavesThePictureAndTheBarUp)
{
    for (int n = 0; n < 2; ++n)
        test::write_slice(nopi + "/s" + std::to_string(n), test::filled(static_cast<std::int16_t>(-n)));
    form->CheckBox1->setChecked(false);
    press_start();
    EXPECT_EQ(dialogs->errors, std::vector<std::string>{"ゼロによる除算."});
    EXPECT_EQ(text(form->label_window), "(wl,ww) = (0,0)");
    EXPECT_NE(form->Image1->picture(), &form->displayBitmap());
    EXPECT_TRUE(form->ProgressBar1->isVisible());
}

TEST_F(ConsecutiveWindow, DragChangesTheWindowPixelByPixel)
{
    run();
    state->window.wl = 50;
    state->window.ww = 80;
    mouse(QEvent::MouseButtonPress, 100, 100);
    mouse(QEvent::MouseMove, 60, 120);
    EXPECT_EQ(text(form->label_window), "( WL,WW ) = ( 70 , 40 )");
    mouse(QEvent::MouseMove, 10, 120);
    EXPECT_EQ(text(form->label_window), "( WL,WW ) = ( 70 , 1 )");
    EXPECT_EQ(grey(0, 0), 255);  // 104 > 70 with width 1
    mouse(QEvent::MouseMove, -40, 900);  // outside the control: still dragging
    EXPECT_EQ(state->window.wl, 850);
    mouse(QEvent::MouseButtonRelease, 0, 0);
    mouse(QEvent::MouseMove, 30, 30);
    EXPECT_EQ(state->window.wl, 850);

    select(8);
    mouse(QEvent::MouseButtonPress, 0, 0);
    mouse(QEvent::MouseMove, 1, 2);
    EXPECT_EQ(text(form->label_window), "( WL,WW ) = ( 2.02 , 4.01 )");
    mouse(QEvent::MouseButtonRelease, 1, 2);
}

TEST_F(ConsecutiveWindow, ReadoutShowsRowFirstAndOnlyWithResults)
{
    mouse(QEvent::MouseMove, 40, 120);
    EXPECT_EQ(text(form->label_pos), "  (X,Y) = (--,--)");
    run();
    at(state->disp_image, 120, 40) = 976.0;
    mouse(QEvent::MouseMove, 40, 120);
    EXPECT_EQ(text(form->label_pos), "( X,Y ) = ( 120 , 40 )");
    EXPECT_EQ(text(form->label_SI), "信号強度 = 976.00");
    mouse(QEvent::MouseMove, 256, 3);  // outside the plane: labels keep their text
    EXPECT_EQ(text(form->label_pos), "( X,Y ) = ( 120 , 40 )");

    select(8);
    at(state->disp_image, 120, 40) = 131.0;
    const std::string caption = text(form->label_window);
    mouse(QEvent::MouseMove, 40, 120);
    EXPECT_EQ(text(form->label_SI), "g-factor = 1.31");
    EXPECT_EQ(text(form->label_window), caption);  // no drag, no window change
    select(3);
    mouse(QEvent::MouseMove, 240, 52);
    EXPECT_EQ(text(form->label_SI), "SNR = 300.00");
}

TEST_F(ConsecutiveWindow, SaveWritesTheDisplayedPlaneAndRemembersTheName)
{
    run();
    select(3);
    dialogs->save_answer = tmp.file("map.raw");
    QTest::mouseClick(form->Button3, Qt::LeftButton);
    const auto bytes = test::read_bytes(tmp.file("map.raw"));
    ASSERT_EQ(bytes.size(), 131072u);
    const std::size_t frame = 2 * (52 * 256 + 234);
    EXPECT_EQ(bytes[frame] | bytes[frame + 1] << 8, 300);

    dialogs->save_answer.reset();  // cancelled: nothing written, name kept
    QTest::mouseClick(form->Button3, Qt::LeftButton);
    EXPECT_EQ(dialogs->offered_names, (std::vector<std::string>{"", tmp.file("map.raw")}));
    EXPECT_EQ(state->export_name, tmp.file("map.raw"));

    dialogs->save_answer = tmp.file("missing/x.raw");
    QTest::mouseClick(form->Button3, Qt::LeftButton);
    EXPECT_EQ(dialogs->errors, std::vector<std::string>{"ファイル名の指定が間違っています."});
}

TEST_F(ConsecutiveWindow, ViewSelectionOfEachItemKind)
{
    run();
    select(3);
    EXPECT_EQ(text(form->label_SI), " SNR = ");
    EXPECT_TRUE(form->GroupBox2->isVisible());
    EXPECT_TRUE(form->Panel4->isVisible());
    EXPECT_EQ(text(form->label_window), "( WL,WW ) = ( 160 , 460 )");
    EXPECT_EQ(labels().front(), "60");
    EXPECT_EQ(labels().back(), "240");
    EXPECT_EQ(state->disp_image, state->snr_nopi);

    select(8);
    EXPECT_EQ(text(form->Edit_min), "0.6");
    EXPECT_EQ(text(form->Edit_dis), "0.2");
    EXPECT_EQ(text(form->label_SI), " SNR = ");  // untouched by the g-factor item
    EXPECT_EQ(text(form->label_window), "( WL,WW ) = ( 2.00 , 4.00 )");
    EXPECT_EQ(labels().front(), "0.60");
    EXPECT_EQ(labels().back(), "2.40");
    EXPECT_EQ(at(state->gfactor_map, 53, 240), 60.0);   // re-stamped from 0.6 x 100
    EXPECT_EQ(at(state->gfactor_map, 202, 240), 260.0);
    EXPECT_EQ(state->legend.scale_min, 60.0);
    EXPECT_EQ(state->legend.scale_step, 20.0);

    select(0);
    EXPECT_FALSE(form->GroupBox2->isVisible());
    EXPECT_EQ(text(form->label_SI), " 信号強度 = ");
    EXPECT_EQ(text(form->Edit_min), "0.6");
    EXPECT_EQ(state->legend.scale_min, 60.0);
    EXPECT_EQ(text(form->label_window), "( WL,WW ) = ( 500 , 1001 )");

    state->noise_nopi.fill(0.5);  // a maximum below 1 gives a zero width
    select(2);
    EXPECT_EQ(dialogs->errors, std::vector<std::string>{"ゼロによる除算."});
    EXPECT_EQ(text(form->label_window), "( WL,WW ) = ( 0 , 0 )");
}

TEST_F(ConsecutiveWindow, SelectingTheSameMapTwiceRunsNoEditHandler)
{
    run();
    select(7);
    at(state->snr_pi, 100, 240) = 999;
    select(7);
    EXPECT_EQ(at(state->disp_image, 100, 240), 999);  // not re-stamped

    select(8);
    select(7);  // texts change back: the handlers re-stamp the selected map
    EXPECT_EQ(at(state->snr_pi, 100, 240), 60.0 + 20 * legend::level_of_row(100));
}

TEST_F(ConsecutiveWindow, AFailingNestedEditHandlerEndsOnlyItself)
{
    run();
    select(3);
    form->Edit_dis->setText("abc");  // junk left by the user
    select(8);
    EXPECT_EQ(dialogs->errors, std::vector<std::string>{"'abc' は浮動小数点数ではありません."});
    EXPECT_EQ(text(form->label_window), "( WL,WW ) = ( 2.00 , 4.00 )");

    // After a zero-width noise plane both nested handlers fail at rendering; the map shows.
    state->noise_nopi.fill(0.5);
    select(2);
    select(3);
    EXPECT_EQ(dialogs->errors.size(), 4u);
    EXPECT_EQ(text(form->label_window), "( WL,WW ) = ( 160 , 460 )");
    EXPECT_EQ(grey(234, 52), 205);  // the frame's 300 through 160 / 460
}

TEST_F(ConsecutiveWindow, TheRightButtonMovesNoHighlight)
{
    run();
    select(0);
    test::press_onto_row(form->ListBox1, Qt::RightButton, 7, 3);
    EXPECT_EQ(test::highlighted(form->ListBox1), std::vector<int>{0});
    mouse(QEvent::MouseMove, 0, 0);
    EXPECT_EQ(text(form->label_SI), "信号強度 = 104.00");
}

TEST_F(ConsecutiveWindow, ADraggedPressSelectsWhereItIsReleasedAndCtrlDeselectsNothing)
{
    run();
    test::press_onto_row(form->ListBox1, Qt::LeftButton, 0, 3);
    test::press_onto_row(form->ListBox1, Qt::LeftButton, 3, 3, Qt::ControlModifier);
    QTest::keyClick(form->ListBox1, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(test::highlighted(form->ListBox1), std::vector<int>{3});
    EXPECT_EQ(text(form->label_window), "( WL,WW ) = ( 160 , 460 )");
    QTest::keyClick(form->ListBox1, Qt::Key_Down);
    EXPECT_EQ(state->disp_image, state->rep_pi);
}

TEST_F(ConsecutiveWindow, TypingInTheLegendEditsRestampsTheMapOnDisplay)
{
    run();
    select(3);
    form->Edit_min->selectAll();
    QTest::keyClick(form->Edit_min, Qt::Key_Delete);  // empty: nothing happens
    EXPECT_EQ(at(state->snr_nopi, 53, 240), 60.0);
    QTest::keyClick(form->Edit_min, Qt::Key_4);
    EXPECT_EQ(at(state->snr_nopi, 53, 240), 4.0);
    QTest::keyClick(form->Edit_min, Qt::Key_0);
    EXPECT_EQ(at(state->disp_image, 53, 240), 40.0);
    EXPECT_EQ(labels()[1], "60");

    form->Edit_dis->setText("");
    QTest::keyClicks(form->Edit_dis, "0");
    EXPECT_EQ(labels(), std::vector<std::string>(10, "40"));
    form->Edit_dis->setText("");
    QTest::keyClicks(form->Edit_dis, "-5");
    EXPECT_EQ(labels().back(), "-5");
    EXPECT_EQ(at(state->snr_nopi, 202, 240), -10.0);
    EXPECT_EQ(at(state->snr_nopi, 52, 234), 300.0);  // the frame never changes
    EXPECT_EQ(dialogs->errors, std::vector<std::string>{"'-' は浮動小数点数ではありません."});

    select(8);
    form->Edit_dis->setText("");
    QTest::keyClicks(form->Edit_dis, "0.3");
    EXPECT_EQ(at(state->gfactor_map, 67, 240), 90.0);
    EXPECT_EQ(at(state->gfactor_map, 202, 240), 360.0);
    EXPECT_EQ(labels()[9], "3.30");
}

TEST_F(ConsecutiveWindow, ALegendTextBeyondTheDoubleRangeIsRefusedAsTheOverflow)
{
    run();
    for (int row : {3, 8}) {
        select(row);
        const auto labels_before = labels();
        const Plane map = state->disp_image;
        for (QLineEdit* edit : {form->Edit_dis, form->Edit_min}) {
            const QString before = edit->text();
            edit->selectAll();
            edit->insert(QStringLiteral("1e400"));  // as pasted: one change
            EXPECT_EQ(dialogs->errors.back(), "浮動小数点数のオーバーフロー.");
            EXPECT_EQ(labels(), labels_before);
            EXPECT_EQ(state->disp_image, map);
            edit->setText(before);
        }
    }
    EXPECT_EQ(dialogs->errors.size(), 4u);
}

TEST_F(ConsecutiveWindow, CaptionsFitTheirLabelsAndGroupsTheirDesign)
{
    EXPECT_EQ(test::layout_faults(form.get()), std::vector<std::string>{});
    run();
    select(3);
    mouse(QEvent::MouseButtonPress, 0, 0);
    mouse(QEvent::MouseMove, 32307, -32928);  // the longest caption
    EXPECT_EQ(text(form->label_window), "( WL,WW ) = ( -32768 , 32767 )");
    form->CheckBox1->setChecked(false);
    EXPECT_EQ(test::layout_faults(form.get()), std::vector<std::string>{});
}

TEST_F(ConsecutiveWindow, LayoutSwitchInBothDirections)
{
    run();
    form->CheckBox1->setChecked(false);
    EXPECT_EQ(text(form->Label1), "画像フォルダ");
    EXPECT_EQ(form->Label1->x(), 50);
    EXPECT_FALSE(form->DirectoryListBox2->isVisible());
    EXPECT_FALSE(form->GroupBox1->isVisible());
    EXPECT_EQ(form->Panel1->width(), 185);
    EXPECT_EQ(form->Button1->x(), 83);
    EXPECT_EQ(form->ProgressBar1->width(), 169);
    EXPECT_EQ(form->Panel2->x(), 200);
    EXPECT_EQ(form->width() + TForm1::frame_width, 664);
    EXPECT_EQ(form->ListBox1->count(), 9);  // the list follows at the next run

    form->CheckBox1->setChecked(true);
    EXPECT_EQ(text(form->Label1), "parallel imaging なし");
    EXPECT_EQ(form->Label1->x(), 32);
    EXPECT_TRUE(form->DirectoryListBox2->isVisible());
    EXPECT_EQ(form->Panel2->x(), 376);
    EXPECT_EQ(form->width() + TForm1::frame_width, 842);
}

TEST_F(ConsecutiveWindow, FoldersFromTheCommandLine)
{
    // The list shows the folder's own path, so ".." is resolved; the run reads those folders.
    write_folders();
    form->DirectoryListBox1->setDirectory(tmp.path());
    form->DirectoryListBox2->setDirectory(tmp.path());
    form->openFolders({nopi + "/../pi", pi + "/../nopi"});
    EXPECT_EQ(form->DirectoryListBox1->directory(), pi);
    EXPECT_EQ(form->DirectoryListBox2->directory(), nopi);
    press_start();
    EXPECT_EQ(form->ListBox1->count(), 9);
    EXPECT_TRUE(dialogs->errors.empty());

    // A name that is no folder: the window's file-error box naming it as given, that list left
    // as it was, the other one opened.
    form->openFolders({tmp.file("missing"), pi});
    form->openFolders({nopi + "/s0", tmp.file("gone/deeper")});
    EXPECT_EQ(dialogs->errors,
              (std::vector<std::string>{tmp.file("missing") + ": ファイルが見つかりません.",
                                        nopi + "/s0: ファイル名の指定が間違っています.",
                                        tmp.file("gone/deeper") + ": ファイル名の指定が間違っています."}));
    EXPECT_EQ(form->DirectoryListBox1->directory(), pi);
    EXPECT_EQ(form->DirectoryListBox2->directory(), pi);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(ConsecutiveWindow, HostileFoldersEndInAResultOrTheErrorBox)
{
    // Folder and slice names in Japanese and in bytes that are no UTF-8 at all.
    const std::string odd = tmp.folder("撮像\xff\xfe");
    for (int n = 0; n < 2; ++n)
        test::write_slice(odd + "/スライス\x80" + std::to_string(n), test::filled(static_cast<std::int16_t>(500 + n)));
    form->DirectoryListBox1->setDirectory(odd);
    form->CheckBox1->setChecked(false);
    press_start();
    ASSERT_TRUE(dialogs->errors.empty()) << dialogs->errors.front();
    EXPECT_EQ(text(form->label_window), "(wl,ww) = (250,501)");

    ASSERT_EQ(::mkfifo((odd + "/fifo").c_str(), 0600), 0);  // would block a plain open
    press_start();
    EXPECT_EQ(dialogs->errors, std::vector<std::string>{"I/O エラー (131)"});
    EXPECT_TRUE(form->ProgressBar1->isVisible());

    std::filesystem::remove(odd + "/fifo");
    {
        test::InjectFault no_access(test::Call::Open, EACCES);
        press_start();
    }
    EXPECT_EQ(dialogs->errors.back(), "ファイルへのアクセスが拒否されました.");
}

TEST_F(ConsecutiveWindow, AFailedSaveKeepsTheEarlierFile)
{
    run();
    const std::string path = tmp.file("keep.raw");
    test::write_bytes(path, {1, 2, 3});
    dialogs->save_answer = path;
    {
        test::InjectFault full(test::Call::Write, ENOSPC);
        QTest::mouseClick(form->Button3, Qt::LeftButton);
    }
    {
        test::InjectFault read_only(test::Call::Access, EACCES);
        QTest::mouseClick(form->Button3, Qt::LeftButton);
    }
    EXPECT_EQ(dialogs->errors,
              (std::vector<std::string>{"ディスクがいっぱいです.", "ファイルへのアクセスが拒否されました."}));
    EXPECT_EQ(test::read_bytes(path), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(ConsecutiveWindow, HugeValuesOnDisplay)
{
    run();
    // A plane maximum of 1e300: the automatic window holds at the 16-bit limit.
    state->signal_nopi.fill(1e300);
    select(1);
    ASSERT_TRUE(dialogs->errors.empty()) << dialogs->errors.front();
    EXPECT_EQ(text(form->label_window), "( WL,WW ) = ( 32767 , 32767 )");
    EXPECT_EQ(grey(5, 5), 255);
    mouse(QEvent::MouseMove, 5, 5);
    const std::string readout = text(form->label_SI);  // all 301 digits of the double
    EXPECT_TRUE(readout.starts_with("信号強度 = 1000000000000000")) << readout;
    EXPECT_EQ(readout.size(), std::string("信号強度 = ").size() + 301 + 3);
    mouse(QEvent::MouseButtonPress, 5, 5);
    mouse(QEvent::MouseMove, 200, -300);
    mouse(QEvent::MouseButtonRelease, 200, -300);
    EXPECT_EQ(grey(5, 5), 255);

    // It has no 16-bit value to export; the earlier file stays.
    const std::string path = tmp.file("keep.raw");
    test::write_bytes(path, {1, 2, 3});
    dialogs->save_answer = path;
    QTest::mouseClick(form->Button3, Qt::LeftButton);
    EXPECT_EQ(dialogs->errors, std::vector<std::string>{"不正な浮動小数点数演算命令."});
    EXPECT_EQ(test::read_bytes(path), (std::vector<std::uint8_t>{1, 2, 3}));

    // A legend minimum of 1e300 is stamped and labelled; an interval of 1e308 overflows at
    // level 2 and leaves no infinity behind.
    select(3);
    form->Edit_min->setText("1e30");
    form->Edit_min->end(false);
    QTest::keyClick(form->Edit_min, Qt::Key_0);
    EXPECT_EQ(at(state->disp_image, 53, 240), 1e300);
    EXPECT_EQ(labels().front().size(), 301u);
    form->Edit_dis->setText("1e30");
    form->Edit_dis->end(false);
    QTest::keyClick(form->Edit_dis, Qt::Key_8);
    EXPECT_EQ(dialogs->errors.back(), "浮動小数点数のオーバーフロー.");
    for (double value : state->snr_nopi)
        ASSERT_TRUE(std::isfinite(value));
}

TEST_F(ConsecutiveWindow, RoiByShiftDragWithItsTable)
{
    auto cell = [&](int row, int column) { return form->roiWindow->table->item(row, column)->text().toStdString(); };
    // Before the first run: the table opens and has nothing to measure; nothing else moves.
    test::shift_drag(form->Image1, {10, 20}, {29, 49});
    ASSERT_EQ(form->roiOverlay->roi(), (Roi{20, 10, 30, 20}));
    EXPECT_TRUE(form->roiWindow->isVisible());
    EXPECT_EQ(form->roiWindow->windowTitle().toStdString(), "ROI 統計");
    // Beside the main window, on its screen, never over it; also from a place near the edge.
    const QRect screen = form->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(form->roiWindow->frameGeometry()));
    EXPECT_FALSE(form->roiWindow->frameGeometry().intersects(form->frameGeometry()));
    form->roiWindow->close();
    form->move(0, 300);
    test::shift_drag(form->Image1, {10, 20}, {29, 49});
    EXPECT_TRUE(screen.contains(form->roiWindow->frameGeometry()));
    EXPECT_FALSE(form->roiWindow->frameGeometry().intersects(form->frameGeometry()));
    EXPECT_EQ(text(form->roiWindow->extent), "行 20–49　列 10–29　(30 × 20 画素)");
    EXPECT_TRUE(form->roiWindow->note->isVisible());
    EXPECT_FALSE(form->roiWindow->copyButton->isEnabled());
    EXPECT_EQ(state->window.ww, 0);
    EXPECT_FALSE(state->drag.drag_active);
    EXPECT_NE(form->Image1->picture(), &form->displayBitmap());

    // A run fills the table, one row per item of the list, the g-factor map in g.
    run();
    ASSERT_EQ(form->roiWindow->table->rowCount(), 9);
    EXPECT_EQ(cell(3, 0), "PIなし SNR map");
    EXPECT_EQ(cell(3, 1), "600");
    EXPECT_EQ(cell(3, 2), "51.00");
    EXPECT_EQ(cell(3, 3), "0.00");
    EXPECT_EQ(cell(8, 2), "1.387");

    // The overlay stays out of the planes, the bitmap and the window, and outlives selections.
    select(3);
    const Plane shown = state->disp_image;
    const QImage bitmap = form->displayBitmap().copy();
    const std::string caption = text(form->label_window);
    test::shift_drag(form->Image1, {10, 20}, {29, 49});
    EXPECT_EQ(state->disp_image, shown);
    EXPECT_EQ(form->displayBitmap(), bitmap);
    EXPECT_EQ(text(form->label_window), caption);
    select(0);
    EXPECT_EQ(form->roiOverlay->roi(), (Roi{20, 10, 30, 20}));
    EXPECT_EQ(cell(0, 2), "104.00");

    // A new run recomputes it; closed, the table opens again with the next ROI.
    test::write_slice(nopi + "/s2", 110);
    press_start();
    EXPECT_EQ(cell(0, 2), "110.00");
    form->roiWindow->close();
    test::shift_drag(form->Image1, {29, 49}, {10, 20});
    EXPECT_TRUE(form->roiWindow->isVisible());

    // Copy and CSV save; a failed save keeps the earlier file.
    QTest::mouseClick(form->roiWindow->copyButton, Qt::LeftButton);
    const QStringList copied = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(copied.size(), 10);
    EXPECT_EQ(copied[0].toStdString(), "row\tcolumn\theight\twidth\tplane\tn\tmean\tsd\tmin\tmax");
    EXPECT_EQ(copied[1].toStdString(), "20\t10\t30\t20\tPIなし 代表画像\t600\t110\t0\t110\t110");
    const std::string csv = tmp.file("roi.csv");
    dialogs->save_answer = csv;
    QTest::mouseClick(form->roiWindow->saveButton, Qt::LeftButton);
    EXPECT_EQ(dialogs->offered_names.back(), "roi.csv");
    const auto saved = test::read_bytes(csv);
    EXPECT_EQ(QString::fromUtf8(reinterpret_cast<const char*>(saved.data()), static_cast<qsizetype>(saved.size())),
              QApplication::clipboard()->text().replace('\t', ','));
    {
        test::InjectFault full(test::Call::Write, ENOSPC);
        QTest::mouseClick(form->roiWindow->saveButton, Qt::LeftButton);
    }
    EXPECT_EQ(dialogs->errors, std::vector<std::string>{"ディスクがいっぱいです."});
    EXPECT_EQ(test::read_bytes(csv), saved);

    // Shift + click removes it and starts no window drag; a plain press still does.
    test::shift_click(form->Image1, {40, 40});
    EXPECT_FALSE(form->roiOverlay->roi());
    EXPECT_EQ(text(form->roiWindow->extent), "ROI なし");
    EXPECT_FALSE(form->roiWindow->table->isVisible());
    mouse(QEvent::MouseButtonPress, 40, 40);
    EXPECT_TRUE(state->drag.drag_active);
    mouse(QEvent::MouseButtonRelease, 40, 40);
}

TEST(FolderList, ShowsThePathThenTheSubfoldersAndOpensOnDoubleClickOrEnter)
{
    TempFolder tmp;
    tmp.folder("b");
    tmp.folder("a");
    tmp.folder(".hidden");
    test::write_bytes(tmp.file("file"), {1});
    FolderList list;
    list.show();
    list.setDirectory(tmp.path());
    std::vector<std::string> shown;
    for (int i = 0; i < list.count(); ++i)
        shown.push_back(list.item(i)->text().toStdString());
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(shown.front(), "/");
    EXPECT_EQ(std::vector<std::string>(shown.end() - 2, shown.end()), (std::vector<std::string>{"a", "b"}));

    const int a_row = list.count() - 2;
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(a_row)).center());
    EXPECT_EQ(list.directory(), tmp.path());  // a single click only highlights
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(a_row)).center());
    EXPECT_EQ(list.directory(), tmp.path() + "/a");

    list.setCurrentRow(0);
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(list.directory(), "/");
}

}  // namespace
}  // namespace snr
