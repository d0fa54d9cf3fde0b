#include "spreadsheet/render/grid.h"

#include "spreadsheet/render/metrics.h"

namespace spreadsheet::render_detail {

RenderGrid::RenderGrid(const Workbook& book, int index, const CellRange& area, const QLocale& regional)
    : workbook(book),
      sheetIndex(index),
      sheet(book.sheets.at(size_t(index))),
      range(area),
      mdw(maximumDigitWidth(book)),
      locale(regional) {
    x_.push_back(0);
    for (int c = range.first.column; c <= range.last.column; ++c)
        x_.push_back(x_.back() + columnWidthPixels(sheet, c, mdw));
    y_.push_back(0);
    for (int r = range.first.row; r <= range.last.row; ++r)
        y_.push_back(y_.back() + rowHeightPixels(sheet, r));

    // Merges seen from the range and the ring of cells around it, whose borders meet the range's edge.
    for (const CellRange& merge : sheet.mergedRanges) {
        const int r0 = std::max(merge.first.row, range.first.row - 1);
        const int r1 = std::min(merge.last.row, range.last.row + 1);
        const int c0 = std::max(merge.first.column, range.first.column - 1);
        const int c1 = std::min(merge.last.column, range.last.column + 1);
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c)
                merges_.emplace(CellRef{r, c}, &merge);
    }
    hiddenVertical_.assign(size_t(range.rowCount()) * size_t(range.columnCount() + 1), false);
}

int RenderGrid::offset(const std::vector<int>& positions, int index, int first, int last,
                       bool columns) const {
    if (index >= first && index <= last + 1)
        return positions[size_t(index - first)];
    int pixels = 0;
    if (index < first) {
        for (int i = index; i < first; ++i)
            pixels -= columns ? columnWidthPixels(sheet, i, mdw) : rowHeightPixels(sheet, i);
        return pixels;
    }
    pixels = positions.back();
    for (int i = last + 1; i < index; ++i)
        pixels += columns ? columnWidthPixels(sheet, i, mdw) : rowHeightPixels(sheet, i);
    return pixels;
}

int RenderGrid::left(int column) const {
    return offset(x_, column, range.first.column, range.last.column, true);
}

int RenderGrid::top(int row) const {
    return offset(y_, row, range.first.row, range.last.row, false);
}

QRect RenderGrid::cellRect(CellRef ref) const {
    return QRect(QPoint(left(ref.column), top(ref.row)), QPoint(right(ref.column) - 1, bottom(ref.row) - 1));
}

QRect RenderGrid::areaRect(const CellRange& area) const {
    return QRect(QPoint(left(area.first.column), top(area.first.row)),
                 QPoint(right(area.last.column) - 1, bottom(area.last.row) - 1));
}

const CellFormat& RenderGrid::formatAt(CellRef ref) const {
    if (auto it = conditionalFormats_.find(ref); it != conditionalFormats_.end())
        return it->second;
    return ownFormatAt(ref);
}

const Font& RenderGrid::fontAt(CellRef ref) const {
    if (auto it = conditionalFonts_.find(ref); it != conditionalFonts_.end())
        return it->second;
    return workbook.fontOf(ownFormatAt(ref));
}

const CellFormat& RenderGrid::ownFormatAt(CellRef ref) const {
    quint16 xf = 15;
    if (const Cell* cell = sheet.cell(ref)) {
        xf = cell->xf;
    } else if (auto row = sheet.rows.find(ref.row); row != sheet.rows.end() && row->second.hasFormat) {
        xf = row->second.xf;
    } else if (const ColumnInfo* column = sheet.columnInfo(ref.column)) {
        xf = column->xf;
    }
    if (xf < workbook.formats.size())
        return workbook.formats[xf];
    static const CellFormat fallback;
    return workbook.formats.size() > 15 ? workbook.formats[15] : fallback;
}

const CellRange* RenderGrid::mergeAt(CellRef ref) const {
    auto it = merges_.find(ref);
    return it == merges_.end() ? nullptr : it->second;
}

bool RenderGrid::sameMerge(CellRef a, CellRef b) const {
    const CellRange* merge = mergeAt(a);
    return merge && merge == mergeAt(b);
}

bool RenderGrid::isEmpty(CellRef ref) const {
    if (mergeAt(ref))
        return false;
    const Cell* cell = sheet.cell(ref);
    return !cell || cell->isBlank();
}

void RenderGrid::hideVerticalEdge(int row, int column) {
    const int r = row - range.first.row;
    const int b = column - range.first.column;
    if (r < 0 || r >= range.rowCount() || b < 0 || b > range.columnCount())
        return;
    hiddenVertical_[size_t(r) * size_t(range.columnCount() + 1) + size_t(b)] = true;
}

bool RenderGrid::verticalEdgeHidden(int row, int column) const {
    const int r = row - range.first.row;
    const int b = column - range.first.column;
    if (r < 0 || r >= range.rowCount() || b < 0 || b > range.columnCount())
        return false;
    return hiddenVertical_[size_t(r) * size_t(range.columnCount() + 1) + size_t(b)] ||
           sameMerge({row, column - 1}, {row, column});
}

bool RenderGrid::horizontalEdgeHidden(int row, int column) const {
    const int b = row - range.first.row;
    const int c = column - range.first.column;
    if (b < 0 || b > range.rowCount() || c < 0 || c >= range.columnCount())
        return false;
    return sameMerge({row - 1, column}, {row, column});
}

}  // namespace spreadsheet::render_detail
