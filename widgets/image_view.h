// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QImage>
#include <QWidget>

namespace snr {

// The image control: shows a picture unscaled from its top-left corner and reports mouse
// press, move and release in its own coordinates. Moves are reported also without a button
// (for the readout) and, while a button holds the mouse, outside the control.
class ImageView : public QWidget {
    Q_OBJECT

public:
    explicit ImageView(QWidget* parent = nullptr);
    // The picture shown; it must outlive the view or be replaced first.
    void showPicture(const QImage* picture);
    const QImage* picture() const { return picture_; }

signals:
    void pressed(int x, int y);
    void moved(int x, int y);
    void released(int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    const QImage* picture_ = nullptr;
};

// The display bitmap: 256 x 256, 24 bits per pixel.
QImage make_display_bitmap();

}  // namespace snr
