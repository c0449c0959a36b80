// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "widgets/viewer_form.h"
#include "core/slice_file.h"
#include "submap/submap_run.h"

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;

namespace snr {

// The main window of snr_submap. Controls and handlers keep their designer names.
class TForm1 : public ViewerForm {
    Q_OBJECT

public:
    // The window works on `state`, which outlives it. Without `dialogs` it shows real ones.
    explicit TForm1(SubmapState& state, std::unique_ptr<Dialogs> dialogs = nullptr);

    void FormCreate();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void CheckBox1Click();
    void ListBox1Click() override;
    void Button6Click();
    void Button7Click();
    // The files named on the command line fill the selectors in order, as if chosen there.
    void openImages(const std::vector<std::string>& files);

    QFrame* Panel1;
    QPushButton* Button1;
    QLabel* Label1;
    QPushButton* Button2;
    QLabel* Label2;
    QGroupBox* GroupBox1;
    QLabel* Label9;
    QLineEdit* Edit1;
    QPushButton* Button5;
    QPushButton* Button3;
    QLabel* Label3;
    QPushButton* Button4;
    QLabel* Label4;
    QFrame* Panel3;
    QFrame* Panel6;
    QFrame* Panel5;
    QLabel* Label10;
    QLabel* Label11;
    QLabel* Label12;
    QLabel* ten1;
    QLabel* ten2;
    QLabel* ten3;
    QLabel* label_Xpos;
    QLabel* label_Ypos;
    QLabel* label_SI;
    QFrame* Panel2;
    QLabel* Label7;
    QLabel* Label5;
    QLabel* Label6;
    QFrame* Panel4;
    QPushButton* Button7;
    QPushButton* Button6;

protected:
    void showReadout(int x, int y, double value, ItemKind kind) override;
    void clear_readout() override;

private:
    void createControls();
    // Chooses the file of selector `slot` (0 to 3) in the file-open dialog.
    void selectImage(int slot);
    // The file chosen for a selector: remembered for the dialog, taken only with the DICM marker.
    void takeImage(int slot, const std::string& chosen);

    SubmapState& state_;
    // How the selectors' checks read their files, for the record of a run.
    std::array<SliceSource, 4> sources_;
    std::string open_dialog_name_;  // the name last chosen in the file-open dialog
};

}  // namespace snr
