// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include "widgets/beside_placement.h"

namespace snr {
namespace {

const QRect screen(0, 0, 1280, 800);
const QSize tool(500, 320);

TEST(BesidePlacement, RightElseLeftElseBelowLevelWithTheMainWindow)
{
    EXPECT_EQ(place_beside({100, 100, 400, 300}, tool, screen), QRect(508, 100, 500, 320));
    EXPECT_EQ(place_beside({700, 100, 400, 300}, tool, screen), QRect(192, 100, 500, 320));
    EXPECT_EQ(place_beside({100, 600, 400, 150}, tool, screen), QRect(508, 480, 500, 320));  // kept on screen
    EXPECT_EQ(place_beside({300, 50, 700, 300}, tool, screen), QRect(300, 358, 500, 320));
    EXPECT_EQ(place_beside({300, 450, 700, 300}, tool, screen), QRect(300, 122, 500, 320));
}

TEST(BesidePlacement, WithoutRoomForAllOfItOnTheSideWhereMostFitsMadeSmaller)
{
    // snr_consecutive and snr_submap at their designed places on a 1280 x 800 screen.
    EXPECT_EQ(place_beside({267, 193, 817, 387}, tool, screen), QRect(267, 588, 500, 212));
    EXPECT_EQ(place_beside({453, 245, 474, 580}, tool, screen), QRect(0, 245, 445, 320));
    // A main window that fills the screen leaves no side: the tool is only kept on it.
    EXPECT_EQ(place_beside(screen, tool, screen), QRect(780, 0, 500, 320));
}

TEST(BesidePlacement, NeverOverTheMainWindowAndAlwaysOnTheScreen)
{
    const QRect free(0, 24, 1024, 744);  // a panel above
    for (int x = -100; x < 1100; x += 37) {
        for (int y = -40; y < 760; y += 29) {
            const QRect main(x, y, 474, 387);
            const QRect place = place_beside(main, tool, free);
            ASSERT_TRUE(free.contains(place)) << x << "," << y << " " << place.x() << "," << place.y() << " "
                                              << place.width() << "x" << place.height();
            ASSERT_FALSE(place.intersects(main)) << x << "," << y;
            ASSERT_GE(place.width(), 240);
            ASSERT_GE(place.height(), 160);
        }
    }
}

}  // namespace
}  // namespace snr
