// Lookup and reference: VLOOKUP, HLOOKUP, LOOKUP, INDEX, MATCH, CHOOSE, ROW, COLUMN, ROWS, COLUMNS,
// OFFSET, INDIRECT.
//
// Approximate lookups find the last value not greater than the one sought (MATCH type -1: the last
// value not smaller) among values of the same kind, stopping at the first that is past it, which
// is what a spreadsheet's search gives on sorted data. Exact lookups take the first equal value,
// texts without regard to case and with the wildcards * ? ~.

#include <cmath>

#include "spreadsheet/formula/functions.h"
#include "spreadsheet/formula/reference_text.h"

namespace spreadsheet::formula_detail {

namespace {

// A rectangle of values read from a reference or an array.
class Grid {
public:
    static std::optional<Grid> of(const Call& c, size_t i) {
        Grid g(c.evaluator);
        const Operand& arg = c.args[i];
        if (const Area* area = std::get_if<Area>(&arg)) {
            g.area_ = *area;
            g.rows_ = area->range.rowCount();
            g.columns_ = area->range.columnCount();
            return g;
        }
        if (const AreaList* list = std::get_if<AreaList>(&arg); list && list->areas.size() == 1) {
            g.area_ = list->areas.front();
            g.rows_ = g.area_->range.rowCount();
            g.columns_ = g.area_->range.columnCount();
            return g;
        }
        ErrorCode error = ErrorCode::Value;
        auto m = toMatrix(c.evaluator, arg, error);
        if (!m)
            return std::nullopt;
        g.rows_ = m->rows;
        g.columns_ = m->columns;
        g.matrix_ = std::move(*m);
        return g;
    }

    int rows() const { return rows_; }
    int columns() const { return columns_; }
    Value at(int row, int column) const {
        if (area_)
            return evaluator_.cellValue(
                {area_->sheet, {area_->range.first.row + row, area_->range.first.column + column}});
        return matrix_.at(row, column);
    }
    // The i-th element of a single row or column.
    Value element(int i) const { return rows_ == 1 ? at(0, i) : at(i, 0); }
    int length() const { return rows_ == 1 ? columns_ : rows_; }
    bool isVector() const { return rows_ == 1 || columns_ == 1; }

private:
    explicit Grid(const Evaluator& evaluator) : evaluator_(evaluator) {}
    const Evaluator& evaluator_;
    std::optional<Area> area_;
    ValueMatrix matrix_;
    int rows_ = 0;
    int columns_ = 0;
};

bool sameKind(const Value& a, const Value& b) {
    return a.index() == b.index();
}

bool exactlyEqual(const Value& sought, const Value& v) {
    if (isBlank(sought))
        return false;  // an empty cell looked up finds nothing
    if (const QString* text = std::get_if<QString>(&sought)) {
        const QString* have = std::get_if<QString>(&v);
        if (!have)
            return false;
        return hasWildcards(*text) ? wildcardMatch(*text, *have)
                                   : text->compare(*have, Qt::CaseInsensitive) == 0;
    }
    return sameKind(sought, v) && compareValues(sought, v) == 0;
}

// The position of the value in a sequence read by `get`; -1 when there is none.
template <typename Get>
int find(const Value& sought, int length, Get get, int mode) {
    int candidate = -1;
    for (int i = 0; i < length; ++i) {
        const Value v = get(i);
        if (mode == 0) {
            if (exactlyEqual(sought, v))
                return i;
            continue;
        }
        if (!sameKind(sought, v))
            continue;
        const int c = compareValues(v, sought);
        if (mode > 0 ? c <= 0 : c >= 0) {
            candidate = i;
        } else {
            break;
        }
    }
    return candidate;
}

Operand tableLookup(Call& c, bool vertical) {
    const Value sought = c.value(0);
    if (const ErrorCode* e = errorOf(sought))
        return errorResult(*e);
    const auto table = Grid::of(c, 1);
    if (!table)
        return errorResult(ErrorCode::Value);
    const NumberArgs a = numberArgs(c, {kRequired}, 2);
    if (a.error)
        return errorResult(*a.error);
    ErrorCode error{};
    const auto approximate = c.given(3) ? toBool(c.value(3), error) : std::optional<bool>(true);
    if (!approximate)
        return errorResult(error);
    const int index = wholeArgument(a[2]);
    if (index < 1)
        return errorResult(ErrorCode::Value);
    if (index > (vertical ? table->columns() : table->rows()))
        return errorResult(ErrorCode::Ref);
    const int length = vertical ? table->rows() : table->columns();
    const int found = find(
        sought, length, [&](int i) { return vertical ? table->at(i, 0) : table->at(0, i); },
        *approximate ? 1 : 0);
    if (found < 0)
        return errorResult(ErrorCode::NA);
    return vertical ? table->at(found, index - 1) : table->at(index - 1, found);
}
Operand vlookup(Call& c) {
    return tableLookup(c, true);
}
Operand hlookup(Call& c) {
    return tableLookup(c, false);
}

// LOOKUP(value, vector, [result vector]), or LOOKUP(value, array): an array wider than tall is
// searched in its first row and answers from its last row, else first and last column.
Operand lookup(Call& c) {
    const Value sought = c.value(0);
    if (const ErrorCode* e = errorOf(sought))
        return errorResult(*e);
    const auto searched = Grid::of(c, 1);
    if (!searched)
        return errorResult(ErrorCode::Value);
    if (c.count() > 2) {
        const auto result = Grid::of(c, 2);
        if (!result || !searched->isVector() || !result->isVector())
            return errorResult(ErrorCode::NA);
        const int found = find(
            sought, searched->length(), [&](int i) { return searched->element(i); }, 1);
        if (found < 0 || found >= result->length())
            return errorResult(ErrorCode::NA);
        return result->element(found);
    }
    const bool wide = searched->columns() > searched->rows();
    const int length = wide ? searched->columns() : searched->rows();
    const int found = find(
        sought, length, [&](int i) { return wide ? searched->at(0, i) : searched->at(i, 0); }, 1);
    if (found < 0)
        return errorResult(ErrorCode::NA);
    return wide ? searched->at(searched->rows() - 1, found) : searched->at(found, searched->columns() - 1);
}

Operand match(Call& c) {
    const Value sought = c.value(0);
    if (const ErrorCode* e = errorOf(sought))
        return errorResult(*e);
    const auto searched = Grid::of(c, 1);
    if (!searched || !searched->isVector())
        return errorResult(ErrorCode::NA);
    const Number type = c.number(2, 1);
    if (type.error)
        return errorResult(*type.error);
    const int mode = type.value > 0 ? 1 : (type.value < 0 ? -1 : 0);
    const int found = find(
        sought, searched->length(), [&](int i) { return searched->element(i); }, mode);
    return found < 0 ? Value(ErrorCode::NA) : Value(double(found + 1));
}

// INDEX(reference or array, row, [column], [area]): 0 for a row or column takes all of it.
Operand index(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, 0, 1}, 1);
    if (a.error)
        return errorResult(*a.error);
    int row = wholeArgument(a[1]);
    int column = wholeArgument(a[2]);
    Operand source = c.args[0];
    // An error where the array belongs (a function that could not make its array) is the result.
    if (const Value* v = std::get_if<Value>(&source); v && errorOf(*v))
        return *v;
    if (const AreaList* list = std::get_if<AreaList>(&source)) {
        const int which = wholeArgument(a[3]);
        if (which < 1 || size_t(which) > list->areas.size())
            return errorResult(ErrorCode::Ref);
        source = list->areas[size_t(which - 1)];
    }
    int rows = 0, columns = 0;
    if (const Area* area = std::get_if<Area>(&source)) {
        rows = area->range.rowCount();
        columns = area->range.columnCount();
    } else {
        ErrorCode error = ErrorCode::Value;
        auto m = toMatrix(c.evaluator, source, error);
        if (!m)
            return errorResult(error);
        rows = m->rows;
        columns = m->columns;
        source = std::move(*m);
    }
    // A single row takes its one number as the column.
    if (!c.given(2) && rows == 1 && columns > 1) {
        column = row;
        row = 1;
    }
    if (row < 0 || column < 0 || row > rows || column > columns)
        return errorResult(ErrorCode::Ref);
    const int firstRow = row == 0 ? 0 : row - 1;
    const int lastRow = row == 0 ? rows - 1 : row - 1;
    const int firstColumn = column == 0 ? 0 : column - 1;
    const int lastColumn = column == 0 ? columns - 1 : column - 1;
    if (const Area* area = std::get_if<Area>(&source)) {
        const CellRef origin = area->range.first;
        return Area{area->sheet,
                    {{origin.row + firstRow, origin.column + firstColumn},
                     {origin.row + lastRow, origin.column + lastColumn}}};
    }
    const ValueMatrix& m = std::get<ValueMatrix>(source);
    ValueMatrix out = filledMatrix(lastRow - firstRow + 1, lastColumn - firstColumn + 1, Value());
    for (int r = firstRow; r <= lastRow; ++r) {
        for (int col = firstColumn; col <= lastColumn; ++col)
            out.at(r - firstRow, col - firstColumn) = m.at(r, col);
    }
    if (out.values.size() == 1)
        return out.values.front();
    return out;
}

Operand choose(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired});
    if (a.error)
        return errorResult(*a.error);
    const double which = std::trunc(a[0]);
    if (which < 1 || which >= double(c.count()))
        return errorResult(ErrorCode::Value);
    return std::move(c.args[size_t(which)]);
}

// ROW and COLUMN of the formula's own cell, or of a reference's first cell; where arrays are taken
// (an array formula, SUMPRODUCT), every row (a column of numbers) or column (a row of numbers) of it.
Operand position(Call& c, bool row) {
    if (c.count() == 0)
        return Value(double((row ? c.at.ref.row : c.at.ref.column) + 1));
    const Area* area = std::get_if<Area>(&c.args[0]);
    if (!area)
        return errorResult(ErrorCode::Value);
    const CellRange& r = area->range;
    const int first = row ? r.first.row : r.first.column;
    const int count = row ? r.rowCount() : r.columnCount();
    if (!c.arrayContext || count == 1)
        return Value(double(first + 1));
    ValueMatrix out = filledMatrix(row ? count : 1, row ? 1 : count, Value());
    for (int i = 0; i < count; ++i)
        out.values[size_t(i)] = double(first + i + 1);
    return out;
}

// TRANSPOSE(array): rows become columns.
Operand transpose(Call& c) {
    ErrorCode error = ErrorCode::Value;
    const auto m = toMatrix(c.evaluator, c.args[0], error);
    if (!m)
        return errorResult(error);
    ValueMatrix out = filledMatrix(m->columns, m->rows, Value());
    for (int r = 0; r < m->rows; ++r) {
        for (int col = 0; col < m->columns; ++col)
            out.at(col, r) = isBlank(m->at(r, col)) ? Value(0.0) : m->at(r, col);
    }
    return out;
}
Operand rowOf(Call& c) {
    return position(c, true);
}
Operand columnOf(Call& c) {
    return position(c, false);
}

Operand extent(Call& c, bool rows) {
    const auto grid = Grid::of(c, 0);
    if (!grid)
        return errorResult(ErrorCode::Value);
    return Value(double(rows ? grid->rows() : grid->columns()));
}
Operand rowCount(Call& c) {
    return extent(c, true);
}
Operand columnCount(Call& c) {
    return extent(c, false);
}

// OFFSET(reference, rows, columns, [height], [width]): a reference moved and resized; off the sheet
// it is #REF!.
Operand offset(Call& c) {
    const Area* area = std::get_if<Area>(&c.args[0]);
    if (!area) {
        const AreaList* list = std::get_if<AreaList>(&c.args[0]);
        if (!list || list->areas.size() != 1)
            return errorResult(errorOf(c.value(0)) ? *errorOf(c.value(0)) : ErrorCode::Value);
        area = &list->areas.front();
    }
    const NumberArgs a = numberArgs(
        c, {kRequired, kRequired, double(area->range.rowCount()), double(area->range.columnCount())}, 1);
    if (a.error)
        return errorResult(*a.error);
    const double top = area->range.first.row + std::trunc(a[1]);
    const double left = area->range.first.column + std::trunc(a[2]);
    const double height = std::trunc(a[3]);
    const double width = std::trunc(a[4]);
    if (height < 1 || width < 1 || top < 0 || left < 0 || top + height > kMaxRows ||
        left + width > kMaxColumns)
        return errorResult(ErrorCode::Ref);
    return Area{area->sheet, {{int(top), int(left)}, {int(top + height) - 1, int(left + width) - 1}}};
}

Operand indirect(Call& c) {
    ErrorCode error{};
    const auto text = toText(c.value(0), error);
    if (!text)
        return errorResult(error);
    const auto a1 = c.given(1) ? toBool(c.value(1), error) : std::optional<bool>(true);
    if (!a1)
        return errorResult(error);
    const Workbook& workbook = c.evaluator.workbook();
    if (auto ref = parseReferenceText(workbook, *text, c.at, *a1))
        return Area{ref->sheet, ref->range};
    if (*a1) {
        // A defined name, as the sheet or the workbook defines it.
        const int name = findName(workbook, *text, c.at.sheet);
        if (const ptg::DecodeResult* tokens = name >= 0 ? c.evaluator.nameTokens(name) : nullptr) {
            Evaluation inner = runExpression(c.evaluator, c.at, *tokens, 1);
            if (std::holds_alternative<Area>(inner.operand) ||
                std::holds_alternative<AreaList>(inner.operand))
                return std::move(inner.operand);
        }
    }
    return errorResult(ErrorCode::Ref);
}

constexpr FunctionInfo kFunctions[] = {
    {102, "VLOOKUP", 3, 4, 'V', "VRRV", false, vlookup},
    {101, "HLOOKUP", 3, 4, 'V', "VRRV", false, hlookup},
    {28, "LOOKUP", 2, 3, 'V', "VR", false, lookup},
    {29, "INDEX", 2, 4, 'R', "RVVV", false, index},
    {64, "MATCH", 2, 3, 'V', "VRR", false, match},
    {100, "CHOOSE", 2, 30, 'V', "VR", false, choose},
    {8, "ROW", 0, 1, 'V', "R", false, rowOf},
    {9, "COLUMN", 0, 1, 'V', "R", false, columnOf},
    {76, "ROWS", 1, 1, 'V', "R", false, rowCount},
    {77, "COLUMNS", 1, 1, 'V', "R", false, columnCount},
    {83, "TRANSPOSE", 1, 1, 'A', "A", false, transpose},
    {78, "OFFSET", 3, 5, 'R', "RVVVV", true, offset},
    {148, "INDIRECT", 1, 2, 'R', "VV", true, indirect},
};

}  // namespace

std::span<const FunctionInfo> lookupFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
