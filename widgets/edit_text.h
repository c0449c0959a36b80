// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QLineEdit>
#include <QString>

#include "widgets/guarded.h"

namespace snr {

// Sets an edit's text as the program; when the text differs, runs its change handler before
// returning. The handler runs nested as a handler of its own: this call is its outermost
// frame, so a failure shows its box and ends that handler alone, and the caller goes on.
// User typing reaches the same handler through QLineEdit::textEdited.
template <class ChangeHandler>
void set_edit_text(QLineEdit* edit, const QString& text, Dialogs& dialogs, ChangeHandler&& on_change)
{
    if (edit->text() == text)
        return;
    edit->setText(text);
    guarded(dialogs, on_change);
}

}  // namespace snr
