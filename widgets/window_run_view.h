// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <functional>

#include "widgets/dialogs.h"
#include "run/run_view.h"

class QProgressBar;

namespace snr {

class ResultList;

// Where a window shows the notices of a run's inputs (none: clears them).
using ShowNotices = std::function<void(const std::vector<std::string>&)>;

// A run as a window shows it: refusals in a plain box, the result list refilled, the progress
// bar where the window has one (shown at the start; the window hides it), and the notices of
// its inputs where nothing is blocked (a run that begins clears the last run's).
class WindowRunView : public RunView {
public:
    WindowRunView(Dialogs& dialogs, ResultList* list, QProgressBar* bar = nullptr, ShowNotices show_notices = {});
    void refuse(const std::string& message) override;
    void begin(const std::vector<std::string>& items) override;
    void progress(int position) override;
    void notices(const std::vector<std::string>& texts) override;

private:
    Dialogs& dialogs_;
    ResultList* list_;
    QProgressBar* bar_;
    ShowNotices show_notices_;
    bool bar_drawn_ = false;
};

}  // namespace snr
