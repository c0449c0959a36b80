#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "core/qt/result_list.h"
#include "tests/support/widget_driver.h"

namespace snr {
namespace {

class ResultListTest : public ::testing::Test {
protected:
    ResultList list;
    QSignalSpy clicks{&list, &ResultList::clicked};

    void SetUp() override
    {
        list.setItems({"a", "b", "c"});
        list.show();
    }
};

TEST_F(ResultListTest, ARefillOrClearForgetsTheSelection)
{
    list.clickRow(1);
    EXPECT_EQ(list.selectedRow(), 1);
    list.setItems({"a", "b", "c"});
    EXPECT_EQ(list.selectedRow(), -1);
    EXPECT_TRUE(test::highlighted(&list).empty());
    list.clickRow(2);
    list.clear();
    EXPECT_EQ(list.selectedRow(), -1);
}

TEST_F(ResultListTest, FocusSelectsNothingAndAKeyRunsTheSelection)
{
    list.setFocus(Qt::TabFocusReason);
    QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(&list, &focus);
    EXPECT_EQ(list.selectedRow(), -1);
    EXPECT_TRUE(test::highlighted(&list).empty());
    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(list.selectedRow(), 0);
    EXPECT_EQ(test::highlighted(&list), std::vector<int>{0});
    EXPECT_EQ(clicks.count(), 1);

    // A click on the selected row runs the selection again; a release off the items does not.
    test::press_onto_row(&list, Qt::LeftButton, 0, 0);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(5, list.viewport()->height() - 2));
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_EQ(list.selectedRow(), 0);
}

}  // namespace
}  // namespace snr
