// Grid lines and cell fills.

#include "spreadsheet/render/grid.h"

namespace spreadsheet::render_detail {

namespace {

// The default grid line colour of a spreadsheet screen; a sheet may choose a palette colour instead.
constexpr QRgb kDefaultGridColor = 0xD0D7E5;

// The fill patterns 2 to 18 as 8 x 8 pixel tiles, one byte a row, the high bit leftmost; a set bit
// shows the pattern (foreground) colour.
constexpr quint8 kPatterns[17][8] = {
    {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55},  // 2: 50 % grey
    {0x77, 0xDD, 0x77, 0xDD, 0x77, 0xDD, 0x77, 0xDD},  // 3: 75 % grey
    {0x88, 0x22, 0x88, 0x22, 0x88, 0x22, 0x88, 0x22},  // 4: 25 % grey
    {0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00},  // 5: horizontal stripe
    {0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC},  // 6: vertical stripe
    {0x33, 0x66, 0xCC, 0x99, 0x33, 0x66, 0xCC, 0x99},  // 7: reverse diagonal stripe
    {0xCC, 0x66, 0x33, 0x99, 0xCC, 0x66, 0x33, 0x99},  // 8: diagonal stripe
    {0xCC, 0xCC, 0x33, 0x33, 0xCC, 0xCC, 0x33, 0x33},  // 9: diagonal crosshatch
    {0xFF, 0x33, 0xFF, 0xCC, 0xFF, 0x33, 0xFF, 0xCC},  // 10: thick diagonal crosshatch
    {0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00},  // 11: thin horizontal stripe
    {0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88},  // 12: thin vertical stripe
    {0x11, 0x22, 0x44, 0x88, 0x11, 0x22, 0x44, 0x88},  // 13: thin reverse diagonal stripe
    {0x88, 0x44, 0x22, 0x11, 0x88, 0x44, 0x22, 0x11},  // 14: thin diagonal stripe
    {0xFF, 0x88, 0x88, 0x88, 0xFF, 0x88, 0x88, 0x88},  // 15: thin horizontal crosshatch
    {0x88, 0x55, 0x22, 0x55, 0x88, 0x55, 0x22, 0x55},  // 16: thin diagonal crosshatch
    {0x80, 0x00, 0x08, 0x00, 0x80, 0x00, 0x08, 0x00},  // 17: 12.5 % grey
    {0x80, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00},  // 18: 6.25 % grey
};

void fillArea(const RenderGrid& grid, Canvas& canvas, const QRect& area, const CellFormat& format) {
    const QColor foreground = QColor::fromRgb(grid.workbook.color(format.fillForeground, false));
    if (format.fillPattern == 1) {
        canvas.painter.fillRect(area, foreground);
        return;
    }
    if (format.fillPattern < 2 || format.fillPattern > 18)
        return;
    canvas.painter.fillRect(area, QColor::fromRgb(grid.workbook.color(format.fillBackground, true)));
    const quint8* tile = kPatterns[format.fillPattern - 2];
    const QRect clipped = area.intersected(canvas.bounds);
    // Tiles are anchored to the range, so a pattern runs on unbroken from cell to cell. The pattern's
    // pixels are drawn as runs of squares, not as an image, so that a page keeps them as shapes.
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        const quint8 bits = tile[y & 7];
        int x = clipped.left();
        while (x <= clipped.right()) {
            if (!(bits & (0x80 >> (x & 7)))) {
                ++x;
                continue;
            }
            const int start = x;
            while (x <= clipped.right() && (bits & (0x80 >> (x & 7))))
                ++x;
            canvas.painter.fillRect(QRect(start, y, x - start, 1), foreground);
        }
    }
}

}  // namespace

void drawGridlines(const RenderGrid& grid, Canvas& canvas) {
    const SheetWindow& window = grid.sheet.window;
    if (canvas.printing ? !grid.sheet.pageSetup.printGridlines : !window.showGridlines)
        return;
    const QRgb color =
        window.defaultGridColor ? kDefaultGridColor : grid.workbook.color(window.gridColorIndex);
    const LineShape line = shapeOf(LineStyle::Thin);
    const CellRange& range = grid.range;
    // Each cell owns the grid lines on its right and below. A printed range also gets the lines on its
    // left and top edges, which a screen picture leaves to the cells before it.
    const int firstRow = canvas.printing ? range.first.row - 1 : range.first.row;
    const int firstColumn = canvas.printing ? range.first.column - 1 : range.first.column;
    // Lines left of or above the range belong to the cells before it; a page draws its edge on its edge.
    const auto inside = [&](int across) { return canvas.printing ? std::max(across, 0) : across; };
    for (int c = firstColumn; c <= range.last.column; ++c) {
        const int x = inside(grid.right(c) - 1);
        for (int r = range.first.row; r <= range.last.row;) {
            if (grid.verticalEdgeHidden(r, c + 1)) {
                ++r;
                continue;
            }
            const int from = grid.top(r) - 1;
            while (r <= range.last.row && !grid.verticalEdgeHidden(r, c + 1))
                ++r;
            drawRule(canvas, line, color, true, x, from, grid.top(r) - 1, false);
        }
    }
    for (int r = firstRow; r <= range.last.row; ++r) {
        const int y = inside(grid.bottom(r) - 1);
        for (int c = range.first.column; c <= range.last.column;) {
            if (grid.horizontalEdgeHidden(r + 1, c)) {
                ++c;
                continue;
            }
            const int from = grid.left(c) - 1;
            while (c <= range.last.column && !grid.horizontalEdgeHidden(r + 1, c))
                ++c;
            drawRule(canvas, line, color, false, y, from, grid.left(c) - 1, false);
        }
    }
}

void drawFills(const RenderGrid& grid, Canvas& canvas) {
    const CellRange& range = grid.range;
    for (int r = range.first.row; r <= range.last.row; ++r) {
        for (int c = range.first.column; c <= range.last.column; ++c) {
            const CellRef ref{r, c};
            // A merged area shows its first cell's fill; a fill covers the grid lines around the cell.
            QRect area;
            const CellFormat* format = nullptr;
            if (const CellRange* merge = grid.mergeAt(ref)) {
                const bool first =
                    ref == merge->first || (ref.row == std::max(merge->first.row, range.first.row) &&
                                            ref.column == std::max(merge->first.column, range.first.column));
                if (!first)
                    continue;
                format = &grid.formatAt(merge->first);
                area = grid.areaRect(*merge);
            } else {
                format = &grid.formatAt(ref);
                area = grid.cellRect(ref);
            }
            if (format->fillPattern == 0)
                continue;
            fillArea(grid, canvas, area.adjusted(-1, -1, 0, 0), *format);
        }
    }
}

}  // namespace spreadsheet::render_detail
