#include "spreadsheet/formula/functions/grid.h"

#include <algorithm>

namespace spreadsheet::formula_detail {

namespace {

// Below this many cells a rectangle is read whole; above, the rows its sheet holds nothing in are
// counted rather than read.
constexpr qsizetype kReadWhole = 4096;

}  // namespace

std::optional<Grid> Grid::of(const Evaluator& evaluator, const Operand& operand, ErrorCode& error) {
    Grid g(evaluator);
    const Area* area = std::get_if<Area>(&operand);
    if (const AreaList* list = std::get_if<AreaList>(&operand)) {
        if (list->areas.size() != 1) {
            error = ErrorCode::Value;
            return std::nullopt;
        }
        area = &list->areas.front();
    }
    if (area) {
        g.area_ = *area;
        g.rows_ = area->range.rowCount();
        g.columns_ = area->range.columnCount();
        return g;
    }
    auto m = toMatrix(evaluator, operand, error);
    if (!m)
        return std::nullopt;
    g.rows_ = m->rows;
    g.columns_ = m->columns;
    g.matrix_ = std::move(*m);
    return g;
}

Value Grid::at(int row, int column) const {
    if (area_)
        return evaluator_->cellValue(
            {area_->sheet, {area_->range.first.row + row, area_->range.first.column + column}});
    return matrix_.at(row, column);
}

std::optional<Grid> Grid::resizedLike(const Grid& shape) const {
    if (!area_)
        return *this;
    Grid g = *this;
    const CellRef first = area_->range.first;
    const CellRef last{first.row + shape.rows_ - 1, first.column + shape.columns_ - 1};
    if (last.row >= kMaxRows || last.column >= kMaxColumns)
        return std::nullopt;
    g.area_->range = {first, last};
    g.rows_ = shape.rows_;
    g.columns_ = shape.columns_;
    return g;
}

std::pair<int, int> Grid::rowsInUse() const {
    if (!area_ || size() <= kReadWhole)
        return {0, rows_ - 1};
    const Workbook& workbook = evaluator_->workbook();
    if (area_->sheet < 0 || size_t(area_->sheet) >= workbook.sheets.size())
        return {0, -1};
    const auto used = workbook.sheets[size_t(area_->sheet)].usedRange();
    if (!used)
        return {0, -1};
    const int top = area_->range.first.row;
    return {std::max(0, used->first.row - top), std::min(rows_ - 1, used->last.row - top)};
}

std::pair<int, int> rowsInUse(const std::vector<const Grid*>& grids, int rows) {
    int first = rows;
    int last = -1;
    for (const Grid* g : grids) {
        const auto [from, to] = g->rowsInUse();
        if (from <= to) {
            first = std::min(first, from);
            last = std::max(last, to);
        }
    }
    return {first, last};
}

}  // namespace spreadsheet::formula_detail
