// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <gtest/gtest.h>
#include <memory>
#include <string>

#include "consecutive/consective_method.h"
#include "widgets/folder_list.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/temp_folder.h"

namespace snr::test {

// snr_consecutive's window over two empty folders, nopi and pi, its dialogs replaced.
class ConsecutiveWindowFixture : public ::testing::Test {
protected:
    TempFolder tmp;
    std::string nopi = tmp.folder("nopi");
    std::string pi = tmp.folder("pi");
    std::unique_ptr<ConsecutiveState> state = std::make_unique<ConsecutiveState>();
    FakeDialogs* dialogs = nullptr;
    std::unique_ptr<TForm1> form;

    void open_window()
    {
        auto fake = std::make_unique<FakeDialogs>();
        dialogs = fake.get();
        form = std::make_unique<TForm1>(*state, std::move(fake));
        form->show();
        form->DirectoryListBox1->setDirectory(nopi);
        form->DirectoryListBox2->setDirectory(pi);
    }
};

}  // namespace snr::test
