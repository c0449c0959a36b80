#pragma once

#include <QImage>
#include <QWidget>
#include <memory>
#include <string>

#include "core/display.h"
#include "core/qt/dialogs.h"
#include "core/qt/guarded.h"
#include "core/qt/legend_labels.h"
#include "core/viewer_state.h"

class QLineEdit;

namespace snr {

class ImageView;
class ResultList;

// What both main windows share: the display bitmap and its rendering, the legend edits and
// labels, the window drag and the raw export. Each program's window derives from it, creates
// the controls named here and says which plane and kind each result list item has.
class ViewerForm : public QWidget {
    Q_OBJECT

public:
    // Frame assumed around the client area of a designed outer size: 4 pixels left, right and
    // bottom, 30 on top, as a typical desktop draws a sizeable window.
    static constexpr int frame_width = 8;
    static constexpr int frame_height = 34;

    const QImage& displayBitmap() const { return bitmap_; }
    ItemKind selectedKind() const;

    ResultList* ListBox1 = nullptr;
    ImageView* Image1 = nullptr;
    QLineEdit* Edit_min = nullptr;
    QLineEdit* Edit_dis = nullptr;
    LegendLabels Label_scale{};

protected:
    ViewerForm(ViewerState& state, std::unique_ptr<Dialogs> dialogs, const std::string& program_name);

    // Names the window Form1 and gives it its title, the form's font and its designed place.
    void designForm(const QString& title, QRect outer);
    void setOuterWidth(int outer_width);

    virtual ItemKind kindOfItem(int index) const = 0;
    virtual Plane* planeOfItem(int index) = 0;

    // Runs a handler as the outermost handler of a user event.
    template <class Handler>
    void handle(Handler&& handler)
    {
        guarded(*dialogs_, std::forward<Handler>(handler));
    }
    // Shows `title` in Image1 until the first rendering and connects the shared events.
    void finishViewer(const QString& method);

    void createDisplayBitmap();
    void render_display();
    void update_scale_labels();
    // The change of either legend edit.
    void legendEditChange();
    // The texts a selection presets; each change runs the edit handler at once.
    void presetLegendEdits(const QString& minimum, const QString& step);
    void saveDisplay();
    // The window caption for the selected item after a window change.
    std::string windowCaption(const std::string& prefix) const;
    // Drag step of a move; false when no drag is under way.
    bool dragTo(int x, int y);

    virtual void Edit_minChange() { legendEditChange(); }
    virtual void Edit_disChange() { legendEditChange(); }
    virtual void Image1MouseDown(int x, int y);
    virtual void Image1MouseMove(int x, int y) = 0;
    virtual void Image1MouseUp(int x, int y);
    virtual void ListBox1Click() = 0;

    ViewerState& viewer_;
    std::unique_ptr<Dialogs> dialogs_;

private:
    QImage title_;
    QImage bitmap_;
};

}  // namespace snr
