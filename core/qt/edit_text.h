#pragma once

#include <QLineEdit>
#include <QString>

namespace snr {

// Sets an edit's text as the program; when the text differs, runs its change handler before
// returning, so the handler's failures travel through plain C++ to the outermost handler.
// User typing reaches the same handler through QLineEdit::textEdited.
template <class ChangeHandler>
void set_edit_text(QLineEdit* edit, const QString& text, ChangeHandler&& on_change)
{
    if (edit->text() == text)
        return;
    edit->setText(text);
    on_change();
}

}  // namespace snr
