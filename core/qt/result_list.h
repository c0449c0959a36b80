#pragma once

#include <QListWidget>
#include <string>
#include <vector>

namespace snr {

// The result list: reports a click on an item (also on the selected one) and a selection
// moved with the keyboard as one "clicked" event.
class ResultList : public QListWidget {
    Q_OBJECT

public:
    explicit ResultList(QWidget* parent = nullptr);
    // Replaces the items; none is selected afterwards.
    void setItems(const std::vector<std::string>& items);
    // Selects row as a click on it would, and reports the click.
    void clickRow(int row);

signals:
    void clicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace snr
