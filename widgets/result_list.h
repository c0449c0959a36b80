// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QListWidget>
#include <string>
#include <vector>

namespace snr {

// The result list. Its highlight moves only together with a selection the program runs: a
// left button released over an item (also the selected one, also after a press elsewhere in
// the list, also with Ctrl held) or a key that moves it; either is reported as one "clicked"
// event. The right button, a press still held, and Ctrl+Space change nothing: no row is ever
// deselected.
class ResultList : public QListWidget {
    Q_OBJECT

public:
    explicit ResultList(QWidget* parent = nullptr);
    // Replaces the items; none is selected afterwards.
    void setItems(const std::vector<std::string>& items);
    // The row of the last selection, -1 when none.
    int selectedRow() const { return selected_; }
    // Selects row as a click on it would, and reports the click.
    void clickRow(int row);
    // Runs when the items are cleared: no row is selected then.
    void reset() override;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    // Puts the highlight back on the selected row.
    void showSelection();

    int selected_ = -1;
    bool left_pressed_ = false;
};

}  // namespace snr
