#pragma once

// The values the formula machine works with: cells of the workbook, references to rectangles of
// them, and what one evaluation gives.

#include <optional>
#include <variant>
#include <vector>

#include "spreadsheet/formula/tokens.h"
#include "spreadsheet/workbook.h"

namespace spreadsheet::formula_detail {

struct CellKey {
    int sheet = 0;
    CellRef ref;
    auto operator<=>(const CellKey&) const = default;
};

// A reference on the evaluation stack: one cell or a rectangle of one sheet.
struct Area {
    int sheet = 0;
    CellRange range;

    bool contains(const CellKey& key) const { return key.sheet == sheet && range.contains(key.ref); }
    bool contains(const Area& other) const {
        return other.sheet == sheet && range.contains(other.range.first) && range.contains(other.range.last);
    }
};

// Several rectangles: a union (A1:A3,C5) or one rectangle on several sheets (Sheet1:Sheet3!A1).
struct AreaList {
    std::vector<Area> areas;
};

using Operand = std::variant<Value, Area, ValueMatrix, AreaList>;

enum class Outcome {
    Done,
    Unsupported,  // a token, function, name or link the engine does not evaluate: the value is an error
    Malformed,    // the tokens are cut off or do not form one expression
};

struct Result {
    Value value;
    Outcome outcome = Outcome::Done;
    bool isVolatile = false;  // TODAY, NOW, OFFSET, INDIRECT or a volatile mark: recalculate on open
};

// The sheets a 3-D reference's EXTERNSHEET entry spans in this workbook.
struct SheetSpan {
    int first = 0;
    int last = 0;
};
// Nothing when the entry is missing, points into another file or an add-in, or lost its sheets.
std::optional<SheetSpan> sheetsOf(const Workbook& workbook, quint16 ixti);

// Where a reference token points for a formula standing at `at`: tRefN and tAreaN count their relative
// rows and columns from it, wrapping around the sheet's edges as the file format defines.
Area areaOfToken(const ptg::Token& t, int sheet, CellRef at);

}  // namespace spreadsheet::formula_detail
