#include "core/qt/viewer_form.h"

#include <QLineEdit>

#include "core/legend_edit.h"
#include "core/qt/edit_text.h"
#include "core/qt/form_widgets.h"
#include "core/qt/image_view.h"
#include "core/qt/result_list.h"
#include "core/qt/title_picture.h"
#include "core/slice_file.h"

namespace snr {

ViewerForm::ViewerForm(ViewerState& state, std::unique_ptr<Dialogs> dialogs, const std::string& program_name)
    : viewer_(state), dialogs_(dialogs ? std::move(dialogs) : std::make_unique<QtDialogs>(this, program_name))
{
}

void ViewerForm::designForm(const QString& title, QRect outer)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(title);
    setFont(form::font(12));
    move(outer.topLeft());
    resize(outer.width() - frame_width, outer.height() - frame_height);
}

void ViewerForm::setOuterWidth(int outer_width) { resize(outer_width - frame_width, height()); }

void ViewerForm::finishViewer(const QString& method)
{
    title_ = make_title_picture(method);
    Image1->showPicture(&title_);
    connect(ListBox1, &ResultList::clicked, this, [this] { handle([this] { ListBox1Click(); }); });
    connect(Edit_min, &QLineEdit::textEdited, this, [this] { handle([this] { Edit_minChange(); }); });
    connect(Edit_dis, &QLineEdit::textEdited, this, [this] { handle([this] { Edit_disChange(); }); });
    connect(Image1, &ImageView::pressed, this, [this](int x, int y) { handle([&] { Image1MouseDown(x, y); }); });
    connect(Image1, &ImageView::moved, this, [this](int x, int y) { handle([&] { Image1MouseMove(x, y); }); });
    connect(Image1, &ImageView::released, this, [this](int x, int y) { handle([&] { Image1MouseUp(x, y); }); });
}

ItemKind ViewerForm::selectedKind() const { return kindOfItem(ListBox1->currentRow()); }

void ViewerForm::createDisplayBitmap() { bitmap_ = make_display_bitmap(); }

void ViewerForm::render_display()
{
    snr::render_display(viewer_.disp_image, viewer_.window.wl, viewer_.window.ww, bitmap_.bits(),
                        bitmap_.bytesPerLine());
    Image1->showPicture(&bitmap_);
}

void ViewerForm::update_scale_labels()
{
    if (auto texts = legend_label_texts(selectedKind(), Edit_min->text().toStdString(), Edit_dis->text().toStdString()))
        show_legend_label_texts(Label_scale, *texts);
}

void ViewerForm::legendEditChange()
{
    if (!apply_legend_edit(viewer_, selectedKind(), planeOfItem(ListBox1->currentRow()), Edit_min->text().toStdString(),
                           Edit_dis->text().toStdString()))
        return;
    update_scale_labels();
    render_display();
}

void ViewerForm::presetLegendEdits(const QString& minimum, const QString& step)
{
    set_edit_text(Edit_min, minimum, [this] { Edit_minChange(); });
    set_edit_text(Edit_dis, step, [this] { Edit_disChange(); });
}

void ViewerForm::saveDisplay()
{
    const auto name = dialogs_->save_file(viewer_.export_name);
    if (!name)
        return;
    viewer_.export_name = *name;
    export_raw(viewer_.export_name, viewer_.disp_image);
}

std::string ViewerForm::windowCaption(const std::string& prefix) const
{
    const DisplayWindow& window = viewer_.window;
    return selectedKind() == ItemKind::GFactor ? gfactor_window_caption(prefix, window.wl, window.ww)
                                               : window_caption(prefix, window.wl, window.ww);
}

void ViewerForm::Image1MouseDown(int x, int y) { drag_press(viewer_.drag, viewer_.window, x, y); }

void ViewerForm::Image1MouseUp(int, int) { drag_release(viewer_.drag); }

bool ViewerForm::dragTo(int x, int y)
{
    if (!viewer_.drag.drag_active)
        return false;
    drag_move(viewer_.drag, viewer_.window, x, y);
    return true;
}

}  // namespace snr
