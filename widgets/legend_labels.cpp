// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/legend_labels.h"

#include "widgets/form_widgets.h"

namespace snr {

LegendLabels make_legend_labels(QWidget* panel)
{
    LegendLabels labels{};
    form::LabelStyle style;
    style.text = Qt::white;
    style.background = form::colour::navy;
    style.fixed_size = true;
    style.centred = true;
    for (int k = 0; k < legend::levels_labelled; ++k) {
        const std::string name = "Label_scale" + std::to_string(k + 1);
        const int height = k == legend::levels_labelled - 1 ? 13 : 12;
        labels[k] = form::label(panel, name.c_str(), QRect(1, 5 + 15 * k, 30, height), QStringLiteral("0"), style);
    }
    return labels;
}

void show_legend_label_texts(const LegendLabels& labels, const LegendLabelTexts& texts)
{
    for (int k = 0; k < legend::levels_labelled; ++k)
        form::set_text(labels[k], QString::fromStdString(texts[k]));
}

}  // namespace snr
