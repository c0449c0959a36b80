// SPDX-License-Identifier: BSD-3-Clause
#include <QApplication>
#include <gtest/gtest.h>

#include "widgets/form_widgets.h"

// Widget tests run offscreen with one application object.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    snr::form::install_font_substitution();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
