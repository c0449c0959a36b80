// SPDX-License-Identifier: BSD-3-Clause
#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>

#include "consecutive/consecutive_record.h"
#include "consecutive/consective_method.h"
#include "core/large_memory.h"
#include "history/history_database.h"
#include "record/summary_json.h"
#include "widgets/folder_list.h"
#include "widgets/run_record_menu.h"
#include "tests/consecutive/consecutive_window_fixture.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/temp_folder.h"
#include "tests/support/widget_driver.h"

namespace snr {
namespace {

using test::TempFolder;

// The record's summary without what differs between two runs of the same inputs.
std::string comparable(const RunRecord& run)
{
    RunRecord copy = run;
    copy.program.clear();
    copy.time.clear();
    for (ResultPlane& plane : copy.planes)
        plane.figures = summarize_result(plane, copy.region);
    return summary_json(copy);
}

class RunRecordWindow : public test::ConsecutiveWindowFixture {
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(tmp.folder("settings")));
        ::setenv("SNR_MAPS_DB", ("sqlite:" + tmp.file("history.sqlite")).c_str(), 1);
        for (int n = 0; n < 3; ++n) {
            test::write_slice(nopi + "/s" + std::to_string(n), static_cast<std::int16_t>(100 + 2 * n));
            test::write_slice(pi + "/s" + std::to_string(n), static_cast<std::int16_t>(100 + 4 * n));
        }
        open_window();
    }
    void TearDown() override { ::unsetenv("SNR_MAPS_DB"); }

    void press_start() { QTest::mouseClick(form->Button1, Qt::LeftButton); }
    RunRecordMenu& menu() { return *form->runMenu; }
    long long recorded_runs() { return static_cast<long long>(history::open_history().runs({}).size()); }
};

TEST_F(RunRecordWindow, KeepsTheRunAsItWasMeasuredWhateverTheUserDoesAfter)
{
    EXPECT_FALSE(menu().reportAction->isEnabled());
    EXPECT_FALSE(menu().recordAction->isEnabled());
    press_start();
    ASSERT_TRUE(menu().lastRun());
    EXPECT_TRUE(menu().reportAction->isEnabled());
    EXPECT_EQ(menu().lastRun()->program, "snr_consecutive " SNR_TEST_VERSION);

    // The user shows the SNR map and types another legend, which stamps its wedge anew.
    test::click_row(form->ListBox1, 3);
    form->Edit_min->setText("10");
    form->Edit_dis->setText("5");

    // The same inputs measured afresh, as snrmap records them.
    ConsecutiveInputs inputs;
    inputs.nopi_folder = nopi;
    inputs.pi_folder = pi;
    auto fresh = make_shared_large<ConsecutiveState>();
    struct Quiet : RunView {
        void refuse(const std::string&) override { ADD_FAILURE(); }
        void begin(const std::vector<std::string>&) override {}
    } view;
    ASSERT_TRUE(run_consecutive(*fresh, inputs, view));
    EXPECT_EQ(comparable(*menu().lastRun()), comparable(consecutive_run_record(fresh, inputs)));
}

TEST_F(RunRecordWindow, ReportAndHistoryFromTheListMenu)
{
    // The list says what its menu does.
    EXPECT_NE(form->ListBox1->toolTip().toStdString().find("右クリック"), std::string::npos);
    press_start();
    const std::string pdf = tmp.file("report.pdf");
    dialogs->save_answer = pdf;
    menu().reportAction->trigger();
    EXPECT_TRUE(dialogs->errors.empty()) << dialogs->errors.front();
    EXPECT_EQ(dialogs->offered_names, std::vector<std::string>{"report.pdf"});
    EXPECT_EQ(dialogs->offered_filters, std::vector<std::string>{pdf_file.filter});
    const auto bytes = test::read_bytes(pdf);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 5), "%PDF-");

    EXPECT_EQ(recorded_runs(), 0);
    menu().recordAction->trigger();
    EXPECT_EQ(recorded_runs(), 1);
    EXPECT_FALSE(menu().recordAction->isEnabled());  // once a run

    // A refused run forgets the last one: nothing to report or record.
    form->edit_rfactor->setText("0");
    press_start();
    EXPECT_FALSE(menu().reportAction->isEnabled());
    EXPECT_FALSE(menu().recordAction->isEnabled());

    // A history that cannot be written is named in the error box; the run stays on display.
    ::setenv("SNR_MAPS_DB", ("sqlite:" + pdf).c_str(), 1);
    form->edit_rfactor->setText("2");
    press_start();
    menu().recordAction->trigger();
    ASSERT_EQ(dialogs->errors.size(), 1u);
    EXPECT_NE(dialogs->errors[0].find(pdf), std::string::npos) << dialogs->errors[0];
    EXPECT_EQ(dialogs->errors[0].rfind("履歴データベース sqlite:" + pdf + " に記録できません (", 0), 0u)
        << dialogs->errors[0];
    EXPECT_TRUE(menu().recordAction->isEnabled());
}

TEST_F(RunRecordWindow, RecordsEveryRunWhenAskedAndRemembersIt)
{
    menu().alwaysRecordAction->setChecked(true);
    press_start();
    press_start();
    EXPECT_EQ(recorded_runs(), 2);

    form.reset();
    open_window();  // the next session
    EXPECT_TRUE(menu().alwaysRecordAction->isChecked());
    menu().alwaysRecordAction->setChecked(false);
    press_start();
    EXPECT_EQ(recorded_runs(), 2);
}

}  // namespace
}  // namespace snr
