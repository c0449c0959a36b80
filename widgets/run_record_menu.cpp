// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/run_record_menu.h"

#include <QAction>
#include <QMenu>
#include <QSettings>
#include <QWidget>

#include "history/history_database.h"
#include "report/run_report.h"
#include "widgets/dialogs.h"
#include "widgets/guarded.h"

namespace snr {

namespace {

const QString always_record_key = QStringLiteral("history/record_every_run");

QSettings settings() { return QSettings(QStringLiteral("snr-maps"), QStringLiteral("windows")); }

}  // namespace

RunRecordMenu::RunRecordMenu(QWidget* list, Dialogs& dialogs, std::string program,
                             std::function<std::optional<Roi>()> roi)
    : QObject(list), dialogs_(dialogs), program_(std::move(program)), roi_(std::move(roi))
{
    menu = new QMenu(list);
    reportAction = menu->addAction(QStringLiteral("レポート保存…"));
    recordAction = menu->addAction(QStringLiteral("記録"));
    menu->addSeparator();
    alwaysRecordAction = menu->addAction(QStringLiteral("測定ごとに記録"));
    alwaysRecordAction->setCheckable(true);
    alwaysRecordAction->setChecked(settings().value(always_record_key, false).toBool());
    forget();

    connect(reportAction, &QAction::triggered, this, [this] { guarded(dialogs_, [this] { saveReport(); }); });
    connect(recordAction, &QAction::triggered, this, [this] { guarded(dialogs_, [this] { recordNow(); }); });
    connect(alwaysRecordAction, &QAction::toggled, this, [this](bool always) { setAlwaysRecord(always); });
    // Nothing on the designed form shows that the list has a menu.
    list->setToolTip(QStringLiteral("右クリックのメニューで、測定のレポート (PDF) を保存し、結果の履歴に記録します"));
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this,
            [this, list](const QPoint& at) { menu->popup(list->mapToGlobal(at)); });
}

void RunRecordMenu::measured(RunRecord run)
{
    run.program = program_;
    run_ = std::move(run);
    reportAction->setEnabled(true);
    recordAction->setEnabled(true);
    if (alwaysRecordAction->isChecked())
        record();
}

void RunRecordMenu::forget()
{
    run_.reset();
    reportAction->setEnabled(false);
    recordAction->setEnabled(false);
}

void RunRecordMenu::saveReport()
{
    if (!run_)
        return;
    const auto path = dialogs_.save_file(report_name_, &pdf_file);
    if (!path)
        return;
    report_name_ = *path;
    report::save_report(completed(), *path);
}

void RunRecordMenu::recordNow()
{
    if (run_)
        record();
}

void RunRecordMenu::setAlwaysRecord(bool always) { settings().setValue(always_record_key, always); }

void RunRecordMenu::record()
{
    history::record_in_history(completed());
    recordAction->setEnabled(false);  // once a run
}

RunRecord RunRecordMenu::completed() const
{
    RunRecord run = *run_;
    for (ResultPlane& plane : run.planes)
        plane.figures = summarize_result(plane, run.region);
    if (const auto roi = roi_())
        run.rois = measure_rois({*roi}, run.planes);
    return run;
}

}  // namespace snr
