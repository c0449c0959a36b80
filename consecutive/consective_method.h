#pragma once

#include <QImage>
#include <QWidget>
#include <memory>

#include "consecutive/consecutive_run.h"
#include "core/qt/dialogs.h"
#include "core/qt/legend_labels.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace snr {

class FolderList;
class ImageView;
class ResultList;

// The main window of snr_consecutive. Controls and handlers keep their designer names.
class TForm1 : public QWidget {
    Q_OBJECT

public:
    // The window works on `state`, which outlives it. Without `dialogs` it shows real ones.
    explicit TForm1(ConsecutiveState& state, std::unique_ptr<Dialogs> dialogs = nullptr);
    ~TForm1() override;

    // Outer size of the designed window and the frame assumed around the client area.
    static constexpr int frame_width = 8;
    static constexpr int frame_height = 34;

    void FormCreate();
    void Button1Click();
    void CheckBox1Click();
    void ListBox1Click();
    void Edit_minChange();
    void Edit_disChange();
    void Image1MouseDown(int x, int y);
    void Image1MouseMove(int x, int y);
    void Image1MouseUp(int x, int y);
    void Button2Click();
    void Button3Click();

    // The display: the bitmap drawn by the last rendering.
    const QImage& displayBitmap() const { return bitmap_; }
    ItemKind selectedKind() const;

    QFrame* Panel1;
    QLabel* Label1;
    QLabel* Label2;
    FolderList* DirectoryListBox1;
    FolderList* DirectoryListBox2;
    QPushButton* Button1;
    QCheckBox* CheckBox1;
    QGroupBox* GroupBox1;
    QLabel* Label7;
    QLineEdit* edit_rfactor;
    QProgressBar* ProgressBar1;
    QFrame* Panel2;
    ResultList* ListBox1;
    ImageView* Image1;
    QGroupBox* GroupBox2;
    QLabel* Label5;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* Edit_min;
    QLineEdit* Edit_dis;
    QFrame* Panel4;
    LegendLabels Label_scale;
    QFrame* Panel5;
    QLabel* label_pos;
    QLabel* label_SI;
    QFrame* Panel3;
    QLabel* label_window;
    QFrame* Panel6;
    QPushButton* Button3;
    QPushButton* Button2;

private:
    void createControls();
    void connectHandlers();
    void render_display();
    void update_scale_labels();
    void legendEditChange();
    void setOuterWidth(int outer_width);

    ConsecutiveState& state_;
    std::unique_ptr<Dialogs> dialogs_;
    QImage title_;
    QImage bitmap_;
};

}  // namespace snr
