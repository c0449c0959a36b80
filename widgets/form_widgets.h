// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <optional>

#include "report/qt_text.h"

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Building blocks of the two designed windows: positions in the parent's client area,
// the form's font face and the palette of the designs.
namespace snr::form {

namespace colour {
inline const QColor money_green(192, 220, 192);
inline const QColor sky_blue(166, 202, 240);
inline const QColor teal(0, 128, 128);
inline const QColor medium_grey(160, 160, 164);
inline const QColor navy(0, 0, 128);
inline const QColor grey(128, 128, 128);
inline const QColor silver(192, 192, 192);
}  // namespace colour

inline const QString font_face = QStringLiteral("ＭＳ Ｐゴシック");

// Maps the designed face onto the installed IPA P Gothic; call once after the application starts.
void install_font_substitution();
// Makes Japanese (Japan) the application's default locale, so that Qt's own dialogs write
// sizes and dates in Japanese, and loads Qt's own Japanese texts (file dialogs, message box
// buttons) to match the windows; call once after the application starts. Without the
// catalogue the texts stay English.
bool install_japanese_qt_texts();

QFont font(int pixel_size, bool bold = false);

struct LabelStyle {
    int font_px = 12;
    std::optional<QColor> text;        // parent's text colour when unset
    std::optional<QColor> background;  // transparent when unset
    bool bold = false;
    bool fixed_size = false;           // the design's fixed-size labels; all keep their designed size
    bool centred = false;
};

// The grey 12-pixel captions of edits.
inline const LabelStyle grey_caption{.font_px = 12, .text = colour::grey};

QFrame* panel(QWidget* parent, const char* name, QRect geometry, QColor colour, bool bevel = true);
QGroupBox* group(QWidget* parent, const char* name, QRect geometry);
// A label showing its caption as plain text, fitted into its designed size: glyphs that would
// overrun its height move the line or, failing that, shrink the font; a caption that would
// overrun its width is condensed.
QLabel* label(QWidget* parent, const char* name, QRect geometry, const QString& caption, const LabelStyle& style);
// A new caption for a label, fitted as above.
void set_text(QLabel* text, const QString& caption);
// A caption that may be longer than its label, such as a file name: elided in the middle to
// the label's width, with `whole` (the full path; plain text) as its tooltip.
void set_elided_text(QLabel* text, const QString& caption, const QString& whole);
// The row, from the label's top, where a label made here starts its line.
int line_offset(const QLabel* text);
// Condenses the font of a control whose caption would overrun its designed width.
void condense_to_fit(QWidget* widget);
QPushButton* button(QWidget* parent, const char* name, QRect geometry, const QString& caption);
QLineEdit* edit(QWidget* parent, const char* name, QRect geometry, const QString& text);

}  // namespace snr::form
