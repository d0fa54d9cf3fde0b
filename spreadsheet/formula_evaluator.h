#pragma once

// The formula evaluator behind evaluateFormula and recalculate. Formula cells are evaluated in
// dependency order with an explicit stack (no recursion, so a long chain of formulas cannot exhaust
// the call stack); cells caught in a circular reference give 0, as a spreadsheet shows them with
// iteration off.

#include <map>
#include <optional>
#include <set>
#include <variant>
#include <vector>

#include "spreadsheet/formula_tokens.h"
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

using Operand = std::variant<Value, Area>;

enum class Outcome {
    Done,
    Unsupported,  // a token or function the engine does not evaluate
    Malformed,    // the tokens are cut off or do not form one expression
};

struct Result {
    Value value;
    Outcome outcome = Outcome::Done;
};

class Evaluator {
public:
    explicit Evaluator(const Workbook& workbook);

    // Evaluates the formula as if it stood at the cell, with every formula it depends on first.
    Result evaluateAt(int sheet, CellRef at, const Formula& formula);
    // Evaluates every formula cell of the workbook.
    void evaluateAll();
    // The results of the formula cells evaluated so far.
    const std::map<CellKey, Value>& results() const { return results_; }

    // The value a cell shows: a formula cell's result, or what the cell holds.
    Value cellValue(const CellKey& key) const;
    // Calls f(value) for every non-empty cell inside the area, formula results included.
    template <typename F>
    void forEachValue(const Area& area, F&& f) const;

private:
    struct Frame {
        CellKey key;
        const Formula* formula;
        std::vector<CellKey> dependencies;
        size_t next = 0;
    };
    enum class State { InProgress, Done };

    const ptg::DecodeResult& decoded(const CellKey& key, const Formula& formula);
    std::vector<CellKey> dependenciesOf(const CellKey& key, const Formula& formula);
    void run(const CellKey& root, const Formula& formula);
    Result execute(const CellKey& at, const Formula& formula);
    const Cell* cellAt(const CellKey& key) const;

    const Workbook& workbook_;
    std::vector<std::vector<CellRef>> formulaCells_;  // per sheet, in row-major order
    std::map<CellKey, ptg::DecodeResult> decoded_;
    std::map<CellKey, State> state_;
    std::set<CellKey> circular_;
    std::map<CellKey, Value> results_;
    std::optional<Result> rootResult_;
};

template <typename F>
void Evaluator::forEachValue(const Area& area, F&& f) const {
    if (area.sheet < 0 || size_t(area.sheet) >= workbook_.sheets.size())
        return;
    const auto& cells = workbook_.sheets[size_t(area.sheet)].cells();
    // Walk the stored cells of the rows in range rather than every position of a large rectangle.
    auto it = cells.lower_bound(area.range.first);
    for (; it != cells.end() && it->first.row <= area.range.last.row; ++it) {
        if (!area.range.contains(it->first))
            continue;
        f(cellValue({area.sheet, it->first}));
    }
}

// Runs the token stream against the evaluator's cells. Lives in formula_machine.cpp.
Result runTokens(const Evaluator& evaluator, const CellKey& at, const ptg::DecodeResult& tokens);

}  // namespace spreadsheet::formula_detail
