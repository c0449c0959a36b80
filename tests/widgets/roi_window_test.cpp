// SPDX-License-Identifier: BSD-3-Clause
#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QTableWidget>
#include <algorithm>
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
    for (const int width : {412, 260, 500, 900, 300}) {
        window.resize(width, 320);
        QApplication::processEvents();
        // Each column holds its texts; the columns fill the table, or need the room they take.
        int needed = 0, taken = 0;
        for (int column = 0; column < window.table->columnCount(); ++column) {
            const int hint = static_cast<QAbstractItemView*>(window.table)->sizeHintForColumn(column);
            EXPECT_GE(window.table->columnWidth(column), hint) << "width " << width << ", column " << column;
            needed += std::max(hint, window.table->horizontalHeader()->sectionSizeHint(column));
            taken += window.table->columnWidth(column);
        }
        EXPECT_EQ(taken, std::max(needed, window.table->viewport()->width())) << "width " << width;
    }
}

}  // namespace
}  // namespace snr
