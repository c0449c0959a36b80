// SPDX-License-Identifier: BSD-3-Clause
#include "consecutive/consective_method.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "consecutive/consecutive_items.h"
#include "consecutive/consecutive_record.h"
#include "core/large_memory.h"
#include "widgets/folder_list.h"
#include "widgets/form_widgets.h"
#include "widgets/result_list.h"
#include "widgets/run_record_menu.h"
#include "widgets/window_run_view.h"

namespace snr {

namespace {

const ViewerForm::Design design{"snr_consecutive", QStringLiteral("Quorix 連続撮像法"), {267, 193, 817, 387},
                                QStringLiteral("(consecutive method)"), consecutive_caption_prefix};

}  // namespace

TForm1::TForm1(ConsecutiveState& state, std::unique_ptr<Dialogs> dialogs)
    : ViewerForm(state, consecutive_item_table(), std::move(dialogs), design), state_(state)
{
    createControls();
    FormCreate();
}

void TForm1::createControls()
{
    using namespace form;
    const LabelStyle caption_on_teal{.font_px = 15, .text = Qt::white, .background = colour::teal};
    const LabelStyle white_fixed_13{.font_px = 13, .text = Qt::white, .fixed_size = true};

    Panel1 = panel(this, "Panel1", {8, 8, 361, 337}, colour::money_green);
    Label1 = label(Panel1, "Label1", {32, 16, 124, 15}, QStringLiteral("parallel imaging なし"), caption_on_teal);
    Label2 = label(Panel1, "Label2", {208, 16, 124, 15}, QStringLiteral("parallel imaging あり"), caption_on_teal);
    DirectoryListBox1 = new FolderList(Panel1);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->setGeometry(8, 32, 169, 201);
    DirectoryListBox2 = new FolderList(Panel1);
    DirectoryListBox2->setObjectName(QStringLiteral("DirectoryListBox2"));
    DirectoryListBox2->setGeometry(184, 32, 169, 201);
    Button1 = makeButton(Panel1, "Button1", {264, 248, 81, 49}, QStringLiteral("処理開始"),
                         guardedRunSlot(&TForm1::Button1Click));
    makeCheckBox(Panel1, {8, 264, 73, 25}, QStringLiteral("g-factor"), guardedSlot(&TForm1::CheckBox1Click));
    GroupBox1 = group(Panel1, "GroupBox1", {88, 256, 137, 33});
    Label7 = label(GroupBox1, "Label7", {10, 13, 71, 12}, QStringLiteral("reduction rate"), grey_caption);
    edit_rfactor = edit(GroupBox1, "edit_rfactor", {88, 9, 41, 20}, q(RunSettings{}.r_text));
    ProgressBar1 = new QProgressBar(Panel1);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(8, 312, 345, 17);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setVisible(false);

    Panel2 = panel(this, "Panel2", {376, 8, 425, 337}, colour::sky_blue);
    makeResultList(Panel2, {8, 24, 113, 129});
    makeImage(Panel2, {128, 8, 256, 256});
    std::tie(Label5, Label3, Label4) =
        makeLegendGroup(Panel2, {6, 168}, QStringLiteral("スケール設定"), 64, {"Label5", "Label3", "Label4"});
    Panel4 = makeLegendPanel(Panel2, "Panel4", {388, 57});
    Panel5 = panel(Panel2, "Panel5", {176, 268, 169, 40}, colour::teal, false);
    label_pos = label(Panel5, "label_pos", {10, 4, 151, 13}, QStringLiteral("  (X,Y) = (--,--)"), white_fixed_13);
    label_SI = label(Panel5, "label_SI", {10, 22, 151, 13}, QStringLiteral("  信号強度 = "), white_fixed_13);
    setReadoutTitleLabel(label_SI);
    Panel3 = panel(Panel2, "Panel3", {176, 310, 169, 20}, colour::teal, false);
    makeWindowCaption(Panel3, {10, 4, 151, 13}, 13);
    Panel6 = panel(Panel2, "Panel6", {8, 240, 111, 87}, colour::medium_grey);
    Button3 = makeButton(Panel6, "Button3", {8, 8, 97, 33}, QStringLiteral("表示画像保存"),
                         guardedSlot(&TForm1::Button3Click));
    Button2 = makeButton(Panel6, "Button2", {8, 48, 97, 33}, QStringLiteral("終了"),
                         guardedSlot(&TForm1::Button2Click));
}

void TForm1::FormCreate() { createDisplayBitmap(); }

void TForm1::Button1Click()
{
    ConsecutiveInputs inputs;
    inputs.legend = legendTexts();
    inputs.r_text = edit_rfactor->text().toStdString();
    inputs.gfactor = CheckBox1->isChecked();
    inputs.nopi_folder = DirectoryListBox1->directory();
    inputs.pi_folder = DirectoryListBox2->directory();
    std::vector<std::string> notices;
    WindowRunView view(*dialogs_, ListBox1, ProgressBar1, [&](const auto& texts) {
        notices = texts;
        showNotices(texts);
    });
    runMenu->forget();
    const bool measured = run_consecutive(state_, inputs, view);
    if (measured) {
        set_window_caption(computation_caption(state_.window.wl, state_.window.ww));
        render_display();
    }
    ProgressBar1->setVisible(false);
    if (measured) {
        RunRecord run = consecutive_run_record(make_shared_large<ConsecutiveState>(state_), inputs);
        run.notices = std::move(notices);
        runMenu->measured(std::move(run));
    }
}

void TForm1::CheckBox1Click()
{
    const bool checked = CheckBox1->isChecked();
    form::set_text(Label1, checked ? QStringLiteral("parallel imaging なし") : QStringLiteral("画像フォルダ"));
    Label2->setVisible(checked);
    DirectoryListBox2->setVisible(checked);
    GroupBox1->setVisible(checked);
    Label1->move(checked ? 32 : 50, Label1->y());
    edit_rfactor->setVisible(checked);
    Label7->setVisible(checked);
    Panel1->resize(checked ? 361 : 185, Panel1->height());
    Button1->move(checked ? 264 : 83, Button1->y());
    ProgressBar1->resize(checked ? 345 : 169, ProgressBar1->height());
    Panel2->move(checked ? 376 : 200, Panel2->y());
    setOuterWidth(checked ? 842 : 664);
}

void TForm1::ListBox1Click()
{
    const int index = ListBox1->selectedRow();
    presetLegendEdits(select_consecutive_item(state_, index, *this));
    show_consecutive_item(state_, index, *this);
}

void TForm1::showReadout(int x, int y, double value, ItemKind kind)
{
    form::set_text(label_pos, q("( X,Y ) = ( " + std::to_string(y) + " , " + std::to_string(x) + " )"));
    const char* title = kind == ItemKind::SnrMap ? "SNR = " : kind == ItemKind::GFactor ? "g-factor = " : "信号強度 = ";
    form::set_text(label_SI, q(title + readout_number(value, kind)));
}

void TForm1::openFolders(const std::vector<std::string>& folders)
{
    FolderList* lists[] = {DirectoryListBox1, DirectoryListBox2};
    for (std::size_t i = 0; i < folders.size() && i < std::size(lists); ++i)
        guarded_path(*dialogs_, folders[i], [&] { lists[i]->openFolder(folders[i]); });
}

void TForm1::Button2Click() { close(); }

void TForm1::Button3Click() { saveDisplay(); }

}  // namespace snr
