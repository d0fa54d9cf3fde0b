#pragma once

// An argument that a function takes as a rectangle of values: a reference, read cell by cell as it
// is needed, or an array (a constant, or the result of an expression inside an array formula).

#include <optional>

#include "spreadsheet/formula/values.h"

namespace spreadsheet::formula_detail {

class Grid {
public:
    // Nothing (with the error) for what is no single rectangle: a list of several areas, or a
    // reference too large to hold as an array when it is not a reference.
    static std::optional<Grid> of(const Evaluator& evaluator, const Operand& operand, ErrorCode& error);

    int rows() const { return rows_; }
    int columns() const { return columns_; }
    qsizetype size() const { return qsizetype(rows_) * columns_; }
    bool sameShape(const Grid& other) const { return rows_ == other.rows_ && columns_ == other.columns_; }
    Value at(int row, int column) const;
    // Row-major position i.
    Value at(qsizetype i) const { return at(int(i / columns_), int(i % columns_)); }
    // The reference, when it is one.
    const Area* area() const { return area_ ? &*area_ : nullptr; }

    // A rectangle of this grid's shape that starts at the other reference's top-left cell, as
    // SUMIF and AVERAGEIF take their sum range; an array stays as it is. Nothing when it runs past
    // the sheet's edge.
    std::optional<Grid> resizedLike(const Grid& shape) const;

    // The rows that may hold anything: of a reference, those its sheet stores cells in; an array's
    // all. The other rows read as blank throughout.
    std::pair<int, int> rowsInUse() const;

private:
    explicit Grid(const Evaluator& evaluator) : evaluator_(&evaluator) {}

    const Evaluator* evaluator_;
    std::optional<Area> area_;
    ValueMatrix matrix_;
    int rows_ = 0;
    int columns_ = 0;
};

// The rows (first, last) of a rectangle of `rows` that any of the grids, all of one shape, may hold
// something in; the rows outside are blank in every grid. Small rectangles are taken whole.
std::pair<int, int> rowsInUse(const std::vector<const Grid*>& grids, int rows);

}  // namespace spreadsheet::formula_detail
