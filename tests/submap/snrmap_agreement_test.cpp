// SPDX-License-Identifier: BSD-3-Clause
// snrmap's pictures and legend against what snr_submap shows for the same item once the same
// legend is typed into its edits.
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <sstream>

#include "core/legend.h"
#include "submap/sub_map.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/temp_folder.h"
#include "tests/support/widget_driver.h"
#include "tests/tools/tool_files.h"
#include "tools/snrmap/snrmap_main.h"

namespace snr {
namespace {

class SnrmapAgreesWithTheWindow : public ::testing::Test {
protected:
    std::unique_ptr<SubmapState> state = std::make_unique<SubmapState>();
    test::FakeDialogs* dialogs = nullptr;
    std::unique_ptr<TForm1> form;
    test::TempFolder tmp;
    std::string out = tmp.file("out");
    std::vector<std::string> images;

    void SetUp() override
    {
        auto fake = std::make_unique<test::FakeDialogs>();
        dialogs = fake.get();
        form = std::make_unique<TForm1>(*state, std::move(fake));
        form->show();
        // Two pairs whose difference gives every centre a noise; the SNR stays far below the
        // frame's 300.
        for (int k = 0; k < 4; ++k) {
            StoredPixels pixels = test::filled(static_cast<std::int16_t>(100 + 10 * (k / 2)));
            for (std::size_t p = k % 2; p < pixels.size(); p += 2)
                pixels[p] = static_cast<std::int16_t>(pixels[p] + 3 + k);
            images.push_back(tmp.file("img" + std::to_string(k) + ".dcm"));
            test::write_marked_slice(images.back(), pixels);
        }
    }

    static void type(QLineEdit* edit, const std::string& text)
    {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, QString::fromStdString(text));
    }

    // The picture on screen equals snrmap's NAME.png pixel by pixel, the plane its NAME.npy.
    void expect_same_picture(const std::string& name)
    {
        const QImage png(QString::fromStdString(out + "/" + name + ".png"));
        ASSERT_EQ(png.size(), form->displayBitmap().size());
        int differing = 0;
        for (int row = 0; row < png.height(); ++row) {
            for (int column = 0; column < png.width(); ++column)
                differing += test::png_grey(png, row, column) != form->displayBitmap().pixelColor(column, row).red();
        }
        EXPECT_EQ(differing, 0) << name;
        EXPECT_EQ(state->disp_image, test::read_npy_plane(out + "/" + name + ".npy")) << name;
    }
};

TEST_F(SnrmapAgreesWithTheWindow, ForTheSameItemAndLegendTexts)
{
    // A legend whose top band (40 + 10 x 40 = 440) lies above the frame: the automatic window
    // of an SNR map is the one its selection sets, before the legend is typed.
    std::ostringstream o, e;
    ASSERT_EQ(snrmap::run_snrmap({"submap", images[0], images[1], images[2], images[3], "--out", out, "--scale-min",
                                  "40", "--scale-step", "40"},
                                 o, e, false),
              0)
        << e.str();
    const auto bytes = test::read_bytes(out + "/summary.json");
    const std::string summary(bytes.begin(), bytes.end());
    EXPECT_NE(summary.find("\"scale_min\": 40,"), std::string::npos) << summary;
    EXPECT_NE(summary.find("\"scale_step\": 40,"), std::string::npos) << summary;

    form->openImages(images);
    type(form->Edit_min, "40");
    type(form->Edit_dis, "40");
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    ASSERT_TRUE(dialogs->errors.empty()) << dialogs->errors.front();

    test::click_row(form->ListBox1, 4);
    type(form->Edit_min, "40");
    type(form->Edit_dis, "40");
    EXPECT_EQ(test::text(form->label_window), "  ( WL,WW ) = ( 150 , 300 )");
    EXPECT_EQ(state->legend, (LegendSettings{40, 40}));
    EXPECT_EQ(test::text(form->Label_scale[9]), "400");
    expect_same_picture("snr_nopi");

    // The g-factor map: its legend in g is the settings / 100.
    test::click_row(form->ListBox1, 10);
    type(form->Edit_min, "0.4");
    type(form->Edit_dis, "0.4");
    EXPECT_EQ(state->legend, (LegendSettings{40, 40}));
    EXPECT_EQ(test::text(form->Label_scale[9]), "4.00");
    expect_same_picture("gfactor_map");

    // An item without a legend as selected.
    test::click_row(form->ListBox1, 7);
    expect_same_picture("signal_pi");
    EXPECT_TRUE(dialogs->errors.empty()) << dialogs->errors.front();
}

}  // namespace
}  // namespace snr
