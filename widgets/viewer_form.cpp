// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/viewer_form.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "window_model/legend_edit.h"
#include "widgets/edit_text.h"
#include "widgets/form_widgets.h"
#include "widgets/image_view.h"
#include "widgets/result_list.h"
#include "widgets/roi_overlay.h"
#include "widgets/roi_window.h"
#include "widgets/run_record_menu.h"
#include "widgets/title_picture.h"
#include "core/slice_file.h"

namespace snr {

ViewerForm::ViewerForm(ViewerState& state, std::unique_ptr<Dialogs> dialogs, const Design& design)
    : viewer_(state),
      dialogs_(dialogs ? std::move(dialogs) : std::make_unique<QtDialogs>(this, design.program_name)),
      method_(design.method),
      program_(design.program_name),
      caption_prefix_(design.caption_prefix)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(design.title);
    setFont(form::font(12));
    move(design.outer.topLeft());
    resize(design.outer.width() - frame_width, design.outer.height() - frame_height);
}

// The list empties its model while the widgets go; the ROI table may be gone by then.
ViewerForm::~ViewerForm()
{
    if (ListBox1 != nullptr)
        disconnect(ListBox1->model(), nullptr, this, nullptr);
}

void ViewerForm::setOuterWidth(int outer_width) { resize(outer_width - frame_width, height()); }

void ViewerForm::makeResultList(QWidget* parent, QRect geometry)
{
    ListBox1 = new ResultList(parent);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(geometry);
    ListBox1->setFont(form::font(13));
    connect(ListBox1, &ResultList::clicked, this, guardedSlot(&ViewerForm::ListBox1Click));
    runMenu = new RunRecordMenu(ListBox1, *dialogs_, program_ + " " SNR_VERSION, [this] {
        return roiOverlay != nullptr ? roiOverlay->roi() : std::nullopt;
    });
}

void ViewerForm::makeImage(QWidget* parent, QRect geometry)
{
    Image1 = new ImageView(parent);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(geometry);
    title_ = make_title_picture(method_);
    Image1->showPicture(&title_);
    connect(Image1, &ImageView::pressed, this, guardedSlot(&ViewerForm::Image1MouseDown));
    connect(Image1, &ImageView::moved, this, guardedSlot(&ViewerForm::Image1MouseMove));
    connect(Image1, &ImageView::released, this, guardedSlot(&ViewerForm::Image1MouseUp));
}

void ViewerForm::makeCheckBox(QWidget* parent, QRect geometry, const QString& caption, std::function<void()> on_toggle)
{
    CheckBox1 = new QCheckBox(caption, parent);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(geometry);
    CheckBox1->setChecked(true);
    connect(CheckBox1, &QCheckBox::toggled, this, std::move(on_toggle));
}

QPushButton* ViewerForm::makeButton(QWidget* parent, const char* name, QRect geometry, const QString& caption,
                                    std::function<void()> on_click)
{
    QPushButton* push = form::button(parent, name, geometry, caption);
    connect(push, &QPushButton::clicked, this, std::move(on_click));
    return push;
}

QFrame* ViewerForm::makeLegendPanel(QWidget* parent, const char* name, QPoint at)
{
    legend_panel_ = form::panel(parent, name, {at, QSize(33, 157)}, form::colour::medium_grey);
    legend_panel_->setVisible(false);
    Label_scale = make_legend_labels(legend_panel_);
    return legend_panel_;
}

std::tuple<QLabel*, QLabel*, QLabel*> ViewerForm::makeLegendGroup(QWidget* parent, QPoint at, const QString& heading,
                                                                  int heading_width,
                                                                  const std::array<const char*, 3>& label_names)
{
    using namespace form;
    GroupBox2 = group(parent, "GroupBox2", {at, QSize(110, 65)});
    GroupBox2->setVisible(false);
    const std::tuple labels{
        label(GroupBox2, label_names[0], {20, 10, heading_width, 11}, heading, {.font_px = 11, .text = Qt::black}),
        label(GroupBox2, label_names[1], {7, 26, 36, 12}, QStringLiteral("最低値"), grey_caption),
        label(GroupBox2, label_names[2], {7, 47, 24, 12}, QStringLiteral("間隔"), grey_caption),
    };
    const LegendTexts start;
    Edit_min = edit(GroupBox2, "Edit_min", {65, 22, 40, 20}, q(start.minimum));
    Edit_dis = edit(GroupBox2, "Edit_dis", {65, 42, 40, 20}, q(start.step));
    connect(Edit_min, &QLineEdit::textEdited, this, guardedSlot(&ViewerForm::Edit_minChange));
    connect(Edit_dis, &QLineEdit::textEdited, this, guardedSlot(&ViewerForm::Edit_disChange));
    return labels;
}

void ViewerForm::makeWindowCaption(QWidget* parent, QRect geometry, int font_px)
{
    label_window = form::label(parent, "label_window", geometry, QStringLiteral("  ( WL,WW ) = "),
                               {.font_px = font_px, .text = Qt::white, .fixed_size = true});
}

const ViewerForm::Item* ViewerForm::selectedItem() const
{
    const int row = ListBox1->selectedRow();
    return row >= 0 && static_cast<std::size_t>(row) < items_.size() ? &items_[static_cast<std::size_t>(row)] : nullptr;
}

ItemKind ViewerForm::selectedKind() const
{
    const Item* item = selectedItem();
    return item != nullptr ? item->kind : ItemKind::Other;
}

void ViewerForm::createDisplayBitmap()
{
    bitmap_ = make_display_bitmap();
    if (roiOverlay == nullptr)
        makeRoiTool();
}

void ViewerForm::makeRoiTool()
{
    roiOverlay = new RoiOverlay(Image1);
    roiWindow = new RoiWindow(this, *dialogs_);
    connect(roiOverlay, &RoiOverlay::changed, this, [this] {
        guarded(*dialogs_, [this] {
            refreshRoiTable();
            if (roiOverlay->roi())
                roiWindow->open();
        });
    });
    // An emptied list leaves nothing to measure; with no rows nothing is measured or raised.
    connect(ListBox1->model(), &QAbstractItemModel::modelReset, this, [this] {
        if (ListBox1->count() == 0)
            refreshRoiTable();
    });
}

void ViewerForm::showNotices(const std::vector<std::string>& texts) { roiWindow->showNotices(texts); }

void ViewerForm::refreshRoiTable()
{
    const auto& roi = roiOverlay->roi();
    if (!roi) {
        roiWindow->showNoRoi();
        return;
    }
    std::vector<RoiRow> rows;
    for (int index = 0; index < ListBox1->count() && static_cast<std::size_t>(index) < items_.size(); ++index) {
        const Item& item = items_[static_cast<std::size_t>(index)];
        rows.push_back({ListBox1->item(index)->text().toStdString(), item.kind,
                        roi_statistics(*item.plane, *roi, item.kind)});
    }
    roiWindow->showFigures(*roi, std::move(rows));
}

void ViewerForm::render_display()
{
    snr::render_display(viewer_.disp_image, viewer_.window.wl, viewer_.window.ww, bitmap_.bits(),
                        bitmap_.bytesPerLine());
    Image1->showPicture(&bitmap_);
}

void ViewerForm::show_scale_labels(const LegendLabelTexts& texts) { show_legend_label_texts(Label_scale, texts); }

LegendTexts ViewerForm::legendTexts() const { return {Edit_min->text().toStdString(), Edit_dis->text().toStdString()}; }

void ViewerForm::legendEditChange()
{
    const Item* item = selectedItem();
    const LegendEdit edit = apply_legend_edit(viewer_, selectedKind(), item != nullptr ? item->plane : nullptr,
                                              legendTexts());
    if (!edit.applied)
        return;
    if (edit.labels)
        show_scale_labels(*edit.labels);
    render_display();
}

void ViewerForm::show_legend_controls(bool shown)
{
    GroupBox2->setVisible(shown);
    legend_panel_->setVisible(shown);
}

void ViewerForm::set_readout_title(const std::string& title) { form::set_text(readout_title_, q(title)); }

void ViewerForm::presetLegendEdits(const std::optional<LegendTexts>& texts)
{
    if (!texts)
        return;
    set_edit_text(Edit_min, q(texts->minimum), *dialogs_, [this] { Edit_minChange(); });
    set_edit_text(Edit_dis, q(texts->step), *dialogs_, [this] { Edit_disChange(); });
}

void ViewerForm::set_window_caption(const std::string& caption) { form::set_text(label_window, q(caption)); }

void ViewerForm::saveDisplay()
{
    const auto name = dialogs_->save_file(viewer_.export_name);
    if (!name)
        return;
    viewer_.export_name = *name;
    export_raw(viewer_.export_name, viewer_.disp_image);
}

void ViewerForm::Image1MouseDown(int x, int y) { drag_press(viewer_.drag, viewer_.window, x, y); }

void ViewerForm::Image1MouseMove(int x, int y)
{
    if (ListBox1->count() > 0) {
        if (const auto value = value_under(viewer_.disp_image, x, y))
            showReadout(x, y, *value, selectedKind());
    }
    if (!viewer_.drag.drag_active)
        return;
    drag_move(viewer_.drag, viewer_.window, x, y);
    set_window_caption(window_caption_for(selectedKind(), caption_prefix_, viewer_.window));
    render_display();
}

void ViewerForm::Image1MouseUp(int, int) { drag_release(viewer_.drag); }

}  // namespace snr
