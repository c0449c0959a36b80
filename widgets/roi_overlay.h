// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QPoint>
#include <QWidget>
#include <optional>

#include "core/roi_stats.h"

namespace snr {

// The region of interest over the image control. Shift + left drag draws it, Shift + click
// without a drag removes it; such a press never reaches the control, so it starts no window
// drag. Moves and releases still do (readout, end of a drag). The rectangle is painted over
// the control and nothing of it reaches a plane, the display bitmap or the window. Its
// corners are clamped to the pixels the control shows.
class RoiOverlay : public QWidget {
    Q_OBJECT

public:
    explicit RoiOverlay(QWidget* image);
    const std::optional<Roi>& roi() const { return roi_; }

signals:
    // A Shift drag or click has ended: the ROI is new or gone.
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPoint clamped(QPoint at) const;
    void drawTo(QPoint at);

    QWidget* image_;
    std::optional<QPoint> anchor_;  // the press of a Shift drag in progress
    bool dragged_ = false;
    std::optional<Roi> roi_;
};

}  // namespace snr
