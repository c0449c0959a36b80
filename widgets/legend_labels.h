// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QLabel>
#include <array>

#include "window_model/legend_edit.h"

namespace snr {

using LegendLabels = std::array<QLabel*, legend::levels_labelled>;

// Label_scale1 ... Label_scale10: white on navy, centred, 15 pixels apart from top 5.
LegendLabels make_legend_labels(QWidget* panel);

void show_legend_label_texts(const LegendLabels& labels, const LegendLabelTexts& texts);

}  // namespace snr
