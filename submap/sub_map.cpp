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
#include "window_model/window_command_line.h"
#include "submap/marker_scan.h"
#include "submap/submap_items.h"

namespace snr {

namespace {

const ViewerForm::Design design{"snr_submap", QStringLiteral("Quorix 差分マップ法"), {453, 245, 474, 580},
                                QStringLiteral("(difference map method)"), submap_caption_prefix};
const QString no_readout = QStringLiteral("-----");

QString q(const std::string& text) { return QString::fromStdString(text); }
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
    Edit1 = edit(GroupBox1, "Edit1", {88, 9, 57, 20}, QStringLiteral("2"));
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

void TForm1::selectImage(QLabel* caption, std::string& path)
{
    if (const auto chosen = dialogs_->open_file(open_dialog_name_))
        takeImage(caption, path, *chosen);
}

void TForm1::takeImage(QLabel* caption, std::string& path, const std::string& chosen)
{
    open_dialog_name_ = chosen;
    if (const Selection selection = check_selection(chosen); !selection.refusal.empty()) {
        dialogs_->message(selection.refusal);
        return;
    }
    caption->setText(q(file_name_part(chosen)));
    path = chosen;
}

void TForm1::openImages(const std::vector<std::string>& files)
{
    const std::array<std::pair<QLabel*, std::string*>, 4> selectors{{{Label1, &state_.path1_nopi},
                                                                     {Label2, &state_.path2_nopi},
                                                                     {Label3, &state_.path1_pi},
                                                                     {Label4, &state_.path2_pi}}};
    // Each file is its own event: a failure is shown and the next file is still taken.
    for (std::size_t i = 0; i < files.size() && i < selectors.size(); ++i)
        guarded(*dialogs_, [&] { takeImage(selectors[i].first, *selectors[i].second, absolute_path(files[i])); });
}

void TForm1::Button1Click() { selectImage(Label1, state_.path1_nopi); }
void TForm1::Button2Click() { selectImage(Label2, state_.path2_nopi); }
void TForm1::Button3Click() { selectImage(Label3, state_.path1_pi); }
void TForm1::Button4Click() { selectImage(Label4, state_.path2_pi); }

void TForm1::Button5Click()
{
    SubmapInputs inputs;
    inputs.gfactor = CheckBox1->isChecked();
    inputs.caption1 = s(Label1->text());
    inputs.caption2 = s(Label2->text());
    inputs.caption3 = s(Label3->text());
    inputs.caption4 = s(Label4->text());
    inputs.r_text = s(Edit1->text());
    inputs.min_text = s(Edit_min->text());
    inputs.step_text = s(Edit_dis->text());
    WindowRunView view(*dialogs_, ListBox1, nullptr, [this](const auto& texts) { showNotices(texts); });
    if (!run_submap(state_, inputs, view))
        return;
    set_window_caption(window_caption(submap_caption_prefix, state_.window.wl, state_.window.ww));
    render_display();
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

    for (std::string* path : {&state_.path1_nopi, &state_.path2_nopi, &state_.path1_pi, &state_.path2_pi})
        path->clear();
    for (QLabel* caption : {Label1, Label2, Label3, Label4})
        caption->clear();
    ListBox1->clear();
    clear_readout();
}

void TForm1::ListBox1Click() { select_submap_item(state_, ListBox1->selectedRow(), *this); }

void TForm1::showReadout(int x, int y, double value, ItemKind kind)
{
    form::set_text(label_Xpos, QString::number(y));
    form::set_text(label_Ypos, QString::number(x));
    form::set_text(label_SI, q(readout_number(value, kind)));
}

void TForm1::Button6Click() { close(); }

void TForm1::Button7Click() { saveDisplay(); }

}  // namespace snr
