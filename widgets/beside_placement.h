// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QRect>
#include <QSize>

namespace snr {

// Where a tool window of `wanted` size (frame included) goes beside a main window `main`
// (frame included) on a screen whose free area is `free`: right of it, else left of it, else
// below it, else above it, `gap` pixels away, level with its top (or its left) as far as the
// screen allows. Where no side has room for the whole window it goes on the side where most of
// it fits, made smaller to fit there. Never over the main window and always inside the free
// area, unless the main window leaves less than `least` on every side: then it is only kept
// inside the free area.
QRect place_beside(const QRect& main, QSize wanted, const QRect& free, int gap = 8, QSize least = {240, 160});

}  // namespace snr
