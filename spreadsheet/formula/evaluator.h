#pragma once

// The formula evaluator behind evaluateFormula and recalculate. Formula cells are evaluated in
// dependency order with an explicit stack (no recursion, so a long chain of formulas cannot exhaust
// the call stack); cells caught in a circular reference give 0, as a spreadsheet shows them with
// iteration off.
//
// Dependencies come from the references a formula holds (on its own sheet, on other sheets through
// 3-D references, and inside the defined names it uses). References made while evaluating (OFFSET,
// INDIRECT) are found on demand: a formula that reads a formula cell not evaluated yet is put back,
// the cell is evaluated first, and the formula runs again. Each retry finishes at least one more
// cell, so this ends, and a cell that reads itself this way is circular like any other.

#include <map>
#include <optional>
#include <set>
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

class Evaluator {
public:
    explicit Evaluator(const Workbook& workbook);

    // Evaluates the formula as if it stood at the cell, with every formula it depends on first.
    Result evaluateAt(int sheet, CellRef at, const Formula& formula);
    // Evaluates every formula cell of the workbook.
    void evaluateAll();
    // The results of the formula cells evaluated so far.
    const std::map<CellKey, Value>& results() const { return results_; }
    // Formula cells a spreadsheet must recalculate when it opens the file: volatile ones, and ones
    // this engine could not evaluate.
    const std::set<CellKey>& recalculateOnOpen() const { return recalculateOnOpen_; }

    const Workbook& workbook() const { return workbook_; }
    // The value a cell shows: a formula cell's result, or what the cell holds. Reading a formula cell
    // that has not been evaluated yet notes it, so that the reading formula runs again after it.
    Value cellValue(const CellKey& key) const;
    // Calls f(value) for every stored cell inside the area, formula results included, row by row.
    template <typename F>
    void forEachValue(const Area& area, F&& f) const;
    // A defined name's tokens, decoded once; nullptr when the index names nothing.
    const ptg::DecodeResult* nameTokens(int index) const;

private:
    // What an array formula gave, kept by its first cell for all the cells it covers.
    struct ArrayResult {
        ValueMatrix values;
        Outcome outcome = Outcome::Done;
        bool isVolatile = false;
    };

    struct Frame {
        CellKey key;
        const Formula* formula;
        std::vector<CellKey> dependencies;
        size_t next = 0;
    };
    enum class State { InProgress, Done };

    const ptg::DecodeResult& decoded(const CellKey& key, const Formula& formula);
    std::vector<CellKey> dependenciesOf(const CellKey& key, const Formula& formula);
    void addFormulaCellsIn(const Area& area, std::vector<CellKey>& out) const;
    void addReferences(const CellKey& at, const ptg::DecodeResult& tokens, int depth,
                       std::vector<CellKey>& out) const;
    void run(const CellKey& root, const Formula& formula);
    Result execute(const CellKey& at, const Formula& formula);
    // The array formula a formula points at when it stands in one of the array's cells.
    const ArrayFormula* arrayFormulaOf(const CellKey& key, const Formula& formula) const;
    Result arrayElement(const CellKey& key, const ArrayFormula& array);
    const Cell* cellAt(const CellKey& key) const;

    const Workbook& workbook_;
    std::vector<std::vector<CellRef>> formulaCells_;  // per sheet, in row-major order
    std::vector<ptg::DecodeResult> names_;
    std::map<CellKey, ptg::DecodeResult> decoded_;
    std::map<CellKey, ptg::DecodeResult> decodedArrays_;  // by the array's first cell
    std::map<CellKey, ArrayResult> arrayResults_;
    std::map<CellKey, State> state_;
    std::set<CellKey> circular_;
    std::map<CellKey, Value> results_;
    std::set<CellKey> recalculateOnOpen_;
    std::optional<Result> rootResult_;
    mutable std::vector<CellKey> pending_;  // formula cells read before they were evaluated
};

template <typename F>
void Evaluator::forEachValue(const Area& area, F&& f) const {
    if (area.sheet < 0 || size_t(area.sheet) >= workbook_.sheets.size())
        return;
    const auto& cells = workbook_.sheets[size_t(area.sheet)].cells();
    // Walk the stored cells of the rows in range rather than every position of a large rectangle.
    const CellRange& r = area.range;
    auto it = cells.lower_bound(r.first);
    while (it != cells.end() && it->first.row <= r.last.row) {
        const CellRef ref = it->first;
        if (ref.column < r.first.column) {
            it = cells.lower_bound({ref.row, r.first.column});
        } else if (ref.column > r.last.column) {
            it = cells.lower_bound({ref.row + 1, r.first.column});
        } else {
            f(cellValue({area.sheet, ref}));
            ++it;
        }
    }
}

// Runs a token stream against the evaluator's cells (machine.cpp). `depth` counts the
// defined names being evaluated inside one another.
struct Evaluation {
    Operand operand;
    Outcome outcome = Outcome::Done;
    bool isVolatile = false;
};
Evaluation runExpression(const Evaluator& evaluator, const CellKey& at, const ptg::DecodeResult& tokens,
                         int depth = 0, bool wholeArray = false);
Result runTokens(const Evaluator& evaluator, const CellKey& at, const ptg::DecodeResult& tokens);
// Runs the tokens of an array formula standing at its first cell: every operand takes arrays, and the
// result is a rectangle of values (a single value is a 1 x 1 one; an empty element shows 0).
Evaluation runArrayTokens(const Evaluator& evaluator, const CellKey& anchor, const ptg::DecodeResult& tokens);
// The value a cell of an array formula's range shows: the element at its place in the result, a single
// row or column repeated across the range, #N/A past the result's size.
Value arrayElementAt(const ValueMatrix& result, int row, int column);

// Names inside names deeper than this give #NAME?: a name defined through itself cannot loop.
inline constexpr int kMaxNameDepth = 32;

}  // namespace spreadsheet::formula_detail
