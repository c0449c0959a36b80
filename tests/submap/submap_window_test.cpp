// SPDX-License-Identifier: BSD-3-Clause
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTextDocumentFragment>
#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "widgets/image_view.h"
#include "widgets/result_list.h"
#include "widgets/roi_overlay.h"
#include "widgets/roi_window.h"
#include "submap/sub_map.h"
#include "tests/support/dicom_writer.h"
#include "widgets/run_record_menu.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/fault_injection.h"
#include "tests/support/temp_folder.h"
#include "tests/support/widget_driver.h"

namespace snr {
namespace {

using test::TempFolder;

using test::text;
std::string text(const QPushButton* button) { return button->text().toStdString(); }

class SubmapWindow : public ::testing::Test {
protected:
    std::unique_ptr<SubmapState> state = std::make_unique<SubmapState>();
    test::FakeDialogs* dialogs = nullptr;
    std::unique_ptr<TForm1> form;
    TempFolder tmp;

    void SetUp() override
    {
        auto fake = std::make_unique<test::FakeDialogs>();
        dialogs = fake.get();
        form = std::make_unique<TForm1>(*state, std::move(fake));
        form->show();
        // Image 1 is 100 with a peak of 1001 in the corner; image 2 differs by 7 at row 10, column 10.
        StoredPixels image1 = test::filled(100);
        image1[0] = 1001;
        StoredPixels image2 = image1;
        image2[10 * 256 + 10] = 93;
        test::write_marked_slice(tmp.file("img1.dcm"), image1);
        test::write_marked_slice(tmp.file("img2.dcm"), image2);
        test::write_slice(tmp.file("plain.raw"), image1);
    }
    void choose(QPushButton* selector, const std::string& name)
    {
        dialogs->open_answer = tmp.file(name);
        QTest::mouseClick(selector, Qt::LeftButton);
    }
    void choose_all()
    {
        choose(form->Button1, "img1.dcm");
        choose(form->Button2, "img2.dcm");
        choose(form->Button3, "img1.dcm");
        choose(form->Button4, "img2.dcm");
    }
    void press_start() { QTest::mouseClick(form->Button5, Qt::LeftButton); }
    void select(int row) { test::click_row(form->ListBox1, row); }
    void mouse(QEvent::Type type, int x, int y) { test::send_mouse(form->Image1, type, x, y); }
    bool legend_shown() const { return form->GroupBox2->isVisible() && form->Panel6->isVisible(); }
};

TEST_F(SubmapWindow, StartsAsDesigned)
{
    EXPECT_EQ(form->windowTitle().toStdString(), "Quorix 差分マップ法");
    EXPECT_EQ(form->width() + TForm1::frame_width, 474);
    EXPECT_EQ(form->height() + TForm1::frame_height, 580);
    EXPECT_EQ(form->Image1->size(), QSize(255, 255));
    EXPECT_EQ(state->window.wl, 1);
    EXPECT_EQ(state->window.ww, 1);
    EXPECT_EQ(text(form->Label12), "信号強度");
    EXPECT_EQ(text(form->label_Xpos), "-----");
    EXPECT_FALSE(legend_shown());
    EXPECT_TRUE(form->Label1->text().isEmpty());

    // A drag right after start-up begins from a window of 1 / 1.
    mouse(QEvent::MouseButtonPress, 10, 10);
    mouse(QEvent::MouseMove, 12, 15);
    EXPECT_EQ(text(form->label_window), "  ( WL,WW ) = ( 6 , 3 )");
    mouse(QEvent::MouseButtonRelease, 12, 15);
}

TEST_F(SubmapWindow, SelectorsTakeOnlyFilesWithTheMarkerThatCanBeRead)
{
    choose(form->Button1, "img1.dcm");
    EXPECT_EQ(text(form->Label1), "img1.dcm");
    EXPECT_EQ(state->path1_nopi, tmp.file("img1.dcm"));

    choose(form->Button1, "plain.raw");
    EXPECT_EQ(dialogs->messages, std::vector<std::string>{"plain.rawはdicom画像ではありません!!"});
    EXPECT_EQ(text(form->Label1), "img1.dcm");
    EXPECT_EQ(state->path1_nopi, tmp.file("img1.dcm"));

    // A DICOM image the reader cannot take is refused in the same way.
    test::write_dicom(tmp.file("big.dcm"), test::filled(1), {.rows = 512, .columns = 512});
    choose(form->Button1, "big.dcm");
    EXPECT_EQ(dialogs->messages.back(), "big.dcmは256×256の16ビット画像ではありません (512×512)");
    EXPECT_EQ(text(form->Label1), "img1.dcm");
    EXPECT_EQ(state->path1_nopi, tmp.file("img1.dcm"));

    choose(form->Button1, "missing.dcm");
    EXPECT_EQ(dialogs->errors, std::vector<std::string>{"ファイルが見つかりません."});
    EXPECT_EQ(text(form->Label1), "img1.dcm");

    dialogs->open_answer.reset();  // cancelled
    QTest::mouseClick(form->Button4, Qt::LeftButton);
    EXPECT_TRUE(form->Label4->text().isEmpty());
    // The dialog offers the name last chosen in it, whichever selector chose it.
    EXPECT_EQ(dialogs->offered_names.back(), tmp.file("missing.dcm"));
}

TEST_F(SubmapWindow, FilesFromTheCommandLineGoThroughTheSelectors)
{
    form->openImages({tmp.file("img1.dcm"), tmp.file("plain.raw"), tmp.file("missing.dcm"), tmp.file("img2.dcm")});
    EXPECT_EQ(text(form->Label1), "img1.dcm");
    EXPECT_EQ(state->path1_nopi, tmp.file("img1.dcm"));
    EXPECT_TRUE(form->Label2->text().isEmpty());
    EXPECT_TRUE(state->path2_nopi.empty());
    EXPECT_TRUE(form->Label3->text().isEmpty());
    EXPECT_EQ(text(form->Label4), "img2.dcm");
    EXPECT_EQ(state->path2_pi, tmp.file("img2.dcm"));
    EXPECT_EQ(dialogs->messages, std::vector<std::string>{"plain.rawはdicom画像ではありません!!"});
    EXPECT_EQ(dialogs->errors, std::vector<std::string>{tmp.file("missing.dcm") + ": ファイルが見つかりません."});

    // The dialog then offers the last of them; a later command-line file replaces an earlier one.
    dialogs->open_answer.reset();
    QTest::mouseClick(form->Button2, Qt::LeftButton);
    EXPECT_EQ(dialogs->offered_names.back(), tmp.file("img2.dcm"));
    form->openImages({tmp.file("img2.dcm")});
    EXPECT_EQ(text(form->Label1), "img2.dcm");
    EXPECT_TRUE(form->isVisible());
}

TEST_F(SubmapWindow, LongFileNamesAreElidedInTheMiddleWithTheirPathAsTooltip)
{
    const std::string name = "1.2.840.113619.2.408.5282380.5220731.23348.1516669692.164_series3_echo1_<b>.dcm";
    test::write_marked_slice(tmp.file(name), test::filled(100));
    choose(form->Button1, name);
    choose(form->Button2, "img2.dcm");
    const QString shown = form->Label1->text();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("1.2.840.")) && shown.endsWith(QStringLiteral("_<b>.dcm")) &&
                shown.contains(QChar(0x2026)))
        << shown.toStdString();
    EXPECT_LE(QFontMetrics(form->Label1->font()).horizontalAdvance(shown), form->Label1->width());
    EXPECT_EQ(test::layout_faults(form.get()), std::vector<std::string>{});
    EXPECT_EQ(QTextDocumentFragment::fromHtml(form->Label1->toolTip()).toPlainText().toStdString(), tmp.file(name));
    EXPECT_EQ(text(form->Label2), "img2.dcm");  // a short name whole
    EXPECT_EQ(QTextDocumentFragment::fromHtml(form->Label2->toolTip()).toPlainText().toStdString(),
              tmp.file("img2.dcm"));

    // The elided caption still counts as a chosen file; the layout switch clears both.
    choose(form->Button3, "img1.dcm");
    choose(form->Button4, "img2.dcm");
    press_start();
    EXPECT_EQ(form->ListBox1->count(), 11);
    form->CheckBox1->setChecked(false);
    EXPECT_TRUE(form->Label1->text().isEmpty());
    EXPECT_TRUE(form->Label1->toolTip().isEmpty());
}

TEST_F(SubmapWindow, ChecksBeforeTheRun)
{
    choose(form->Button1, "img1.dcm");
    choose(form->Button2, "img2.dcm");
    choose(form->Button3, "img1.dcm");
    press_start();
    EXPECT_EQ(dialogs->messages, std::vector<std::string>{"SNR測定する画像を選択してください"});
    EXPECT_EQ(form->ListBox1->count(), 0);

    choose(form->Button4, "img2.dcm");
    form->Edit1->setText("0");
    press_start();
    EXPECT_EQ(dialogs->messages.back(), "reduction factorが不正です");
    EXPECT_EQ(form->ListBox1->count(), 0);

    form->Edit1->setText("0.0");  // zero in another form fails at the g-factor
    press_start();
    EXPECT_EQ(dialogs->errors, std::vector<std::string>{"0 による浮動小数点数除算."});
    EXPECT_EQ(form->ListBox1->count(), 11);
    EXPECT_EQ(text(form->label_window), "  ( WL,WW ) = ");
}

TEST_F(SubmapWindow, RunAndViewSelectionInTheGFactorLayout)
{
    choose_all();
    press_start();
    ASSERT_TRUE(dialogs->errors.empty()) << dialogs->errors.front();
    EXPECT_EQ(form->ListBox1->count(), 11);
    EXPECT_EQ(form->ListBox1->item(9)->text().toStdString(), "PIあり SNRmap");
    EXPECT_EQ(text(form->label_window), "  ( WL,WW ) = ( 500 , 1001 )");
    EXPECT_EQ(form->Image1->picture(), &form->displayBitmap());
    EXPECT_FALSE(legend_shown());

    select(4);
    EXPECT_EQ(text(form->Label12), "SNR");
    EXPECT_TRUE(legend_shown());
    EXPECT_EQ(text(form->label_window), "  ( WL,WW ) = ( 150 , 300 )");  // the frame's 300 is the maximum
    EXPECT_EQ(form->Label_scale[9]->text().toStdString(), "240");
    EXPECT_EQ(state->disp_image, state->snr_nopi);

    mouse(QEvent::MouseMove, 8, 10);  // column 8, row 10
    EXPECT_EQ(text(form->label_Xpos), "10");
    EXPECT_EQ(text(form->label_Ypos), "8");
    EXPECT_EQ(text(form->label_SI), "141.42");

    select(10);
    EXPECT_EQ(text(form->Label12), "g-factor");
    EXPECT_EQ(text(form->Edit_min), "0.6");
    EXPECT_EQ(text(form->Edit_dis), "0.2");
    EXPECT_EQ(text(form->label_window), "  ( WL,WW ) = ( 1.00 , 2.00 )");
    EXPECT_EQ(text(form->label_Xpos), "-----");
    EXPECT_EQ(at(state->gfactor_map, 53, 240), 60.0);
    mouse(QEvent::MouseMove, 8, 10);
    EXPECT_EQ(text(form->label_SI), "0.71");

    const double scale_min = state->legend.scale_min;
    select(0);
    EXPECT_EQ(text(form->Label12), "信号強度");
    EXPECT_FALSE(legend_shown());
    EXPECT_EQ(state->legend.scale_min, scale_min);  // untouched by a selection of its own
    EXPECT_EQ(text(form->label_window), "  ( WL,WW ) = ( 500 , 1001 )");
}

TEST_F(SubmapWindow, TheRightButtonMovesNoHighlight)
{
    choose_all();
    press_start();
    select(0);
    test::press_onto_row(form->ListBox1, Qt::RightButton, 10, 10);
    EXPECT_EQ(test::highlighted(form->ListBox1), std::vector<int>{0});
    mouse(QEvent::MouseButtonPress, 0, 0);
    mouse(QEvent::MouseMove, 0, 0);
    EXPECT_EQ(text(form->label_SI), "1001.00");  // not read in g
    EXPECT_EQ(text(form->label_window), "  ( WL,WW ) = ( 500 , 1001 )");
}

TEST_F(SubmapWindow, ADraggedPressSelectsWhereItIsReleased)
{
    choose_all();
    press_start();
    select(10);
    test::press_onto_row(form->ListBox1, Qt::LeftButton, 10, 0);
    EXPECT_EQ(test::highlighted(form->ListBox1), std::vector<int>{0});
    EXPECT_EQ(text(form->label_window), "  ( WL,WW ) = ( 500 , 1001 )");
}

TEST_F(SubmapWindow, AFailingNestedEditHandlerEndsOnlyItself)
{
    choose_all();
    press_start();
    select(10);
    state->noise_nopi.fill(0.5);  // a zero width
    select(3);
    select(4);
    EXPECT_EQ(dialogs->errors, std::vector<std::string>(3, "ゼロによる除算."));
    EXPECT_EQ(text(form->label_window), "  ( WL,WW ) = ( 150 , 300 )");
    EXPECT_EQ(state->disp_image, state->snr_nopi);
}

TEST_F(SubmapWindow, CaptionsFitTheirLabelsAsPlainText)
{
    std::filesystem::copy_file(tmp.file("img1.dcm"), tmp.file("a<b>c.dcm"));
    choose(form->Button1, "a<b>c.dcm");
    EXPECT_EQ(text(form->Label1), "a<b>c.dcm");
    choose_all();
    press_start();
    select(10);
    mouse(QEvent::MouseButtonPress, 0, 0);
    mouse(QEvent::MouseMove, -32768, -32868);
    EXPECT_EQ(text(form->label_window), "  ( WL,WW ) = ( -327.68 , 0.01 )");
    EXPECT_EQ(test::layout_faults(form.get()), std::vector<std::string>{});
}

TEST_F(SubmapWindow, LayoutSwitchForgetsTheFilesAndTheList)
{
    choose_all();
    press_start();
    select(4);
    const Plane shown = state->disp_image;

    form->CheckBox1->setChecked(false);
    EXPECT_EQ(form->Panel1->height(), 129);
    EXPECT_FALSE(form->Button3->isVisible());
    EXPECT_FALSE(form->Label4->isVisible());
    EXPECT_FALSE(form->Edit1->isVisible());
    EXPECT_EQ(text(form->Button1), "画像１");
    EXPECT_EQ(text(form->Button2), "画像２");
    for (QLabel* caption : {form->Label1, form->Label2, form->Label3, form->Label4})
        EXPECT_TRUE(caption->text().isEmpty());
    EXPECT_TRUE(state->path1_nopi.empty() && state->path2_pi.empty());
    EXPECT_EQ(form->ListBox1->count(), 0);
    EXPECT_EQ(form->ListBox1->selectedRow(), -1);
    EXPECT_EQ(text(form->label_SI), "-----");
    EXPECT_EQ(state->disp_image, shown);  // planes and picture stay
    EXPECT_TRUE(legend_shown());

    press_start();
    EXPECT_EQ(dialogs->messages, std::vector<std::string>{"SNR測定する画像を選択してください"});

    // The single layout: five items, "SNR map" at index 4 with its legend.
    choose(form->Button1, "img1.dcm");
    choose(form->Button2, "img2.dcm");
    form->Edit1->setText("not a number");  // not read without the g-factor
    press_start();
    ASSERT_TRUE(dialogs->errors.empty()) << dialogs->errors.front();
    ASSERT_EQ(form->ListBox1->count(), 5);
    EXPECT_EQ(form->ListBox1->item(4)->text().toStdString(), "SNR map");
    select(4);
    EXPECT_EQ(text(form->Label12), "SNR");
    EXPECT_EQ(state->disp_image, state->snr_nopi);

    form->CheckBox1->setChecked(true);
    EXPECT_EQ(text(form->Button1), "parallel imaging なし画像１");
    EXPECT_TRUE(form->Button4->isVisible());
    EXPECT_EQ(form->Panel1->height(), 193);
}

TEST_F(SubmapWindow, HostileChoicesEndInAResultOrTheirMessages)
{
    // A name that is no UTF-8: shown as well as it goes, read by its bytes.
    std::filesystem::copy_file(tmp.file("img2.dcm"), tmp.file("\xff\xfe.dcm"));
    choose_all();
    choose(form->Button2, "\xff\xfe.dcm");
    EXPECT_FALSE(form->Label2->text().isEmpty());
    press_start();
    ASSERT_TRUE(dialogs->errors.empty()) << dialogs->errors.front();

    ASSERT_EQ(::mkfifo(tmp.file("fifo").c_str(), 0600), 0);
    choose(form->Button3, "fifo");  // refused unopened, not waited for
    EXPECT_EQ(dialogs->messages, std::vector<std::string>{"fifoはdicom画像ではありません!!"});
    {
        test::InjectFault no_access(test::Call::Open, EACCES);
        choose(form->Button3, "img1.dcm");
    }
    EXPECT_EQ(dialogs->errors, std::vector<std::string>{"ファイルへのアクセスが拒否されました."});

    // Files that went away or changed after they were chosen.
    std::filesystem::remove(tmp.file("img2.dcm"));
    press_start();
    EXPECT_EQ(dialogs->errors.back(), "ファイルが見つかりません.");
    std::filesystem::resize_file(tmp.file("\xff\xfe.dcm"), 100);
    choose(form->Button4, "img1.dcm");
    press_start();
    EXPECT_EQ(dialogs->errors.back(), "I/O エラー (131)");
}

TEST_F(SubmapWindow, AFailedSaveKeepsTheEarlierFile)
{
    choose_all();
    press_start();
    const std::string path = tmp.file("keep.raw");
    test::write_bytes(path, {1, 2, 3});
    dialogs->save_answer = path;
    {
        test::InjectFault read_only(test::Call::Open, EROFS);
        QTest::mouseClick(form->Button7, Qt::LeftButton);
    }
    EXPECT_EQ(dialogs->errors, std::vector<std::string>{"ファイルへのアクセスが拒否されました."});
    EXPECT_EQ(test::read_bytes(path), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(SubmapWindow, RoiClampedToTheVisiblePixelsWithItsTable)
{
    choose_all();
    press_start();
    const std::string caption = text(form->label_window);
    // The control shows rows and columns 0-254 only; a drag beyond it ends at 254.
    test::shift_drag(form->Image1, {250, 250}, {300, 400});
    EXPECT_EQ(form->roiOverlay->roi(), (Roi{250, 250, 5, 5}));
    EXPECT_EQ(text(form->roiWindow->extent), "行 250–254　列 250–254　(5 × 5 画素)");
    EXPECT_EQ(text(form->label_window), caption);
    test::shift_drag(form->Image1, {8, 11}, {-20, -30});
    EXPECT_EQ(form->roiOverlay->roi(), (Roi{0, 0, 12, 9}));

    const QTableWidget* table = form->roiWindow->table;
    ASSERT_EQ(table->rowCount(), 11);
    EXPECT_EQ(table->item(9, 0)->text().toStdString(), "PIあり SNRmap");
    EXPECT_EQ(table->item(0, 1)->text().toStdString(), "108");
    EXPECT_EQ(table->item(0, 4)->text().toStdString(), "100.00");  // the peak of 1001 at (0, 0) is the max
    EXPECT_EQ(table->item(0, 5)->text().toStdString(), "1001.00");
    EXPECT_EQ(table->item(10, 0)->text().toStdString(), "g-factor map");
    EXPECT_EQ(table->item(10, 5)->text().toStdString(), "0.707");  // in g

    // The layout switch empties the list, and so the table.
    form->CheckBox1->setChecked(false);
    EXPECT_TRUE(form->roiWindow->note->isVisible());
    EXPECT_FALSE(form->roiWindow->table->isVisible());
    test::shift_click(form->Image1, {5, 5});
    EXPECT_FALSE(form->roiOverlay->roi());
    EXPECT_EQ(text(form->label_window), caption);
}

}  // namespace
}  // namespace snr

namespace snr {
namespace {

TEST_F(SubmapWindow, TheRecordOfARunNamesTheChosenFilesAndIsForgottenWithTheLayout)
{
    choose_all();
    choose(form->Button3, "plain.raw");  // refused: the slot keeps img1.dcm
    press_start();
    const auto& run = form->runMenu->lastRun();
    ASSERT_TRUE(run);
    std::vector<std::string> files;
    for (const InputFile& file : run->files)
        files.push_back(file.role + " " + file.name);
    EXPECT_EQ(files, (std::vector<std::string>{"nopi_1 img1.dcm", "nopi_2 img2.dcm", "pi_1 img1.dcm", "pi_2 img2.dcm"}));
    EXPECT_EQ(run->inputs.at(2).second, tmp.file("img1.dcm"));
    EXPECT_EQ(run->planes.size(), 11u);

    QTest::mouseClick(form->CheckBox1, Qt::LeftButton);
    EXPECT_FALSE(form->runMenu->lastRun());
    EXPECT_FALSE(form->runMenu->reportAction->isEnabled());
}

}  // namespace
}  // namespace snr
