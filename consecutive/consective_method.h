// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "consecutive/consecutive_run.h"
#include "widgets/viewer_form.h"

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace snr {

class FolderList;

// The main window of snr_consecutive. Controls and handlers keep their designer names.
class TForm1 : public ViewerForm {
    Q_OBJECT

public:
    // The window works on `state`, which outlives it. Without `dialogs` it shows real ones.
    explicit TForm1(ConsecutiveState& state, std::unique_ptr<Dialogs> dialogs = nullptr);

    void FormCreate();
    void Button1Click();
    void CheckBox1Click();
    void ListBox1Click() override;
    void Button2Click();
    void Button3Click();
    // The folders named on the command line: the no-PI list's, then the PI list's. A folder that
    // cannot be opened is named in the error box.
    void openFolders(const std::vector<std::string>& folders);

    QFrame* Panel1;
    QLabel* Label1;
    QLabel* Label2;
    FolderList* DirectoryListBox1;
    FolderList* DirectoryListBox2;
    QPushButton* Button1;
    QGroupBox* GroupBox1;
    QLabel* Label7;
    QLineEdit* edit_rfactor;
    QProgressBar* ProgressBar1;
    QFrame* Panel2;
    QLabel* Label5;
    QLabel* Label3;
    QLabel* Label4;
    QFrame* Panel4;
    QFrame* Panel5;
    QLabel* label_pos;
    QLabel* label_SI;
    QFrame* Panel3;
    QFrame* Panel6;
    QPushButton* Button3;
    QPushButton* Button2;

protected:
    void showReadout(int x, int y, double value, ItemKind kind) override;

private:
    void createControls();

    ConsecutiveState& state_;
};

}  // namespace snr
