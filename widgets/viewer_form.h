// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QImage>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "core/display.h"
#include "widgets/dialogs.h"
#include "widgets/guarded.h"
#include "widgets/legend_labels.h"
#include "window_model/view_selection.h"
#include "window_model/viewer_state.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace snr {

class ImageView;
class ResultList;
class RoiOverlay;
class RoiWindow;
class RunRecordMenu;

// What both main windows share: the display bitmap and its rendering, the result list, the
// legend edits and labels, the window caption, the drag and readout, the raw export, and the
// front end of the view selection. Each program's window derives from it with its item table
// and design, and builds its layout with the makers here.
class ViewerForm : public QWidget, protected SelectionView {
    Q_OBJECT

public:
    // Frame assumed around the client area of a designed outer size: 4 pixels left, right and
    // bottom, 30 on top, as a typical desktop draws a sizeable window.
    static constexpr int frame_width = 8;
    static constexpr int frame_height = 34;

    // What sets a program's window apart before its controls exist.
    struct Design {
        std::string program_name;    // the title of its dialogs
        QString title;               // the window title
        QRect outer;                 // designed place and outer size
        QString method;              // the method's name on the title picture
        std::string caption_prefix;  // the start of its window captions
    };

    ~ViewerForm() override;

    const QImage& displayBitmap() const { return bitmap_; }
    ItemKind selectedKind() const;

    QCheckBox* CheckBox1 = nullptr;
    ResultList* ListBox1 = nullptr;
    ImageView* Image1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLineEdit* Edit_min = nullptr;
    QLineEdit* Edit_dis = nullptr;
    LegendLabels Label_scale{};
    QLabel* label_window = nullptr;
    // The region of interest over Image1 and its tool window "ROI 統計", made by FormCreate.
    RoiOverlay* roiOverlay = nullptr;
    RoiWindow* roiWindow = nullptr;
    // The result list's context menu: the last run's report and its record in the history.
    RunRecordMenu* runMenu = nullptr;

protected:
    // The window is named Form1 and gets its title, the form's font and its designed place;
    // `items` say the kind and plane of each result list index.
    template <class State>
    ViewerForm(State& state, ItemTable<State> items, std::unique_ptr<Dialogs> dialogs, const Design& design)
        : ViewerForm(state, std::move(dialogs), design)
    {
        for (const auto& item : items)
            items_.push_back({item.kind, &(state.*item.plane)});
    }

    void setOuterWidth(int outer_width);

    // The shared controls under their designer names, their events connected.
    void makeResultList(QWidget* parent, QRect geometry);
    // Image1, showing the title picture until the first rendering.
    void makeImage(QWidget* parent, QRect geometry);
    // The g-factor switch, checked at start.
    void makeCheckBox(QWidget* parent, QRect geometry, const QString& caption, std::function<void()> on_toggle);
    QPushButton* makeButton(QWidget* parent, const char* name, QRect geometry, const QString& caption,
                            std::function<void()> on_click);
    // The narrow panel of the legend labels (33 x 157), hidden at start.
    QFrame* makeLegendPanel(QWidget* parent, const char* name, QPoint at);
    // GroupBox2 (110 x 65, hidden at start) with Edit_min and Edit_dis; returns its heading and
    // the captions "最低値" and "間隔", made under the names given.
    std::tuple<QLabel*, QLabel*, QLabel*> makeLegendGroup(QWidget* parent, QPoint at, const QString& heading,
                                                          int heading_width,
                                                          const std::array<const char*, 3>& label_names);
    void makeWindowCaption(QWidget* parent, QRect geometry, int font_px);
    // Where the view selection writes the title of the readout.
    void setReadoutTitleLabel(QLabel* title) { readout_title_ = title; }

    // A slot that runs `handler` as the outermost handler of a user event.
    template <class Form, class... Args>
    auto guardedSlot(void (Form::*handler)(Args...))
    {
        return [this, handler](Args... args) {
            guarded(*dialogs_, [&] { (static_cast<Form*>(this)->*handler)(args...); });
        };
    }

    // The slot of a start button: the run, then the ROI figures of what it left, each as an
    // outermost handler of its own, so that the figures follow also a run that failed.
    template <class Form>
    auto guardedRunSlot(void (Form::*handler)())
    {
        return [this, handler] {
            guarded(*dialogs_, [&] { (static_cast<Form*>(this)->*handler)(); });
            guarded(*dialogs_, [&] { refreshRoiTable(); });
        };
    }

    // The display bitmap, and the ROI tool once all controls exist.
    void createDisplayBitmap();
    // The texts of Edit_min and Edit_dis.
    LegendTexts legendTexts() const;
    // Sets the legend edits as the program, between the two steps of a view selection: each
    // text that changes runs its change handler at once, a handler of its own.
    void presetLegendEdits(const std::optional<LegendTexts>& texts);
    // Where a run shows the notices of its inputs: the tool window "ROI 統計".
    void showNotices(const std::vector<std::string>& texts);
    // The change of either legend edit.
    void legendEditChange();
    void saveDisplay();

    virtual void Edit_minChange() { legendEditChange(); }
    virtual void Edit_disChange() { legendEditChange(); }
    virtual void Image1MouseDown(int x, int y);
    // The readout, then the drag step.
    virtual void Image1MouseMove(int x, int y);
    virtual void Image1MouseUp(int x, int y);
    virtual void ListBox1Click() = 0;
    // The program's readout of the value under the mouse at column x, row y.
    virtual void showReadout(int x, int y, double value, ItemKind kind) = 0;

    // The view selection's front end.
    void show_legend_controls(bool shown) override;
    void set_readout_title(const std::string& title) override;
    void show_scale_labels(const LegendLabelTexts& texts) override;
    void clear_readout() override {}
    void set_window_caption(const std::string& caption) override;
    void render_display() override;

    ViewerState& viewer_;
    std::unique_ptr<Dialogs> dialogs_;

private:
    ViewerForm(ViewerState& state, std::unique_ptr<Dialogs> dialogs, const Design& design);

    struct Item {
        ItemKind kind;
        Plane* plane;
    };
    const Item* selectedItem() const;
    void makeRoiTool();
    // The figures of the ROI for every plane of the result list; raises only when it measures.
    void refreshRoiTable();

    std::vector<Item> items_;
    const QString method_;
    const std::string program_;
    const std::string caption_prefix_;
    QFrame* legend_panel_ = nullptr;
    QLabel* readout_title_ = nullptr;
    QImage title_;
    QImage bitmap_;
};

}  // namespace snr
