// SPDX-License-Identifier: BSD-3-Clause
#include "report/pdf_sheet.h"

#include <QPageSize>
#include <QTextOption>
#include <algorithm>

namespace snr::report {

namespace {

constexpr double footer_height = 18;
constexpr double cell_padding = 2.5;
const QColor rule_colour(0x80, 0x80, 0x80);
const QColor header_fill(0xe8, 0xe8, 0xf0);

QTextOption wrapping(bool right)
{
    QTextOption option(right ? Qt::AlignRight | Qt::AlignTop : Qt::AlignLeft | Qt::AlignTop);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

}  // namespace

PdfSheet::PdfSheet(QIODevice& device, const QString& title, const QString& footer, QPageLayout::Orientation orientation)
    : writer_(&device), footer_(footer)
{
    writer_.setPageSize(QPageSize(QPageSize::A4));
    writer_.setPageOrientation(orientation);
    writer_.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer_.setResolution(72);
    writer_.setTitle(title);
    writer_.setCreator(footer);
    painter_.begin(&writer_);
    // Pictures keep every grey level: no JPEG.
    painter_.setRenderHint(QPainter::LosslessImageRendering);
    cursor_ = content().top();
}

PdfSheet::~PdfSheet()
{
    draw_footer();
    painter_.end();
}

QRectF PdfSheet::content() const
{
    const QRectF page = writer_.pageLayout().fullRectPoints();
    return page.adjusted(margin, margin, -margin, -margin - footer_height);
}

QRectF PdfSheet::place(double height)
{
    const QRectF area = content();
    if (cursor_ + height > area.bottom() && cursor_ > area.top())
        new_page();
    const QRectF block(area.left(), cursor_, area.width(), height);
    cursor_ += height;
    return block;
}

void PdfSheet::new_page()
{
    draw_footer();
    writer_.newPage();
    ++page_;
    cursor_ = content().top();
}

QFont PdfSheet::font(double size)
{
    QFont face(QStringLiteral("IPAPGothic"));
    face.setPointSizeF(size);
    return face;
}

void PdfSheet::draw_footer()
{
    const QRectF area = content();
    const QRectF line(area.left(), area.bottom() + footer_height - 10, area.width(), 10);
    painter_.save();
    painter_.setFont(font(7));
    painter_.setPen(rule_colour);
    painter_.drawLine(QPointF(area.left(), line.top() - 3), QPointF(area.right(), line.top() - 3));
    painter_.setPen(Qt::black);
    painter_.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, footer_);
    painter_.drawText(line, Qt::AlignRight | Qt::AlignVCenter, QString::number(page_) + QStringLiteral(" ページ"));
    painter_.restore();
}

double PdfSheet::text_height(const QString& text, double width, double size) const
{
    const QFontMetricsF metrics(font(size), const_cast<QPdfWriter*>(&writer_));
    const QRectF bounds = metrics.boundingRect(QRectF(0, 0, width, 1e6), Qt::TextWrapAnywhere, text);
    return std::max(bounds.height(), metrics.height());
}

void PdfSheet::title(const QString& text)
{
    const QRectF block = place(26);
    painter_.setFont(font(15));
    painter_.setPen(Qt::black);
    painter_.drawText(block, Qt::AlignLeft | Qt::AlignTop, text);
}

void PdfSheet::heading(const QString& text)
{
    // A heading stays with what follows it: it moves on when less than a fifth of a page is left.
    if (content().bottom() - cursor_ < content().height() / 5)
        new_page();
    skip(6);
    const QRectF block = place(17);
    painter_.setFont(font(11));
    painter_.setPen(Qt::black);
    painter_.drawText(block, Qt::AlignLeft | Qt::AlignTop, text);
    painter_.setPen(QPen(rule_colour, 0.5));
    painter_.drawLine(block.bottomLeft() - QPointF(0, 2), block.bottomRight() - QPointF(0, 2));
}

void PdfSheet::paragraph(const QString& text, double size)
{
    const double width = content().width();
    const QRectF block = place(text_height(text, width, size) + 2);
    painter_.setFont(font(size));
    painter_.setPen(Qt::black);
    painter_.drawText(block, text, wrapping(false));
}

double PdfSheet::row_height(const std::vector<TableColumn>& columns, const std::vector<QString>& texts,
                            double size) const
{
    double height = 0;
    for (std::size_t k = 0; k < columns.size() && k < texts.size(); ++k)
        height = std::max(height, text_height(texts[k], columns[k].width - 2 * cell_padding, size));
    return height + 2 * cell_padding;
}

void PdfSheet::row_at(const QPointF& top_left, const std::vector<TableColumn>& columns,
                      const std::vector<QString>& texts, double size, bool header)
{
    const double height = row_height(columns, texts, size);
    double total = 0;
    for (const auto& column : columns)
        total += column.width;
    painter_.save();
    if (header)
        painter_.fillRect(QRectF(top_left.x(), top_left.y(), total, height), header_fill);
    painter_.setFont(font(size));
    painter_.setPen(Qt::black);
    double left = top_left.x();
    for (std::size_t k = 0; k < columns.size(); ++k) {
        const QRectF cell(left, top_left.y(), columns[k].width, height);
        if (k < texts.size())
            painter_.drawText(cell.adjusted(cell_padding, cell_padding, -cell_padding, -cell_padding), texts[k],
                              wrapping(columns[k].right));
        left += columns[k].width;
    }
    painter_.setPen(QPen(rule_colour, header ? 0.6 : 0.25));
    painter_.drawLine(QPointF(top_left.x(), top_left.y() + height),
                      QPointF(top_left.x() + total, top_left.y() + height));
    painter_.restore();
}

void PdfSheet::table_row(const std::vector<TableColumn>& columns, const std::vector<QString>& texts, double size,
                         bool header)
{
    row_at(place(row_height(columns, texts, size)).topLeft(), columns, texts, size, header);
}

void PdfSheet::table(const Table& table, double size)
{
    std::vector<QString> titles;
    for (const auto& column : table.columns)
        titles.push_back(column.title);
    table_row(table.columns, titles, size, true);
    for (const auto& row : table.rows) {
        const int before = page_;
        // A row that would not fit moves to the next page, and the titles go with it.
        if (cursor_ + row_height(table.columns, row, size) > content().bottom())
            new_page();
        if (page_ != before)
            table_row(table.columns, titles, size, true);
        table_row(table.columns, row, size, false);
    }
}

}  // namespace snr::report
