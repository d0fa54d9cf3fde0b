#include "spreadsheet/renderer.h"

#include "spreadsheet/error.h"
#include "spreadsheet/render_grid.h"

namespace spreadsheet {

namespace {

// A picture larger than this is a mistake in the range, not a sheet anyone means to look at.
constexpr qint64 kMaxPixels = 200'000'000;

}  // namespace

QImage renderRange(const Workbook& workbook, int sheetIndex, const CellRange& range) {
    if (sheetIndex < 0 || sheetIndex >= int(workbook.sheets.size()))
        throw SpreadsheetError(QStringLiteral("There is no sheet %1 to draw.").arg(sheetIndex + 1));
    if (!range.first.isValid() || !range.last.isValid() || range.last.row < range.first.row ||
        range.last.column < range.first.column)
        throw SpreadsheetError(QStringLiteral("The range to draw is not a range of the sheet."));

    render_detail::RenderGrid grid(workbook, workbook.sheets[size_t(sheetIndex)], range);
    if (qint64(grid.width()) * grid.height() > kMaxPixels)
        throw SpreadsheetError(QStringLiteral("The range is too large to draw as a picture."));
    QImage image(std::max(grid.width(), 1), std::max(grid.height(), 1), QImage::Format_RGB32);
    image.fill(Qt::white);
    if (grid.width() == 0 || grid.height() == 0)
        return image.copy(0, 0, grid.width(), grid.height());

    // Text is planned first: where it runs into empty neighbours the grid lines between them go away.
    // Fills cover grid lines, text lies on fills, and borders are drawn last, over everything.
    const render_detail::TextPlan text(grid);
    render_detail::drawGridlines(grid, image);
    render_detail::drawFills(grid, image);
    text.draw(image);
    render_detail::drawBorders(grid, image);
    return image;
}

}  // namespace spreadsheet
