// SPDX-License-Identifier: BSD-3-Clause
#include "report/pdf_sheet.h"

#include <QFontMetricsF>
#include <QPageSize>
#include <QPaintEngine>
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

// A paint device on which nothing is painted, with the metrics of the sheet's writer: the pages
// are laid out as on the writer, and no picture is compressed nor any text written.
class PdfSheet::Blank : public QPaintDevice {
public:
    explicit Blank(const QPdfWriter& writer) : writer_(writer) {}
    QPaintEngine* paintEngine() const override { return &engine_; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth: return writer_.width();
        case PdmHeight: return writer_.height();
        case PdmWidthMM: return writer_.widthMM();
        case PdmHeightMM: return writer_.heightMM();
        case PdmNumColors: return writer_.colorCount();
        case PdmDepth: return writer_.depth();
        case PdmDpiX: return writer_.logicalDpiX();
        case PdmDpiY: return writer_.logicalDpiY();
        case PdmPhysicalDpiX: return writer_.physicalDpiX();
        case PdmPhysicalDpiY: return writer_.physicalDpiY();
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
        }
        return QPaintDevice::metric(metric);
    }

private:
    class Engine : public QPaintEngine {
    public:
        Engine() : QPaintEngine(QPaintEngine::AllFeatures) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        using QPaintEngine::drawEllipse;
        using QPaintEngine::drawLines;
        using QPaintEngine::drawPoints;
        using QPaintEngine::drawPolygon;
        using QPaintEngine::drawRects;
        void drawRects(const QRectF*, int) override {}
        void drawLines(const QLineF*, int) override {}
        void drawEllipse(const QRectF&) override {}
        void drawPath(const QPainterPath&) override {}
        void drawPoints(const QPointF*, int) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawTextItem(const QPointF&, const QTextItem&) override {}
        void drawTiledPixmap(const QRectF&, const QPixmap&, const QPointF&) override {}
        void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}
        Type type() const override { return QPaintEngine::User; }
    };

    const QPdfWriter& writer_;
    mutable Engine engine_;
};

PdfSheet::PdfSheet(QIODevice& device, const QString& title, const QString& footer, QPageLayout::Orientation orientation)
    : PdfSheet(&device, Document{title, footer, footer, orientation}, 0)
{
}

PdfSheet::PdfSheet(QIODevice* device, const Document& document, int pages)
    : writer_(device != nullptr ? device : &unwritten_), footer_(document.footer), pages_(pages)
{
    writer_.setPageSize(QPageSize(QPageSize::A4));
    writer_.setPageOrientation(document.orientation);
    writer_.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer_.setResolution(72);
    writer_.setTitle(document.title);
    writer_.setCreator(document.creator);
    if (device != nullptr) {
        painter_.begin(&writer_);
    } else {
        blank_ = std::make_unique<Blank>(writer_);
        painter_.begin(blank_.get());
    }
    // Pictures keep every grey level: no JPEG.
    painter_.setRenderHint(QPainter::LosslessImageRendering);
    cursor_ = content().top();
}

PdfSheet::~PdfSheet()
{
    draw_footer();
    painter_.end();
}

void PdfSheet::write(QIODevice& device, const Document& document, const std::function<void(PdfSheet&)>& fill)
{
    int pages = 0;
    {
        PdfSheet counting(nullptr, document, 0);
        fill(counting);
        pages = counting.page_;
    }
    PdfSheet sheet(&device, document, pages);
    fill(sheet);
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
    const QString number = pages_ > 0 ? QStringLiteral("%1 / %2 ページ").arg(page_).arg(pages_)
                                      : QStringLiteral("%1 ページ").arg(page_);
    painter_.drawText(line, Qt::AlignRight | Qt::AlignVCenter, number);
    painter_.restore();
}

std::unique_ptr<QTextLayout> PdfSheet::laid_out(const QString& text, double width, double size, bool right) const
{
    QString lines = text;
    lines.replace(QLatin1Char('\n'), QChar::LineSeparator);
    auto layout = std::make_unique<QTextLayout>(lines, font(size), &writer_);
    layout->setTextOption(wrapping(right));
    layout->beginLayout();
    double top = 0;
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, top));
        top += line.height();
    }
    layout->endLayout();
    return layout;
}

void PdfSheet::draw_text(const QRectF& box, const QString& text, double size, bool right)
{
    laid_out(text, box.width(), size, right)->draw(&painter_, box.topLeft());
}

double PdfSheet::text_height(const QString& text, double width, double size) const
{
    const QFontMetricsF metrics(font(size), &writer_);
    return std::max(laid_out(text, width, size, false)->boundingRect().height(), metrics.height());
}

QString PdfSheet::fitted_path(const QString& path, double width, int lines, double size) const
{
    const auto fits = [&](const QString& text) {
        return laid_out(text, width - 2 * cell_padding, size, false)->lineCount() <= lines;
    };
    if (fits(path))
        return path;
    // `keep` characters of the path, a third of them from its beginning; never half a pair of
    // surrogates.
    const auto elided = [&](qsizetype keep) {
        qsizetype head = keep / 3;
        if (head > 0 && path[head - 1].isHighSurrogate())
            --head;
        qsizetype tail = path.size() - (keep - head);
        if (tail < path.size() && path[tail].isLowSurrogate())
            ++tail;
        return path.left(head) + QStringLiteral("…") + path.mid(tail);
    };
    // The most characters that fit: `low` does, `high` does not.
    qsizetype low = 0, high = path.size();
    while (high - low > 1) {
        const qsizetype keep = (low + high) / 2;
        (fits(elided(keep)) ? low : high) = keep;
    }
    return elided(low);
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
    painter_.setPen(Qt::black);
    draw_text(block, text, size, false);
}

double PdfSheet::row_height(const std::vector<TableColumn>& columns, const std::vector<QString>& texts,
                            double size) const
{
    double height = 0;
    for (std::size_t k = 0; k < columns.size() && k < texts.size(); ++k)
        height = std::max(height, text_height(texts[k], columns[k].width - 2 * cell_padding, size));
    return height + 2 * cell_padding;
}

double PdfSheet::row_at(const QPointF& top_left, const std::vector<TableColumn>& columns,
                        const std::vector<QString>& texts, double size, bool header)
{
    const double height = row_height(columns, texts, size);
    draw_row(top_left, height, columns, texts, size, header);
    return height;
}

void PdfSheet::draw_row(const QPointF& top_left, double height, const std::vector<TableColumn>& columns,
                        const std::vector<QString>& texts, double size, bool header)
{
    double total = 0;
    for (const auto& column : columns)
        total += column.width;
    painter_.save();
    if (header)
        painter_.fillRect(QRectF(top_left.x(), top_left.y(), total, height), header_fill);
    painter_.setPen(Qt::black);
    double left = top_left.x();
    for (std::size_t k = 0; k < columns.size(); ++k) {
        const QRectF cell(left, top_left.y(), columns[k].width, height);
        if (k < texts.size())
            draw_text(cell.adjusted(cell_padding, cell_padding, -cell_padding, -cell_padding), texts[k], size,
                      columns[k].right);
        left += columns[k].width;
    }
    painter_.setPen(QPen(rule_colour, header ? 0.6 : 0.25));
    painter_.drawLine(QPointF(top_left.x(), top_left.y() + height),
                      QPointF(top_left.x() + total, top_left.y() + height));
    painter_.restore();
}

void PdfSheet::table(const Table& table, double size)
{
    std::vector<QString> titles;
    for (const auto& column : table.columns)
        titles.push_back(column.title);
    const double titles_height = row_height(table.columns, titles, size);
    draw_row(place(titles_height).topLeft(), titles_height, table.columns, titles, size, true);
    for (const auto& row : table.rows) {
        const int before = page_;
        const double height = row_height(table.columns, row, size);
        // A row that would not fit moves to the next page, and the titles go with it.
        if (cursor_ + height > content().bottom())
            new_page();
        if (page_ != before)
            draw_row(place(titles_height).topLeft(), titles_height, table.columns, titles, size, true);
        draw_row(place(height).topLeft(), height, table.columns, row, size, false);
    }
}

}  // namespace snr::report
