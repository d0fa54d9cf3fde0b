#pragma once

// What the drawing steps of the renderer share: where each row and column lies in the picture, the
// format in force at a position, the merged ranges, and which grid edges are hidden. Not part of the
// engine's interface.

#include <QLocale>
#include <QPainter>
#include <QRect>
#include <map>
#include <vector>

#include "spreadsheet/workbook.h"

namespace spreadsheet::render_detail {

// A cell owns the pixels [left, right) x [top, bottom); its last column and last row of pixels are
// the grid line it shares with its right and lower neighbours.
class RenderGrid {
public:
    RenderGrid(const Workbook& workbook, int sheetIndex, const CellRange& range,
               const QLocale& locale = QLocale::c());

    const Workbook& workbook;
    const int sheetIndex;
    const Worksheet& sheet;
    const CellRange range;
    const int mdw;
    const QLocale locale;  // the regional settings values are shown in

    int width() const { return x_.back(); }
    int height() const { return y_.back(); }
    // Pixel positions also for columns and rows outside the range (left of it they are negative).
    int left(int column) const;
    int right(int column) const { return left(column + 1); }
    int top(int row) const;
    int bottom(int row) const { return top(row + 1); }
    QRect cellRect(CellRef ref) const;
    QRect areaRect(const CellRange& area) const;

    // The format a position shows: its cell's, else its row's, else its column's, else the default;
    // changed by the conditional formats whose rules hold there, once they are applied.
    const CellFormat& formatAt(CellRef ref) const;
    const Font& fontAt(CellRef ref) const;
    // Evaluates the conditional formats over the range and the cells around it, whose borders meet
    // its edges, on the values the cells hold.
    void applyConditionalFormats();
    const Cell* cellAt(CellRef ref) const { return sheet.cell(ref); }
    // The merged range covering a position inside the range or next to it.
    const CellRange* mergeAt(CellRef ref) const;
    bool sameMerge(CellRef a, CellRef b) const;
    // Nothing to show: text from a neighbour may run across it.
    bool isEmpty(CellRef ref) const;

    // Grid edges inside a merge, or (vertical ones) crossed by overflowing text: no grid line there.
    // Vertical edge (row, b) lies left of column range.first.column + b (b from 0 to columnCount).
    void hideVerticalEdge(int row, int column);
    bool verticalEdgeHidden(int row, int column) const;
    bool horizontalEdgeHidden(int row, int column) const;

private:
    int offset(const std::vector<int>& positions, int index, int first, int last, bool columns) const;

    std::vector<int> x_;
    std::vector<int> y_;
    const CellFormat& ownFormatAt(CellRef ref) const;

    std::map<CellRef, const CellRange*> merges_;
    std::vector<bool> hiddenVertical_;
    // Where a conditional format's rules hold: the format and font the position shows instead.
    std::map<CellRef, CellFormat> conditionalFormats_;
    std::map<CellRef, Font> conditionalFonts_;
};

// Where the drawing steps paint: a painter whose user space is the range's 96 dpi pixels, the range's
// top-left corner at the origin. On a screen picture every rule and fill covers whole pixels, so the
// picture is the same at any resolution the painter maps it to; a page strokes its rules as lines.
struct Canvas {
    QPainter& painter;
    QRect bounds;           // the range: [0, width) x [0, height)
    bool printing = false;  // strokes instead of pixel runs; grid lines as the page setup prints them
};

// How a border style is drawn: pixel lines parallel to the grid line, and its dash rhythm.
struct LineShape {
    std::vector<int> offsets;  // pixel rows (or columns) across the line, relative to the grid line
    std::vector<int> dashes;   // on, off, on, off ... lengths along the line; empty for solid
};
LineShape shapeOf(LineStyle style);

// A line along the grid line at `across` (a pixel column for vertical lines, a row for horizontal ones)
// over the pixels `from` to `to`, both included. With `keepInside`, a line on the range's edge moves
// inward so that all of it shows. Dashes are counted from the range's edge, so a line keeps its rhythm
// across cells.
void drawRule(Canvas& canvas, const LineShape& shape, QRgb color, bool vertical, int across, int from, int to,
              bool keepInside = true);

// Drawing steps, in the order the renderer runs them.
void drawGridlines(const RenderGrid& grid, Canvas& canvas);
void drawFills(const RenderGrid& grid, Canvas& canvas);
void drawBorders(const RenderGrid& grid, Canvas& canvas);

// Text is planned before the grid lines are drawn, since text running into empty neighbours hides
// the grid lines it crosses.
class TextPlan {
public:
    explicit TextPlan(RenderGrid& grid);
    ~TextPlan();
    TextPlan(const TextPlan&) = delete;
    TextPlan& operator=(const TextPlan&) = delete;
    void draw(Canvas& canvas) const;

    struct Item;

private:
    std::vector<Item> items_;
};

}  // namespace spreadsheet::render_detail
