#include "core/qt/form_widgets.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace snr::form {

void install_font_substitution() { QFont::insertSubstitution(font_face, QStringLiteral("IPAPGothic")); }

QFont font(int pixel_size, bool bold)
{
    QFont result(font_face);
    result.setPixelSize(pixel_size);
    result.setBold(bold);
    return result;
}

static void fill(QWidget* widget, QColor colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QFrame* panel(QWidget* parent, const char* name, QRect geometry, QColor colour, bool bevel)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(name);
    frame->setGeometry(geometry);
    frame->setFrameStyle(bevel ? (QFrame::Panel | QFrame::Raised) : QFrame::NoFrame);
    frame->setLineWidth(1);
    fill(frame, colour);
    return frame;
}

QGroupBox* group(QWidget* parent, const char* name, QRect geometry)
{
    auto* box = new QGroupBox(parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    return box;
}

// The designs were measured with the original face; IPA P Gothic runs a little wider, so a
// caption that would overrun its designed width is condensed to fit. `needed` measures the
// caption in the control's plain font.
template <class Measure>
static void condense(QWidget* widget, int width, Measure needed)
{
    QFont font = widget->font();
    font.setStretch(QFont::Unstretched);
    widget->setFont(font);
    const int plain = needed();
    if (plain <= width || plain == 0)
        return;
    font.setStretch(std::max(60, 100 * width / plain));
    widget->setFont(font);
}

static void fit_caption(QLabel* text, int width)
{
    condense(text, width, [text] { return text->fontMetrics().horizontalAdvance(text->text()); });
}

QLabel* label(QWidget* parent, const char* name, QRect geometry, const QString& caption, const LabelStyle& style)
{
    auto* text = new QLabel(caption, parent);
    text->setObjectName(name);
    text->setFont(font(style.font_px, style.bold));
    text->setAlignment((style.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
    if (style.text) {
        QPalette palette = text->palette();
        palette.setColor(QPalette::WindowText, *style.text);
        text->setPalette(palette);
    }
    if (style.background)
        fill(text, *style.background);
    if (!style.fixed_size)
        fit_caption(text, geometry.width());
    text->setGeometry(geometry);
    return text;
}

void condense_to_fit(QWidget* widget)
{
    condense(widget, widget->width(), [widget] { return widget->sizeHint().width(); });
}

void condense_for(QLabel* text, const QString& longest)
{
    condense(text, text->width(), [text, &longest] { return text->fontMetrics().horizontalAdvance(longest); });
}

void set_caption(QLabel* text, const QString& caption, int designed_width)
{
    text->setText(caption);
    fit_caption(text, designed_width);
    text->resize(designed_width, text->height());
}

QPushButton* button(QWidget* parent, const char* name, QRect geometry, const QString& caption)
{
    auto* push = new QPushButton(caption, parent);
    push->setObjectName(name);
    push->setGeometry(geometry);
    return push;
}

QLineEdit* edit(QWidget* parent, const char* name, QRect geometry, const QString& text)
{
    auto* line = new QLineEdit(text, parent);
    line->setObjectName(name);
    line->setGeometry(geometry);
    return line;
}

}  // namespace snr::form
