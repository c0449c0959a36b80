#include "submap/sub_map.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <utility>

#include "core/qt/form_widgets.h"
#include "core/qt/image_view.h"
#include "core/qt/result_list.h"
#include "core/window_command_line.h"
#include "submap/marker_scan.h"
#include "submap/submap_items.h"

namespace snr {

namespace {

const std::string window_prefix = "  ( WL,WW ) = ( ";
const QString no_readout = QStringLiteral("-----");

QString q(const std::string& text) { return QString::fromStdString(text); }
std::string s(const QString& text) { return text.toStdString(); }

class RunView : public SubmapRunView {
public:
    RunView(ResultList* list, Dialogs& dialogs) : list_(list), dialogs_(dialogs) {}
    void refuse(const std::string& message) override { dialogs_.message(message); }
    void begin(const std::vector<std::string>& items) override { list_->setItems(items); }

private:
    ResultList* list_;
    Dialogs& dialogs_;
};

}  // namespace

TForm1::TForm1(SubmapState& state, std::unique_ptr<Dialogs> dialogs)
    : ViewerForm(state, std::move(dialogs), "snr_submap"), state_(state)
{
    designForm(QStringLiteral("Quorix 差分マップ法"), {453, 245, 474, 580});
    createControls();
    connectHandlers();
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::createControls()
{
    using namespace form;
    const LabelStyle file_caption{.font_px = 15, .background = palette().color(QPalette::ToolTipBase),
                                  .fixed_size = true};
    const LabelStyle grey_12{.font_px = 12, .text = colour::grey};
    const LabelStyle white_13{.font_px = 13, .text = Qt::white};
    const LabelStyle white_centred_13{.font_px = 13, .text = Qt::white, .fixed_size = true, .centred = true};

    Panel1 = panel(this, "Panel1", {8, 8, 450, 193}, colour::money_green);
    Button1 = button(Panel1, "Button1", {12, 8, 153, 25}, QStringLiteral("parallel imaging なし画像１"));
    Label1 = label(Panel1, "Label1", {176, 8, 265, 25}, QString(), file_caption);
    Button2 = button(Panel1, "Button2", {12, 40, 153, 25}, QStringLiteral("parallel imaging なし画像２"));
    Label2 = label(Panel1, "Label2", {176, 40, 265, 25}, QString(), file_caption);
    CheckBox1 = new QCheckBox(QStringLiteral("g-factor map"), Panel1);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(24, 85, 89, 25);
    CheckBox1->setChecked(true);
    QPalette grey_text = CheckBox1->palette();
    grey_text.setColor(QPalette::WindowText, colour::grey);
    CheckBox1->setPalette(grey_text);
    condense_to_fit(CheckBox1);
    GroupBox1 = group(Panel1, "GroupBox1", {120, 78, 153, 33});
    Label9 = label(GroupBox1, "Label9", {10, 13, 71, 12}, QStringLiteral("reduction rate"), grey_12);
    Edit1 = edit(GroupBox1, "Edit1", {88, 9, 57, 20}, QStringLiteral("2"));
    Button5 = button(Panel1, "Button5", {344, 77, 81, 41}, QStringLiteral("処理開始"));
    Button3 = button(Panel1, "Button3", {12, 128, 153, 25}, QStringLiteral("parallel imaging あり画像１"));
    Label3 = label(Panel1, "Label3", {176, 128, 265, 25}, QString(), file_caption);
    Button4 = button(Panel1, "Button4", {12, 160, 153, 25}, QStringLiteral("parallel imaging あり画像２"));
    Label4 = label(Panel1, "Label4", {176, 160, 265, 25}, QString(), file_caption);

    Panel3 = panel(this, "Panel3", {8, 208, 450, 337}, colour::sky_blue, false);
    Image1 = new ImageView(Panel3);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(8, 10, 255, 255);
    Panel6 = panel(Panel3, "Panel6", {265, 58, 33, 157}, colour::medium_grey);
    Panel6->setVisible(false);
    Label_scale = make_legend_labels(Panel6);
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
    Panel2 = panel(Panel3, "Panel2", {300, 80, 147, 25}, colour::teal, false);
    label_window = label(Panel2, "label_window", {-3, 6, 151, 13}, QStringLiteral("  ( WL,WW ) = "),
                         {.font_px = 12, .text = Qt::white, .fixed_size = true});
    condense_for(label_window, QStringLiteral("  ( WL,WW ) = ( 16383 , 32767 )"));
    ListBox1 = new ResultList(Panel3);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(300, 116, 147, 213);
    ListBox1->setFont(form::font(13));
    GroupBox2 = group(Panel3, "GroupBox2", {182, 267, 110, 65});
    GroupBox2->setVisible(false);
    Label7 = label(GroupBox2, "Label7", {20, 10, 67, 11}, QStringLiteral(" スケール設定"),
                   {.font_px = 11, .text = Qt::black});
    Label5 = label(GroupBox2, "Label5", {7, 26, 36, 12}, QStringLiteral("最低値"), grey_12);
    Label6 = label(GroupBox2, "Label6", {7, 47, 24, 12}, QStringLiteral("間隔"), grey_12);
    Edit_min = edit(GroupBox2, "Edit_min", {65, 22, 40, 20}, QStringLiteral("60"));
    Edit_dis = edit(GroupBox2, "Edit_dis", {65, 42, 40, 20}, QStringLiteral("20"));
    Panel4 = panel(Panel3, "Panel4", {4, 275, 165, 57}, colour::medium_grey);
    Button7 = button(Panel4, "Button7", {8, 8, 89, 41}, QStringLiteral("表示画像を保存"));
    Button6 = button(Panel4, "Button6", {104, 8, 57, 41}, QStringLiteral("終了"));
}

void TForm1::connectHandlers()
{
    finishViewer(QStringLiteral("(difference map method)"));
    auto on = [this](void (TForm1::*handler)()) { return [this, handler] { handle([&] { (this->*handler)(); }); }; };
    connect(Button1, &QPushButton::clicked, this, on(&TForm1::Button1Click));
    connect(Button2, &QPushButton::clicked, this, on(&TForm1::Button2Click));
    connect(Button3, &QPushButton::clicked, this, on(&TForm1::Button3Click));
    connect(Button4, &QPushButton::clicked, this, on(&TForm1::Button4Click));
    connect(Button5, &QPushButton::clicked, this, on(&TForm1::Button5Click));
    connect(CheckBox1, &QCheckBox::toggled, this, on(&TForm1::CheckBox1Click));
    connect(Button6, &QPushButton::clicked, this, on(&TForm1::Button6Click));
    connect(Button7, &QPushButton::clicked, this, on(&TForm1::Button7Click));
}

void TForm1::FormCreate()
{
    createDisplayBitmap();
    state_.window.ww = 1;
    state_.window.wl = 1;
}

ItemKind TForm1::kindOfItem(int index) const { return submap_item_kind(index); }

Plane* TForm1::planeOfItem(int index) { return submap_item_plane(state_, index); }

void TForm1::selectImage(QLabel* caption, std::string& path)
{
    if (const auto chosen = dialogs_->open_file(open_dialog_name_))
        takeImage(caption, path, *chosen);
}

void TForm1::takeImage(QLabel* caption, std::string& path, const std::string& chosen)
{
    open_dialog_name_ = chosen;
    if (!has_dicm_marker(chosen)) {
        dialogs_->message(file_name_part(chosen) + "はdicom画像ではありません!!");
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
        handle([&] { takeImage(selectors[i].first, *selectors[i].second, absolute_path(files[i])); });
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
    RunView view(ListBox1, *dialogs_);
    if (!run_submap(state_, inputs, view))
        return;
    label_window->setText(q(window_caption(window_prefix, state_.window.wl, state_.window.ww)));
    render_display();
}

void TForm1::resetReadout()
{
    label_Xpos->setText(no_readout);
    label_Ypos->setText(no_readout);
    label_SI->setText(no_readout);
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
    resetReadout();
}

void TForm1::showLegendControls(bool shown)
{
    Panel6->setVisible(shown);
    GroupBox2->setVisible(shown);
}

void TForm1::ListBox1Click()
{
    auto index = [this] { return ListBox1->currentRow(); };

    if (index() == submap_gfactor_item) {
        Label12->setText(QStringLiteral("g-factor"));
        showLegendControls(true);
        presetLegendEdits(QStringLiteral("0.6"), QStringLiteral("0.2"));
        update_scale_labels();
    } else if (kindOfItem(index()) == ItemKind::SnrMap) {
        Label12->setText(QStringLiteral("SNR"));
        showLegendControls(true);
        presetLegendEdits(QStringLiteral("60"), QStringLiteral("20"));
        update_scale_labels();
    } else {
        Label12->setText(QStringLiteral("信号強度"));
        showLegendControls(false);
    }
    resetReadout();
    if (Plane* plane = planeOfItem(index()))
        state_.disp_image = *plane;
    auto_window(state_.disp_image, state_.window);
    apply_submap_window_preset(state_, index());
    label_window->setText(q(window_caption(window_prefix, state_.window.wl, state_.window.ww)));
    if (index() == submap_gfactor_item)
        label_window->setText(q(gfactor_window_caption(window_prefix, state_.window.wl, state_.window.ww)));
    render_display();
}

void TForm1::Image1MouseMove(int x, int y)
{
    if (ListBox1->count() > 0) {
        if (const auto value = value_under(state_.disp_image, x, y)) {
            label_Xpos->setText(QString::number(y));
            label_Ypos->setText(QString::number(x));
            label_SI->setText(q(readout_number(*value, selectedKind())));
        }
    }
    if (!dragTo(x, y))
        return;
    label_window->setText(q(windowCaption(window_prefix)));
    render_display();
}

void TForm1::Button6Click() { close(); }

void TForm1::Button7Click() { saveDisplay(); }

}  // namespace snr
