// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/form_widgets.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QTextDocument>
#include <QTranslator>
#include <algorithm>
#include <qdrawutil.h>

namespace snr::form {

void install_font_substitution() { QFont::insertSubstitution(font_face, QStringLiteral("IPAPGothic")); }

bool install_japanese_qt_texts()
{
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}

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

namespace {

// A group box without caption: an etched frame on its designed rectangle, over the parent's
// colour (the style's own box starts lower and fills darker).
class EtchedGroup : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        qDrawShadeRect(&painter, rect(), palette(), true, 1);
    }
};

}  // namespace

QGroupBox* group(QWidget* parent, const char* name, QRect geometry)
{
    auto* box = new EtchedGroup(parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    return box;
}

// The designs were measured with another face; IPA P Gothic runs a little wider, so a caption
// that would overrun its designed width is condensed to fit. `needed` measures the caption in
// the control's plain font.
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

void condense_to_fit(QWidget* widget)
{
    condense(widget, widget->width(), [widget] { return widget->sizeHint().width(); });
}

namespace {

constexpr int smallest_px = 8;
// Antialiasing fainter than this (of 255) is not seen; it may fall outside a label.
constexpr int visible_alpha = 32;

// A label that draws its line where the fit below puts it.
class FittedLabel : public QLabel {
public:
    FittedLabel(QWidget* parent, int font_px) : QLabel(parent), designed_px(font_px) {}
    const int designed_px;  // the font size of the design
    int line_offset = 0;    // rows from the top to the top of the line

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(rect().translated(0, line_offset), static_cast<int>(alignment()) | Qt::TextDontClip, text());
    }
};

struct Rows {
    int first;
    int last;
};

// The rows of a caption's visible glyph pixels, counted from the top of a top-aligned line.
std::optional<Rows> glyph_rows(const QFont& font, const QString& caption)
{
    const QFontMetrics metrics(font);
    const int line = metrics.height();
    QImage canvas(metrics.horizontalAdvance(caption) + 2 * line, 3 * line, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setFont(font);
    painter.drawText(QRect(line, line, canvas.width() - 2 * line, line),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, caption);
    painter.end();
    std::optional<Rows> rows;
    for (int y = 0; y < canvas.height(); ++y) {
        const auto* pixels = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        if (std::none_of(pixels, pixels + canvas.width(), [](QRgb pixel) { return qAlpha(pixel) >= visible_alpha; }))
            continue;
        if (!rows)
            rows = Rows{y - line, y - line};
        rows->last = y - line;
    }
    return rows;
}

// The designs give most labels the height of their font's size, which IPA P Gothic's glyphs
// overrun (descenders, parentheses, the tops of kana). The line moves by what it overruns,
// and only where the glyphs are taller than the label does the font shrink. Returns the row
// where the line then starts.
int fit_height(const FittedLabel* text, QFont& font)
{
    for (int px = text->designed_px; px >= smallest_px; --px) {
        font.setPixelSize(px);
        const auto rows = glyph_rows(font, text->text());
        if (!rows)
            return 0;
        if (rows->last - rows->first < text->height() || px == smallest_px)
            return rows->first < 0 ? -rows->first : std::min(0, text->height() - 1 - rows->last);
    }
    return 0;
}

void fit_width(const QLabel* text, QFont& font)
{
    font.setStretch(QFont::Unstretched);
    const int plain = QFontMetrics(font).horizontalAdvance(text->text());
    if (plain > text->width())
        font.setStretch(std::max(60, 100 * text->width() / plain));
}

// Fits a label's caption into its designed size by the two rules above.
void fit(FittedLabel* text)
{
    QFont font = text->font();
    const int offset = fit_height(text, font);
    fit_width(text, font);
    if (font != text->font())
        text->setFont(font);
    if (offset != text->line_offset) {
        text->line_offset = offset;
        text->update();
    }
}

}  // namespace

QLabel* label(QWidget* parent, const char* name, QRect geometry, const QString& caption, const LabelStyle& style)
{
    auto* text = new FittedLabel(parent, style.font_px);
    text->setTextFormat(Qt::PlainText);  // captions show file names and numbers, never markup
    text->setText(caption);
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
    text->setGeometry(geometry);
    fit(text);
    return text;
}

void set_text(QLabel* text, const QString& caption)
{
    text->setText(caption);
    if (auto* fitted = dynamic_cast<FittedLabel*>(text))
        fit(fitted);
}

void set_elided_text(QLabel* text, const QString& caption, const QString& whole)
{
    QFont plain = text->font();
    plain.setStretch(QFont::Unstretched);
    set_text(text, QFontMetrics(plain).elidedText(caption, Qt::ElideMiddle, text->width()));
    text->setToolTip(whole.isEmpty() ? QString() : Qt::convertFromPlainText(whole, Qt::WhiteSpaceNoWrap));
}

int line_offset(const QLabel* text)
{
    const auto* fitted = dynamic_cast<const FittedLabel*>(text);
    return fitted != nullptr ? fitted->line_offset : 0;
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
