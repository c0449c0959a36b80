// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <exception>
#include <string>

#include "core/errors.h"
#include "history/history_error.h"
#include "widgets/dialogs.h"

namespace snr {

// The outermost handler of every user event: a failure ends the event and is shown in the
// error box; nothing is rolled back. No exception leaves through a Qt frame.
template <class Handler>
void guarded(Dialogs& dialogs, Handler&& handler)
{
    try {
        handler();
    } catch (const history::HistoryError& error) {
        dialogs.error(error_box_text(error.window_text()));
    } catch (const Error& error) {
        dialogs.error(error_box_text(error.what()));
    } catch (const std::exception& error) {
        dialogs.error(error_box_text(error.what()));
    }
}

// The outermost handler of a path named outside the window (on the command line), where the
// user cannot tell from the message alone which path failed: as guarded, with the path as
// given before the message ("PATH: message").
template <class Handler>
void guarded_path(Dialogs& dialogs, const std::string& path, Handler&& handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        dialogs.error(error_box_text(path + ": " + error.what()));
    }
}

}  // namespace snr
