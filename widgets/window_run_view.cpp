// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/window_run_view.h"

#include <QProgressBar>
#include <utility>

#include "widgets/result_list.h"

namespace snr {

WindowRunView::WindowRunView(Dialogs& dialogs, ResultList* list, QProgressBar* bar, ShowNotices show_notices)
    : dialogs_(dialogs), list_(list), bar_(bar), show_notices_(std::move(show_notices))
{
}

void WindowRunView::refuse(const std::string& message) { dialogs_.message(message); }

void WindowRunView::begin(const std::vector<std::string>& items)
{
    notices({});
    if (bar_ != nullptr)
        bar_->setVisible(true);
    list_->setItems(items);
    // The run handles no events until it ends: the new items are laid out and painted now.
    list_->doItemsLayout();
    list_->viewport()->repaint();
}

void WindowRunView::progress(int position)
{
    // The run handles no events until it ends, so the bar is drawn here: once when it shows,
    // then when its position changes (some hundred slices share a hundred positions).
    if (bar_ == nullptr || (bar_drawn_ && bar_->value() == position))
        return;
    bar_->setValue(position);
    bar_->repaint();
    bar_drawn_ = true;
}

void WindowRunView::notices(const std::vector<std::string>& texts)
{
    if (show_notices_)
        show_notices_(texts);
}

}  // namespace snr
