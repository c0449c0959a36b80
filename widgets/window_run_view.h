// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "widgets/dialogs.h"
#include "window_model/run_view.h"

class QProgressBar;

namespace snr {

class ResultList;

// A run as a window shows it: refusals in a plain box, the result list refilled, and the
// progress bar where the window has one (shown at the start; the window hides it).
class WindowRunView : public RunView {
public:
    WindowRunView(Dialogs& dialogs, ResultList* list, QProgressBar* bar = nullptr);
    void refuse(const std::string& message) override;
    void begin(const std::vector<std::string>& items) override;
    void progress(int position) override;

private:
    Dialogs& dialogs_;
    ResultList* list_;
    QProgressBar* bar_;
    bool bar_drawn_ = false;
};

}  // namespace snr
