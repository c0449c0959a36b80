// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "widgets/dialogs.h"
#include "window_model/roi_report.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace snr {

// The tool window "ROI 統計" beside a main window: the ROI's rows and columns and, for each
// plane of the result list, its figures. "コピー" puts them on the clipboard as tab-separated
// text, "CSV保存" saves them as UTF-8 CSV, written as the raw export is.
class RoiWindow : public QWidget {
    Q_OBJECT

public:
    RoiWindow(QWidget* main_window, Dialogs& dialogs);

    // The figures of `rows` for `roi`; without rows, the text that there is nothing to measure yet.
    void showFigures(const Roi& roi, std::vector<RoiRow> rows);
    // No ROI: how to draw one.
    void showNoRoi();
    // Shows the window beside the main window (place_beside), unless it is open.
    void open();
    // The notices of the last run's inputs above the figures, the window opened for them;
    // none hide them.
    void showNotices(const std::vector<std::string>& texts);

    QLabel* notices;
    QLabel* extent;
    QLabel* note;
    QTableWidget* table;
    QPushButton* copyButton;
    QPushButton* saveButton;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showNote(const QString& text);
    void fitColumns();
    void copyTable();
    void saveCsv();

    QWidget* main_window_;
    Dialogs& dialogs_;
    Roi roi_;
    std::vector<RoiRow> rows_;
    std::string csv_name_ = "roi.csv";  // offered by the save dialog, then the name last chosen
};

}  // namespace snr
