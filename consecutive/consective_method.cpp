#include "consecutive/consective_method.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "consecutive/consecutive_items.h"
#include "core/qt/folder_list.h"
#include "core/qt/form_widgets.h"
#include "core/qt/image_view.h"
#include "core/qt/result_list.h"

namespace snr {

namespace {

const std::string window_prefix = "( WL,WW ) = ( ";

QString q(const std::string& text) { return QString::fromStdString(text); }

// The run's progress bar and result list.
class RunView : public ConsecutiveRunView {
public:
    RunView(TForm1& form, Dialogs& dialogs) : form_(form), dialogs_(dialogs) {}
    void refuse(const std::string& message) override { dialogs_.message(message); }
    void begin(const std::vector<std::string>& items) override
    {
        form_.ProgressBar1->setVisible(true);
        form_.ListBox1->setItems(items);
    }
    void progress(int position) override
    {
        form_.ProgressBar1->setValue(position);
        form_.ProgressBar1->repaint();  // the run handles no events until it ends
    }

private:
    TForm1& form_;
    Dialogs& dialogs_;
};

}  // namespace

TForm1::TForm1(ConsecutiveState& state, std::unique_ptr<Dialogs> dialogs)
    : ViewerForm(state, std::move(dialogs), "snr_consecutive"), state_(state)
{
    designForm(QStringLiteral("Quorix 連続撮像法"), {267, 193, 817, 387});
    createControls();
    connectHandlers();
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::createControls()
{
    using namespace form;
    const LabelStyle caption_on_teal{.font_px = 15, .text = Qt::white, .background = colour::teal};
    const LabelStyle grey_12{.font_px = 12, .text = colour::grey};
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
    Button1 = button(Panel1, "Button1", {264, 248, 81, 49}, QStringLiteral("処理開始"));
    CheckBox1 = new QCheckBox(QStringLiteral("g-factor"), Panel1);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(8, 264, 73, 25);
    CheckBox1->setChecked(true);
    GroupBox1 = group(Panel1, "GroupBox1", {88, 256, 137, 33});
    Label7 = label(GroupBox1, "Label7", {10, 13, 71, 12}, QStringLiteral("reduction rate"), grey_12);
    edit_rfactor = edit(GroupBox1, "edit_rfactor", {88, 9, 41, 20}, QStringLiteral("2"));
    ProgressBar1 = new QProgressBar(Panel1);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(8, 312, 345, 17);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setVisible(false);

    Panel2 = panel(this, "Panel2", {376, 8, 425, 337}, colour::sky_blue);
    ListBox1 = new ResultList(Panel2);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(8, 24, 113, 129);
    ListBox1->setFont(form::font(13));
    Image1 = new ImageView(Panel2);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(128, 8, 256, 256);
    GroupBox2 = group(Panel2, "GroupBox2", {6, 168, 110, 65});
    GroupBox2->setVisible(false);
    Label5 = label(GroupBox2, "Label5", {20, 10, 64, 11}, QStringLiteral("スケール設定"),
                   {.font_px = 11, .text = Qt::black});
    Label3 = label(GroupBox2, "Label3", {7, 26, 36, 12}, QStringLiteral("最低値"), grey_12);
    Label4 = label(GroupBox2, "Label4", {7, 47, 24, 12}, QStringLiteral("間隔"), grey_12);
    Edit_min = edit(GroupBox2, "Edit_min", {65, 22, 40, 20}, QStringLiteral("60"));
    Edit_dis = edit(GroupBox2, "Edit_dis", {65, 42, 40, 20}, QStringLiteral("20"));
    Panel4 = panel(Panel2, "Panel4", {388, 57, 33, 157}, colour::medium_grey);
    Panel4->setVisible(false);
    Label_scale = make_legend_labels(Panel4);
    Panel5 = panel(Panel2, "Panel5", {176, 268, 169, 40}, colour::teal, false);
    label_pos = label(Panel5, "label_pos", {10, 4, 151, 13}, QStringLiteral("  (X,Y) = (--,--)"), white_fixed_13);
    label_SI = label(Panel5, "label_SI", {10, 22, 151, 13}, QStringLiteral("  信号強度 = "), white_fixed_13);
    Panel3 = panel(Panel2, "Panel3", {176, 310, 169, 20}, colour::teal, false);
    label_window = label(Panel3, "label_window", {10, 4, 151, 13}, QStringLiteral("  ( WL,WW ) = "), white_fixed_13);
    condense_for(label_window, QStringLiteral("( WL,WW ) = ( 16383 , 32767 )"));
    Panel6 = panel(Panel2, "Panel6", {8, 240, 111, 87}, colour::medium_grey);
    Button3 = button(Panel6, "Button3", {8, 8, 97, 33}, QStringLiteral("表示画像保存"));
    Button2 = button(Panel6, "Button2", {8, 48, 97, 33}, QStringLiteral("終了"));
}

void TForm1::connectHandlers()
{
    finishViewer(QStringLiteral("(consecutive method)"));
    auto on = [this](void (TForm1::*handler)()) { return [this, handler] { handle([&] { (this->*handler)(); }); }; };
    connect(Button1, &QPushButton::clicked, this, on(&TForm1::Button1Click));
    connect(CheckBox1, &QCheckBox::toggled, this, on(&TForm1::CheckBox1Click));
    connect(Button2, &QPushButton::clicked, this, on(&TForm1::Button2Click));
    connect(Button3, &QPushButton::clicked, this, on(&TForm1::Button3Click));
}

void TForm1::FormCreate() { createDisplayBitmap(); }

ItemKind TForm1::kindOfItem(int index) const { return consecutive_item_kind(index); }

Plane* TForm1::planeOfItem(int index) { return consecutive_item_plane(state_, index); }

void TForm1::Button1Click()
{
    ConsecutiveInputs inputs;
    inputs.min_text = Edit_min->text().toStdString();
    inputs.step_text = Edit_dis->text().toStdString();
    inputs.r_text = edit_rfactor->text().toStdString();
    inputs.gfactor = CheckBox1->isChecked();
    inputs.nopi_folder = DirectoryListBox1->directory();
    inputs.pi_folder = DirectoryListBox2->directory();
    RunView view(*this, *dialogs_);
    if (run_consecutive(state_, inputs, view)) {
        label_window->setText(q(computation_caption(state_.window.wl, state_.window.ww)));
        render_display();
    }
    ProgressBar1->setVisible(false);
}

void TForm1::CheckBox1Click()
{
    const bool checked = CheckBox1->isChecked();
    form::set_caption(Label1, checked ? QStringLiteral("parallel imaging なし") : QStringLiteral("画像フォルダ"), 124);
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
    auto index = [this] { return ListBox1->currentRow(); };

    GroupBox2->setVisible(false);
    Panel4->setVisible(false);
    state_.scale_min = 60;
    state_.scale_step = 20;
    if (index() == gfactor_item) {
        presetLegendEdits(QStringLiteral("0.6"), QStringLiteral("0.2"));
        update_scale_labels();
    } else if (index() == nopi_snr_item || index() == pi_snr_item) {
        presetLegendEdits(QStringLiteral("60"), QStringLiteral("20"));
        label_SI->setText(QStringLiteral(" SNR = "));
        update_scale_labels();
    } else {
        label_SI->setText(QStringLiteral(" 信号強度 = "));
    }

    if (Plane* plane = planeOfItem(index())) {
        state_.disp_image = *plane;
        if (kindOfItem(index()) != ItemKind::Other) {
            GroupBox2->setVisible(true);
            Panel4->setVisible(true);
        }
    }
    auto_window(state_.disp_image, state_.window);
    apply_consecutive_window_preset(state_, index());
    label_window->setText(q(window_caption(window_prefix, state_.window.wl, state_.window.ww)));
    if (index() == gfactor_item)
        label_window->setText(q(gfactor_window_caption(window_prefix, state_.window.wl, state_.window.ww)));
    render_display();
}

void TForm1::Image1MouseMove(int x, int y)
{
    const ItemKind kind = selectedKind();
    if (ListBox1->count() > 0) {
        if (const auto value = value_under(state_.disp_image, x, y)) {
            label_pos->setText(q("( X,Y ) = ( " + std::to_string(y) + " , " + std::to_string(x) + " )"));
            const char* title = kind == ItemKind::SnrMap ? "SNR = " : kind == ItemKind::GFactor ? "g-factor = " : "信号強度 = ";
            label_SI->setText(q(title + readout_number(*value, kind)));
        }
    }
    if (!dragTo(x, y))
        return;
    label_window->setText(q(windowCaption(window_prefix)));
    render_display();
}

void TForm1::openFolders(const std::vector<std::string>& folders)
{
    FolderList* lists[] = {DirectoryListBox1, DirectoryListBox2};
    for (std::size_t i = 0; i < folders.size() && i < std::size(lists); ++i)
        handle([&] { lists[i]->openFolder(folders[i]); });
}

void TForm1::Button2Click() { close(); }

void TForm1::Button3Click() { saveDisplay(); }

}  // namespace snr
