// SPDX-License-Identifier: BSD-3-Clause
#include <QAbstractItemView>
#include <QApplication>
#include <QTableWidget>
#include <gtest/gtest.h>

#include "tests/support/fake_dialogs.h"
#include "widgets/roi_window.h"

namespace snr {
namespace {

// Beside a wide main window "ROI 統計" may open narrow; its figures must not be cut.
TEST(RoiWindow, EveryFigureWholeAtAnyWidth)
{
    QWidget main;
    test::FakeDialogs dialogs;
    RoiWindow window(&main, dialogs);
    const RoiStats wide{65536, 1074.654321, 30512.5, 0.25, 123456.75};
    window.showFigures(Roi{0, 0, 256, 256}, {{"PIなし 信号値画像", ItemKind::Other, wide},
                                             {"PIなし SNR map", ItemKind::SnrMap, wide},
                                             {"g-factor map", ItemKind::GFactor, RoiStats{3, 1.5, 0.25, 1.25, 1.75}}});
    window.show();
    for (const int width : {412, 260, 500, 900}) {
        window.resize(width, 320);
        QApplication::processEvents();
        for (int column = 0; column < window.table->columnCount(); ++column) {
            EXPECT_GE(window.table->columnWidth(column),
                      static_cast<QAbstractItemView*>(window.table)->sizeHintForColumn(column))
                << "width " << width << ", column " << column;
        }
    }
}

}  // namespace
}  // namespace snr
