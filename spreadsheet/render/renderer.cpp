#include "spreadsheet/renderer.h"

#include <QLocale>

#include "spreadsheet/error.h"
#include "spreadsheet/render/grid.h"

namespace spreadsheet {

namespace {

int sheetToDraw(const Workbook& workbook, int sheetIndex, const CellRange& range) {
    if (sheetIndex < 0 || sheetIndex >= int(workbook.sheets.size()))
        throw SpreadsheetError(QStringLiteral("There is no sheet %1 to draw.").arg(sheetIndex + 1));
    if (!range.first.isValid() || !range.last.isValid() || range.last.row < range.first.row ||
        range.last.column < range.first.column)
        throw SpreadsheetError(QStringLiteral("The range to draw is not a range of the sheet."));
    return sheetIndex;
}

// `clip`: keep the drawing inside the range; a picture exactly the range's size needs no clip.
void paintGrid(QPainter& painter, render_detail::RenderGrid& grid, bool printing, bool clip) {
    render_detail::Canvas canvas{painter, QRect(0, 0, grid.width(), grid.height()), printing};
    painter.save();
    if (clip)
        painter.setClipRect(canvas.bounds, Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing, false);
    grid.applyConditionalFormats();
    // Text is planned first: where it runs into empty neighbours the grid lines between them go away.
    // Fills cover grid lines, text lies on fills, and borders are drawn last, over everything.
    const render_detail::TextPlan text(grid);
    render_detail::drawGridlines(grid, canvas);
    render_detail::drawFills(grid, canvas);
    text.draw(canvas);
    render_detail::drawBorders(grid, canvas);
    painter.restore();
}

}  // namespace

QSize rangePixelSize(const Workbook& workbook, int sheetIndex, const CellRange& range) {
    const render_detail::RenderGrid grid(workbook, sheetToDraw(workbook, sheetIndex, range), range);
    return {grid.width(), grid.height()};
}

void paintRange(QPainter& painter, const Workbook& workbook, int sheetIndex, const CellRange& range,
                const PaintOptions& options) {
    render_detail::RenderGrid grid(workbook, sheetToDraw(workbook, sheetIndex, range), range, options.locale);
    if (grid.width() > 0 && grid.height() > 0)
        paintGrid(painter, grid, options.printing, true);
}

QImage renderRange(const Workbook& workbook, int sheetIndex, const CellRange& range,
                   const PaintOptions& options) {
    render_detail::RenderGrid grid(workbook, sheetToDraw(workbook, sheetIndex, range), range, options.locale);
    if (qint64(grid.width()) * grid.height() > kMaxPicturePixels) {
        const QLocale english(QLocale::English);
        throw SpreadsheetError(
            QStringLiteral("The picture is too large: %1 is %2 by %3 pixels, more than the %4 pixels a "
                           "picture may have.")
                .arg(cellName(range.first) + QLatin1Char(':') + cellName(range.last),
                     english.toString(grid.width()), english.toString(grid.height()),
                     english.toString(kMaxPicturePixels)));
    }
    QImage image(std::max(grid.width(), 1), std::max(grid.height(), 1), QImage::Format_RGB32);
    image.fill(Qt::white);
    if (grid.width() == 0 || grid.height() == 0)
        return image.copy(0, 0, grid.width(), grid.height());
    QPainter painter(&image);
    paintGrid(painter, grid, false, false);
    painter.end();
    return image;
}

}  // namespace spreadsheet
