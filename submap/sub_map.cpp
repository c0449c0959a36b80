// SPDX-License-Identifier: BSD-3-Clause
#include "submap/sub_map.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <utility>

#include "core/path.h"
#include "widgets/form_widgets.h"
#include "widgets/result_list.h"
#include "widgets/window_run_view.h"
#include "submap/marker_scan.h"
#include "submap/submap_items.h"
#include "submap/submap_record.h"
#include "core/large_memory.h"
#include "widgets/run_record_menu.h"

namespace snr {

namespace {

const ViewerForm::Design design{"snr_submap", QStringLiteral("Quorix 差分マップ法"), {453, 245, 474, 580},
                                QStringLiteral("(difference map method)"), submap_caption_prefix};
const QString no_readout = QStringLiteral("-----");

std::string s(const QString& text) { return text.toStdString(); }

}  // namespace

TForm1::TForm1(SubmapState& state, std::unique_ptr<Dialogs> dialogs)
    : ViewerForm(state, submap_item_table(), std::move(dialogs), design), state_(state)
{
    createControls();
    FormCreate();
}

void TForm1::createControls()
{
    using namespace form;
    const LabelStyle file_caption{.font_px = 15, .background = palette().color(QPalette::ToolTipBase),
                                  .fixed_size = true};
    const LabelStyle white_13{.font_px = 13, .text = Qt::white};
    const LabelStyle white_centred_13{.font_px = 13, .text = Qt::white, .fixed_size = true, .centred = true};

    Panel1 = panel(this, "Panel1", {8, 8, 450, 193}, colour::money_green);
    Button1 = makeButton(Panel1, "Button1", {12, 8, 153, 25}, QStringLiteral("parallel imaging なし画像１"),
                         guardedSlot(&TForm1::Button1Click));
    Label1 = label(Panel1, "Label1", {176, 8, 265, 25}, QString(), file_caption);
    Button2 = makeButton(Panel1, "Button2", {12, 40, 153, 25}, QStringLiteral("parallel imaging なし画像２"),
                         guardedSlot(&TForm1::Button2Click));
    Label2 = label(Panel1, "Label2", {176, 40, 265, 25}, QString(), file_caption);
    makeCheckBox(Panel1, {24, 85, 89, 25}, QStringLiteral("g-factor map"), guardedSlot(&TForm1::CheckBox1Click));
    QPalette grey_text = CheckBox1->palette();
    grey_text.setColor(QPalette::WindowText, colour::grey);
    CheckBox1->setPalette(grey_text);
    condense_to_fit(CheckBox1);
    GroupBox1 = group(Panel1, "GroupBox1", {120, 78, 153, 33});
    Label9 = label(GroupBox1, "Label9", {10, 13, 71, 12}, QStringLiteral("reduction rate"), grey_caption);
    Edit1 = edit(GroupBox1, "Edit1", {88, 9, 57, 20}, q(RunSettings{}.r_text));
    Button5 = makeButton(Panel1, "Button5", {344, 77, 81, 41}, QStringLiteral("処理開始"),
                         guardedRunSlot(&TForm1::Button5Click));
    Button3 = makeButton(Panel1, "Button3", {12, 128, 153, 25}, QStringLiteral("parallel imaging あり画像１"),
                         guardedSlot(&TForm1::Button3Click));
    Label3 = label(Panel1, "Label3", {176, 128, 265, 25}, QString(), file_caption);
    Button4 = makeButton(Panel1, "Button4", {12, 160, 153, 25}, QStringLiteral("parallel imaging あり画像２"),
                         guardedSlot(&TForm1::Button4Click));
    Label4 = label(Panel1, "Label4", {176, 160, 265, 25}, QString(), file_caption);

    Panel3 = panel(this, "Panel3", {8, 208, 450, 337}, colour::sky_blue, false);
    makeImage(Panel3, {8, 10, 255, 255});
    Panel6 = makeLegendPanel(Panel3, "Panel6", {265, 58});
    Panel5 = panel(Panel3, "Panel5", {300, 8, 147, 69}, colour::teal, false);
    Label10 = label(Panel5, "Label10", {24, 8, 8, 13}, QStringLiteral("X"), white_13);
    Label11 = label(Panel5, "Label11", {24, 28, 8, 13}, QStringLiteral("Y"), white_13);
    Label12 = label(Panel5, "Label12", {5, 48, 52, 13}, QStringLiteral("信号強度"), white_centred_13);
    ten1 = label(Panel5, "ten1", {63, 6, 4, 16}, QStringLiteral(":"), {.font_px = 16, .text = Qt::white, .bold = true});
    ten2 = label(Panel5, "ten2", {63, 24, 5, 19}, QStringLiteral(":"), {.font_px = 19, .text = Qt::white, .bold = true});
    ten3 = label(Panel5, "ten3", {63, 44, 5, 19}, QStringLiteral(":"), {.font_px = 19, .text = Qt::white, .bold = true});
    label_Xpos = label(Panel5, "label_Xpos", {75, 8, 57, 15}, no_readout, white_centred_13);
    label_Ypos = label(Panel5, "label_Ypos", {75, 28, 57, 15}, no_readout, white_centred_13);
    label_SI = label(Panel5, "label_SI", {75, 48, 57, 15}, no_readout, white_centred_13);
    setReadoutTitleLabel(Label12);
    Panel2 = panel(Panel3, "Panel2", {300, 80, 147, 25}, colour::teal, false);
    makeWindowCaption(Panel2, {-3, 6, 151, 13}, 12);
    makeResultList(Panel3, {300, 116, 147, 213});
    std::tie(Label7, Label5, Label6) =
        makeLegendGroup(Panel3, {182, 267}, QStringLiteral(" スケール設定"), 67, {"Label7", "Label5", "Label6"});
    Panel4 = panel(Panel3, "Panel4", {4, 275, 165, 57}, colour::medium_grey);
    Button7 = makeButton(Panel4, "Button7", {8, 8, 89, 41}, QStringLiteral("表示画像を保存"),
                         guardedSlot(&TForm1::Button7Click));
    Button6 = makeButton(Panel4, "Button6", {104, 8, 57, 41}, QStringLiteral("終了"),
                         guardedSlot(&TForm1::Button6Click));
}

void TForm1::FormCreate()
{
    createDisplayBitmap();
    state_.window.ww = 1;
    state_.window.wl = 1;
}

void TForm1::selectImage(int slot)
{
    if (const auto chosen = dialogs_->open_file(open_dialog_name_))
        takeImage(slot, *chosen);
}

void TForm1::takeImage(int slot, const std::string& chosen)
{
    QLabel* captions[] = {Label1, Label2, Label3, Label4};
    open_dialog_name_ = chosen;
    Selection selection = check_selection(chosen);
    if (!selection.refusal.empty()) {
        dialogs_->message(selection.refusal);
        return;
    }
    form::set_elided_text(captions[slot], q(file_name_part(chosen)), q(chosen));
    *state_.paths()[static_cast<std::size_t>(slot)] = chosen;
    sources_[static_cast<std::size_t>(slot)] = std::move(selection.source);
}

void TForm1::openImages(const std::vector<std::string>& files)
{
    // Each file is its own event: a failure is shown, naming the file as given, and the next
    // file is still taken.
    for (std::size_t i = 0; i < files.size() && i < sources_.size(); ++i)
        guarded_path(*dialogs_, files[i], [&] { takeImage(static_cast<int>(i), absolute_path(files[i])); });
}

void TForm1::Button1Click() { selectImage(0); }
void TForm1::Button2Click() { selectImage(1); }
void TForm1::Button3Click() { selectImage(2); }
void TForm1::Button4Click() { selectImage(3); }

void TForm1::Button5Click()
{
    SubmapInputs inputs;
    inputs.gfactor = CheckBox1->isChecked();
    inputs.caption1 = s(Label1->text());
    inputs.caption2 = s(Label2->text());
    inputs.caption3 = s(Label3->text());
    inputs.caption4 = s(Label4->text());
    inputs.r_text = s(Edit1->text());
    inputs.legend = legendTexts();
    std::vector<std::string> notices;
    WindowRunView view(*dialogs_, ListBox1, nullptr, [&](const auto& texts) {
        notices = texts;
        showNotices(texts);
    });
    runMenu->forget();
    if (!run_submap(state_, inputs, view))
        return;
    set_window_caption(window_caption(submap_caption_prefix, state_.window.wl, state_.window.ww));
    render_display();
    std::vector<InputFile> files;
    for (std::size_t k = 0; k < (inputs.gfactor ? 4u : 2u); ++k)
        files.push_back({submap_roles[k], file_name_part(*state_.paths()[k]), sources_[k]});
    RunRecord run = submap_run_record(make_shared_large<SubmapState>(state_), inputs, std::move(files));
    run.notices = std::move(notices);
    runMenu->measured(std::move(run));
}

void TForm1::clear_readout()
{
    for (QLabel* readout : {label_Xpos, label_Ypos, label_SI})
        form::set_text(readout, no_readout);
}

void TForm1::CheckBox1Click()
{
    const bool checked = CheckBox1->isChecked();
    Panel1->resize(Panel1->width(), checked ? 193 : 129);
    for (QWidget* pi_selector : std::initializer_list<QWidget*>{Button3, Button4, Label3, Label4})
        pi_selector->setVisible(checked);
    Button1->setText(checked ? QStringLiteral("parallel imaging なし画像１") : QStringLiteral("画像１"));
    Button2->setText(checked ? QStringLiteral("parallel imaging なし画像２") : QStringLiteral("画像２"));
    for (QWidget* rate : std::initializer_list<QWidget*>{Label9, Edit1, GroupBox1})
        rate->setVisible(checked);

    for (std::string* path : state_.paths())
        path->clear();
    for (QLabel* caption : {Label1, Label2, Label3, Label4})
        form::set_elided_text(caption, QString(), QString());
    ListBox1->clear();
    runMenu->forget();
    clear_readout();
}

void TForm1::ListBox1Click()
{
    const int index = ListBox1->selectedRow();
    presetLegendEdits(select_submap_item(state_, index, *this));
    show_submap_item(state_, index, *this);
}

void TForm1::showReadout(int x, int y, double value, ItemKind kind)
{
    form::set_text(label_Xpos, QString::number(y));
    form::set_text(label_Ypos, QString::number(x));
    form::set_text(label_SI, q(readout_number(value, kind)));
}

void TForm1::Button6Click() { close(); }

void TForm1::Button7Click() { saveDisplay(); }

}  // namespace snr
