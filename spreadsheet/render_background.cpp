// Grid lines and cell fills.

#include "spreadsheet/render_grid.h"

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

void fillArea(const RenderGrid& grid, QImage& image, const QRect& area, const CellFormat& format) {
    const QRgb foreground = grid.workbook.color(format.fillForeground, false);
    if (format.fillPattern == 1) {
        fillPixels(image, area, foreground);
        return;
    }
    if (format.fillPattern < 2 || format.fillPattern > 18)
        return;
    const QRgb background = grid.workbook.color(format.fillBackground, true);
    const quint8* tile = kPatterns[format.fillPattern - 2];
    const QRect clipped = area.intersected(image.rect());
    // Tiles are anchored to the picture, so a pattern runs on unbroken from cell to cell.
    for (int y = clipped.top(); y <= clipped.bottom(); ++y)
        for (int x = clipped.left(); x <= clipped.right(); ++x)
            plot(image, x, y, (tile[y & 7] & (0x80 >> (x & 7))) ? foreground : background);
}

}  // namespace

void drawGridlines(const RenderGrid& grid, QImage& image) {
    const SheetWindow& window = grid.sheet.window;
    if (!window.showGridlines)
        return;
    const QRgb color =
        window.defaultGridColor ? kDefaultGridColor : grid.workbook.color(window.gridColorIndex);
    const CellRange& range = grid.range;
    for (int r = range.first.row; r <= range.last.row; ++r) {
        for (int c = range.first.column; c <= range.last.column; ++c) {
            const int x = grid.right(c) - 1;
            const int y = grid.bottom(r) - 1;
            if (!grid.verticalEdgeHidden(r, c + 1))
                for (int py = grid.top(r) - 1; py <= y; ++py)
                    plot(image, x, py, color);
            if (!grid.horizontalEdgeHidden(r + 1, c))
                for (int px = grid.left(c) - 1; px <= x; ++px)
                    plot(image, px, y, color);
        }
    }
}

void drawFills(const RenderGrid& grid, QImage& image) {
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
            fillArea(grid, image, area.adjusted(-1, -1, 0, 0), *format);
        }
    }
}

}  // namespace spreadsheet::render_detail
