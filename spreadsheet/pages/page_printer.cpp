#include "spreadsheet/page_printer.h"

#include <QFileInfo>
#include <QPdfWriter>
#include <cmath>

#include "spreadsheet/error.h"
#include "spreadsheet/page_layout.h"
#include "spreadsheet/pages/page_header.h"
#include "spreadsheet/render/metrics.h"
#include "spreadsheet/renderer.h"

namespace spreadsheet {

namespace {

constexpr double kPointsPerPixel = 72.0 / 96.0;
constexpr double kPointsPerInch = 72.0;
const QColor kHeadingLine(0x80, 0x80, 0x80);

const Font& normalFont(const Workbook& workbook) {
    for (const Style& style : workbook.styles)
        if (style.builtIn && style.builtInId == 0 && style.xfIndex < workbook.formats.size())
            return workbook.fontOf(workbook.formats[style.xfIndex]);
    static const Font fallback;
    return workbook.fonts.empty() ? fallback : workbook.fonts.front();
}

// Column letters above the cells and row numbers beside them, in boxes like the grid's, in the
// Normal style's font. The painter's origin is the headings' top-left corner, in 96 dpi pixels.
void paintHeadings(QPainter& painter, const Workbook& workbook, const Worksheet& sheet,
                   const CellRange& cells, QSize headings) {
    const int mdw = maximumDigitWidth(workbook);
    painter.save();
    painter.setFont(screenFont(normalFont(workbook)));
    const QPen line(kHeadingLine, 1, Qt::SolidLine, Qt::FlatCap);
    auto box = [&](const QRectF& rect, const QString& text) {
        painter.setPen(line);
        painter.drawRect(rect.adjusted(0.5, 0.5, -0.5, -0.5));
        painter.setPen(Qt::black);
        painter.drawText(rect, Qt::AlignCenter, text);
    };
    box(QRectF(0, 0, headings.width(), headings.height()), {});
    double x = headings.width();
    for (int c = cells.first.column; c <= cells.last.column; ++c) {
        const int width = columnWidthPixels(sheet, c, mdw);
        if (width > 0)
            box(QRectF(x, 0, width, headings.height()), columnName(c));
        x += width;
    }
    double y = headings.height();
    for (int r = cells.first.row; r <= cells.last.row; ++r) {
        const int height = rowHeightPixels(sheet, r);
        if (height > 0)
            box(QRectF(0, y, headings.width(), height), QString::number(r + 1));
        y += height;
    }
    painter.restore();
}

QByteArray xmpMetadata(const QString& title, const QString& author) {
    const QString xmp =
        QStringLiteral(
            "<?xpacket begin=\"\uFEFF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
            "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
            "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
            "rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
            "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">%1</rdf:li></rdf:Alt></dc:title>"
            "<dc:creator><rdf:Seq><rdf:li>%2</rdf:li></rdf:Seq></dc:creator>"
            "</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>")
            .arg(title.toHtmlEscaped(), author.toHtmlEscaped());
    return xmp.toUtf8();
}

HeaderFooterFields fieldsFor(const Worksheet& sheet, const PagePlan& plan, int pageIndex,
                             const PrintOptions& options) {
    HeaderFooterFields fields;
    const PageSetup& setup = sheet.pageSetup;
    fields.page = (setup.usePageNumber ? int(qint16(setup.firstPageNumber)) : 1) + pageIndex;
    fields.pages = int(plan.pages.size());
    fields.sheetName = sheet.name;
    if (!options.filePath.isEmpty()) {
        const QFileInfo file(options.filePath);
        fields.fileName = file.fileName();
        fields.folder = file.absolutePath() + u'/';
    }
    fields.printed = options.printed.isValid() ? options.printed : QDateTime::currentDateTime();
    fields.locale = options.locale;
    return fields;
}

}  // namespace

void paintPage(QPainter& painter, const Workbook& workbook, int sheetIndex, const PagePlan& plan,
               int pageIndex, const QPageLayout& layout, const PrintOptions& options) {
    if (sheetIndex < 0 || sheetIndex >= int(workbook.sheets.size()) || pageIndex < 0 ||
        pageIndex >= int(plan.pages.size()))
        throw SpreadsheetError(QStringLiteral("There is no page %1 to print.").arg(pageIndex + 1));
    const Worksheet& sheet = workbook.sheets[size_t(sheetIndex)];
    const PageSetup& setup = sheet.pageSetup;
    const CellRange& cells = plan.pages[size_t(pageIndex)];
    const QRectF paper = layout.fullRect(QPageLayout::Point);
    const QMarginsF margins = layout.margins(QPageLayout::Point);
    const QRectF room(margins.left(), margins.top(), paper.width() - margins.left() - margins.right(),
                      paper.height() - margins.top() - margins.bottom());

    const QSize headings = headingPixels(workbook, sheet, cells);
    const QSize block = rangePixelSize(workbook, sheetIndex, cells) + headings;
    const double scale = kPointsPerPixel * plan.scalePercent / 100.0;
    QPointF origin = room.topLeft();
    if (setup.centerHorizontally)
        origin.rx() += std::max(0.0, (room.width() - block.width() * scale) / 2);
    if (setup.centerVertically)
        origin.ry() += std::max(0.0, (room.height() - block.height() * scale) / 2);

    painter.save();
    painter.setClipRect(room, Qt::IntersectClip);
    painter.translate(origin);
    painter.scale(scale, scale);
    if (!headings.isEmpty())
        paintHeadings(painter, workbook, sheet, cells, headings);
    painter.translate(headings.width(), headings.height());
    paintRange(painter, workbook, sheetIndex, cells,
               PaintOptions{.printing = true, .locale = options.locale});
    painter.restore();

    const HeaderFooterFields fields = fieldsFor(sheet, plan, pageIndex, options);
    const Font& font = normalFont(workbook);
    const double left = margins.left();
    const double right = paper.width() - margins.right();
    drawHeaderFooter(painter, expandHeaderFooter(setup.header, fields, font), left, right,
                     setup.headerMargin * kPointsPerInch, true);
    drawHeaderFooter(painter, expandHeaderFooter(setup.footer, fields, font), left, right,
                     paper.height() - setup.footerMargin * kPointsPerInch, false);
}

int printSheet(const Workbook& workbook, int sheetIndex, QPagedPaintDevice& device,
               const PrintOptions& options) {
    if (sheetIndex < 0 || sheetIndex >= int(workbook.sheets.size()))
        throw SpreadsheetError(QStringLiteral("There is no sheet %1 to print.").arg(sheetIndex + 1));
    const QPageLayout layout = options.layout.value_or(pageLayoutFor(workbook.sheets[size_t(sheetIndex)]));
    const PagePlan plan = planPages(workbook, sheetIndex, layout);
    if (plan.pages.empty())
        throw SpreadsheetError(QStringLiteral("The sheet has nothing to print."));

    // The device draws on the whole sheet of paper; the margins are kept here, where the header and
    // footer are drawn inside them.
    QPageLayout paper(layout.pageSize(), layout.orientation(), QMarginsF());
    paper.setMode(QPageLayout::FullPageMode);
    if (!device.setPageLayout(paper))
        throw SpreadsheetError(QStringLiteral("The paper of the sheet's page setup cannot be used."));
    if (auto* pdf = dynamic_cast<QPdfWriter*>(&device)) {
        if (!options.title.isEmpty())
            pdf->setTitle(options.title);
        if (!options.author.isEmpty())
            pdf->setDocumentXmpMetadata(xmpMetadata(options.title, options.author));
    }

    QPainter painter;
    if (!painter.begin(&device))
        throw SpreadsheetError(
            QStringLiteral("The pages cannot be drawn: the printer or file is not ready."));
    const int pages = int(plan.pages.size());
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !device.newPage()) {
            painter.end();
            throw SpreadsheetError(QStringLiteral("Page %1 cannot be started.").arg(i + 1));
        }
        painter.save();
        painter.scale(device.logicalDpiX() / kPointsPerInch, device.logicalDpiY() / kPointsPerInch);
        // A device that keeps margins of its own puts the origin at their corner, not the paper's.
        if (const QPageLayout used = device.pageLayout(); used.mode() != QPageLayout::FullPageMode)
            painter.translate(-used.paintRect(QPageLayout::Point).topLeft());
        paintPage(painter, workbook, sheetIndex, plan, i, layout, options);
        painter.restore();
    }
    if (!painter.end())
        throw SpreadsheetError(QStringLiteral("The pages could not be finished."));
    return pages;
}

}  // namespace spreadsheet
