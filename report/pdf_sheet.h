// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QBuffer>
#include <QFont>
#include <QIODevice>
#include <QPainter>
#include <QPdfWriter>
#include <QString>
#include <QTextLayout>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "report/qt_text.h"

namespace snr::report {

// A column of a table: its title, width in points and whether its texts stand right (numbers).
struct TableColumn {
    QString title;
    double width = 60;
    bool right = false;
};

// Texts in rows under column titles; a text too wide for its column wraps.
struct Table {
    std::vector<TableColumn> columns;
    std::vector<std::vector<QString>> rows;
};

// A4 pages (portrait or landscape) filled from the top: blocks are placed under each other at
// a cursor, and a block that does not fit below it starts a new page. Everything is in points
// (the writer's resolution is 72 dpi; the PDF keeps text and lines as vectors and the fonts'
// design metrics). Every page gets a footer. Texts are laid out once for their height and
// drawn from that layout, so a text always has the room it was measured for.
class PdfSheet {
public:
    static constexpr double margin = 42;  // points: about 15 mm, and a multiple of 3 (4 pixels at 96 dpi)

    // Writes onto `device`, which must be open; `footer` stands at the foot of every page
    // beside its number. The document's creator is the footer.
    PdfSheet(QIODevice& device, const QString& title, const QString& footer,
             QPageLayout::Orientation orientation = QPageLayout::Portrait);
    ~PdfSheet();

    // The document's title and creator (the program and its version) and the footer of its pages.
    struct Document {
        QString title, creator, footer;
        QPageLayout::Orientation orientation = QPageLayout::Portrait;
    };
    // The pages `fill` makes, drawn twice: first laid out only (nothing is painted or written),
    // to count them, then onto `device` (open) with "N / M ページ" in every footer. `fill`
    // must make the same pages each time.
    static void write(QIODevice& device, const Document& document, const std::function<void(PdfSheet&)>& fill);
    PdfSheet(const PdfSheet&) = delete;
    PdfSheet& operator=(const PdfSheet&) = delete;

    QPainter& painter() { return painter_; }
    // False while write() only lays the pages out: a picture or chart need not be made then.
    bool painting() const { return blank_ == nullptr; }
    // The page inside the margins, less the footer.
    QRectF content() const;
    double cursor() const { return cursor_; }
    int page() const { return page_; }

    // A block of `height` across the content at the cursor, on a new page when it does not fit
    // below it on this one; the cursor moves below the block.
    QRectF place(double height);
    void skip(double height) { cursor_ += height; }
    void new_page();

    // The face every text is set in, at a size in points.
    static QFont font(double size);

    void title(const QString& text);
    void heading(const QString& text);
    // A paragraph that wraps at the content's width.
    void paragraph(const QString& text, double size = 8.5);
    // Rows go to the next page whole; the column titles are repeated there.
    void table(const Table& table, double size = 8);
    // The height a text takes in a given width.
    double text_height(const QString& text, double width, double size) const;
    // The height of a row of a table, and a row drawn at a place of its own (beside a figure,
    // say), which moves no cursor and starts no page; `header` draws it as the column titles.
    // row_at returns the height it drew.
    double row_height(const std::vector<TableColumn>& columns, const std::vector<QString>& texts, double size) const;
    double row_at(const QPointF& top_left, const std::vector<TableColumn>& columns, const std::vector<QString>& texts,
                  double size, bool header);
    // A path for a table's column `width` wide: whole where it takes at most `lines` lines,
    // else with as much of its beginning and (twice as much) of its end as fit them and "…"
    // between, so that the end, which tells files apart, is never lost.
    QString fitted_path(const QString& path, double width, int lines = 3, double size = 8) const;

private:
    class Blank;
    PdfSheet(QIODevice* device, const Document& document, int pages);
    // The text in lines of `width`, wrapped at word boundaries or, in a longer word, anywhere.
    std::unique_ptr<QTextLayout> laid_out(const QString& text, double width, double size, bool right) const;
    void draw_text(const QRectF& box, const QString& text, double size, bool right);
    void draw_footer();
    // A row of `height` (row_height) at `top_left`.
    void draw_row(const QPointF& top_left, double height, const std::vector<TableColumn>& columns,
                  const std::vector<QString>& texts, double size, bool header);

    QBuffer unwritten_;  // where a sheet that only lays out its pages has its writer write nothing
    QPdfWriter writer_;
    std::unique_ptr<Blank> blank_;  // what such a sheet paints on
    QPainter painter_;
    QString footer_;
    double cursor_ = 0;
    int page_ = 1;
    int pages_ = 0;  // 0: not known
};

}  // namespace snr::report
