// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QObject>
#include <functional>
#include <optional>
#include <string>

#include "core/roi_stats.h"
#include "record/run_record.h"

class QAction;
class QMenu;
class QWidget;

namespace snr {

class Dialogs;

// What a window does with the record of its last run, from the result list's context menu:
// "レポート保存…" writes the run's PDF report; "記録" records it in the user's history now;
// "測定ごとに記録" (remembered between sessions) records every run that succeeds. Without a
// run to show, the first two are disabled.
class RunRecordMenu : public QObject {
    Q_OBJECT

public:
    // The menu opens over `list`; `roi` gives the window's region of interest when asked.
    RunRecordMenu(QWidget* list, Dialogs& dialogs, std::string program, std::function<std::optional<Roi>()> roi);

    // A run succeeded: its record, kept until the next run starts. With "測定ごとに記録" it is
    // recorded at once; a failure there raises (the history's error names the database).
    void measured(RunRecord run);
    // A run starts, or the window forgets its results: nothing to report or record.
    void forget();

    // The handlers of the three actions (each as the outermost handler of its event).
    void saveReport();
    void recordNow();
    void setAlwaysRecord(bool always);

    const std::optional<RunRecord>& lastRun() const { return run_; }

    QMenu* menu = nullptr;
    QAction* reportAction = nullptr;
    QAction* recordAction = nullptr;
    QAction* alwaysRecordAction = nullptr;

private:
    // The record as the report and the history take it: the planes' figures and the window's
    // region of interest added.
    RunRecord completed() const;
    void record();

    Dialogs& dialogs_;
    std::string program_;
    std::function<std::optional<Roi>()> roi_;
    std::optional<RunRecord> run_;
    std::string report_name_ = "report.pdf";  // offered by the save dialog, then the name last chosen
};

}  // namespace snr
