#include "spreadsheet/formula/evaluator.h"

#include <algorithm>

namespace spreadsheet::formula_detail {

std::optional<SheetSpan> sheetsOf(const Workbook& workbook, quint16 ixti) {
    if (ixti >= workbook.externSheets.size())
        return std::nullopt;
    const ExternSheet& entry = workbook.externSheets[ixti];
    if (entry.supportingBook >= workbook.supportingBooks.size() ||
        workbook.supportingBooks[entry.supportingBook].kind != SupportingBook::Kind::Self) {
        return std::nullopt;
    }
    const int count = int(workbook.sheets.size());
    if (entry.firstSheet < 0 || entry.lastSheet < 0 || entry.firstSheet >= count || entry.lastSheet >= count)
        return std::nullopt;
    return SheetSpan{std::min<int>(entry.firstSheet, entry.lastSheet),
                     std::max<int>(entry.firstSheet, entry.lastSheet)};
}

Evaluator::Evaluator(const Workbook& workbook) : workbook_(workbook) {
    formulaCells_.resize(workbook.sheets.size());
    for (size_t s = 0; s < workbook.sheets.size(); ++s) {
        for (const auto& [ref, cell] : workbook.sheets[s].cells()) {
            if (cell.formula)
                formulaCells_[s].push_back(ref);
        }
    }
    names_.reserve(workbook.names.size());
    for (const DefinedName& name : workbook.names)
        names_.push_back(ptg::decodeTokens(name.formula.tokens, name.formula.extra));
}

const Cell* Evaluator::cellAt(const CellKey& key) const {
    if (key.sheet < 0 || size_t(key.sheet) >= workbook_.sheets.size())
        return nullptr;
    return workbook_.sheets[size_t(key.sheet)].cell(key.ref);
}

const ptg::DecodeResult* Evaluator::nameTokens(int index) const {
    if (index < 0 || size_t(index) >= names_.size())
        return nullptr;
    return &names_[size_t(index)];
}

Value Evaluator::cellValue(const CellKey& key) const {
    const Cell* cell = cellAt(key);
    if (!cell)
        return {};
    if (!cell->formula)
        return cell->value;
    if (auto it = results_.find(key); it != results_.end())
        return it->second;
    // Inside a circular reference the cell reads as 0; otherwise it is evaluated first and the
    // formula reading it runs again.
    if (!circular_.count(key))
        pending_.push_back(key);
    return 0.0;
}

const ArrayFormula* Evaluator::arrayFormulaOf(const CellKey& key, const Formula& formula) const {
    const std::optional<CellRef> anchor = expAnchor(formula.tokens);
    if (!anchor || key.sheet < 0 || size_t(key.sheet) >= workbook_.sheets.size())
        return nullptr;
    const auto& arrays = workbook_.sheets[size_t(key.sheet)].arrayFormulas;
    const auto it = arrays.find(*anchor);
    return it != arrays.end() && it->second.range.contains(key.ref) ? &it->second : nullptr;
}

const ptg::DecodeResult& Evaluator::decoded(const CellKey& key, const Formula& formula) {
    // The cells of an array formula share its tokens (their own only point at them).
    if (const ArrayFormula* array = arrayFormulaOf(key, formula)) {
        const CellKey anchor{key.sheet, array->range.first};
        auto it = decodedArrays_.find(anchor);
        if (it == decodedArrays_.end())
            it = decodedArrays_.emplace(anchor, ptg::decodeTokens(array->tokens, array->extra)).first;
        return it->second;
    }
    auto it = decoded_.find(key);
    if (it == decoded_.end())
        it = decoded_.emplace(key, ptg::decodeTokens(formula.tokens, formula.extra)).first;
    return it->second;
}

void Evaluator::addFormulaCellsIn(const Area& area, std::vector<CellKey>& out) const {
    if (area.sheet < 0 || size_t(area.sheet) >= formulaCells_.size())
        return;
    const std::vector<CellRef>& candidates = formulaCells_[size_t(area.sheet)];
    auto it = std::lower_bound(candidates.begin(), candidates.end(), area.range.first);
    for (; it != candidates.end() && it->row <= area.range.last.row; ++it) {
        if (area.range.contains(*it))
            out.push_back({area.sheet, *it});
    }
}

void Evaluator::addReferences(const CellKey& at, const ptg::DecodeResult& tokens, int depth,
                              std::vector<CellKey>& out) const {
    auto rangeOf = [](const ptg::Token& t) {
        return CellRange{
            {std::min(t.first.cell.row, t.last.cell.row), std::min(t.first.cell.column, t.last.cell.column)},
            {std::max(t.first.cell.row, t.last.cell.row), std::max(t.first.cell.column, t.last.cell.column)}};
    };
    for (const ptg::Token& t : tokens.tokens) {
        if (t.columnOutOfRange)
            continue;
        if (t.base == ptg::kRef || t.base == ptg::kArea) {
            addFormulaCellsIn({at.sheet, rangeOf(t)}, out);
        } else if (t.base == ptg::kRef3d || t.base == ptg::kArea3d) {
            if (const auto span = sheetsOf(workbook_, t.ixti)) {
                for (int sheet = span->first; sheet <= span->last; ++sheet)
                    addFormulaCellsIn({sheet, rangeOf(t)}, out);
            }
        } else if (t.base == ptg::kName && depth < kMaxNameDepth) {
            if (const ptg::DecodeResult* name = nameTokens(int(t.word) - 1))
                addReferences(at, *name, depth + 1, out);
        }
    }
}

std::vector<CellKey> Evaluator::dependenciesOf(const CellKey& key, const Formula& formula) {
    std::vector<CellKey> dependencies;
    addReferences(key, decoded(key, formula), 0, dependencies);
    return dependencies;
}

void Evaluator::run(const CellKey& root, const Formula& formula) {
    std::vector<Frame> stack;
    auto push = [&](const CellKey& key, const Formula& f) {
        state_[key] = State::InProgress;
        stack.push_back({key, &f, dependenciesOf(key, f), 0});
    };
    push(root, formula);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next < top.dependencies.size()) {
            const CellKey dependency = top.dependencies[top.next++];
            auto seen = state_.find(dependency);
            if (seen == state_.end()) {
                if (const Cell* cell = cellAt(dependency); cell && cell->formula)
                    push(dependency, *cell->formula);
            } else if (seen->second == State::InProgress) {
                // A circle: every cell on the stack from the dependency up is part of it.
                auto from = std::find_if(stack.begin(), stack.end(),
                                         [&](const Frame& f) { return f.key == dependency; });
                for (; from != stack.end(); ++from)
                    circular_.insert(from->key);
            }
            continue;
        }
        const CellKey key = top.key;
        const Formula& f = *top.formula;
        Result result;
        if (circular_.count(key)) {
            result.value = 0.0;
        } else {
            pending_.clear();
            result = execute(key, f);
            if (!pending_.empty()) {
                // It read formula cells not evaluated yet: evaluate those, then run it again.
                // Cells already done without a result (evaluated with another formula) are not
                // waited for: they read as 0, so every retry waits for at least one new cell.
                std::sort(pending_.begin(), pending_.end());
                pending_.erase(std::unique(pending_.begin(), pending_.end()), pending_.end());
                const size_t before = top.dependencies.size();
                for (const CellKey& wanted : pending_) {
                    auto seen = state_.find(wanted);
                    if (seen == state_.end() || seen->second == State::InProgress)
                        top.dependencies.push_back(wanted);
                }
                pending_.clear();
                if (top.dependencies.size() != before)
                    continue;
            }
        }
        stack.pop_back();
        state_[key] = State::Done;
        if (stack.empty() && &f == &formula)
            rootResult_ = result;
        const Cell* cell = cellAt(key);
        if (cell && cell->formula && &*cell->formula == &f) {
            // A cell of a shared formula read without its tokens is written back as its value:
            // it keeps the value it was stored with.
            results_[key] = f.tokens.isEmpty() ? cell->value : result.value;
            if (result.outcome != Outcome::Done || result.isVolatile)
                recalculateOnOpen_.insert(key);
        }
    }
}

Result Evaluator::execute(const CellKey& at, const Formula& formula) {
    const ptg::DecodeResult& tokens = decoded(at, formula);
    if (tokens.status == ptg::DecodeStatus::Truncated)
        return {ErrorCode::Value, Outcome::Malformed};
    if (tokens.status == ptg::DecodeStatus::Unknown)
        return {ErrorCode::Name, Outcome::Unsupported};
    if (tokens.tokens.empty())
        return {ErrorCode::Name, Outcome::Unsupported};
    if (const ArrayFormula* array = arrayFormulaOf(at, formula))
        return arrayElement(at, *array);
    return runTokens(*this, at, tokens);
}

// The array formula is evaluated once, by whichever of its cells comes first; the others take their
// element of that result. A result that read formula cells not evaluated yet is not kept: the cell
// runs again once they are, and evaluates the array afresh.
Result Evaluator::arrayElement(const CellKey& key, const ArrayFormula& array) {
    const CellKey anchor{key.sheet, array.range.first};
    auto it = arrayResults_.find(anchor);
    if (it == arrayResults_.end()) {
        const size_t waiting = pending_.size();
        Evaluation evaluation = runArrayTokens(*this, anchor, decodedArrays_.at(anchor));
        ArrayResult result{std::get<ValueMatrix>(std::move(evaluation.operand)), evaluation.outcome,
                           evaluation.isVolatile || array.alwaysCalculate()};
        if (pending_.size() != waiting)
            return {arrayElementAt(result.values, key.ref.row - anchor.ref.row,
                                   key.ref.column - anchor.ref.column),
                    result.outcome, result.isVolatile};
        it = arrayResults_.emplace(anchor, std::move(result)).first;
    }
    const ArrayResult& result = it->second;
    return {arrayElementAt(result.values, key.ref.row - anchor.ref.row, key.ref.column - anchor.ref.column),
            result.outcome, result.isVolatile};
}

Result Evaluator::evaluateAt(int sheet, CellRef at, const Formula& formula) {
    const CellKey key{sheet, at};
    // The formula may differ from what the cell holds: decode it afresh.
    decoded_.erase(key);
    state_.erase(key);
    if (const ArrayFormula* array = arrayFormulaOf(key, formula))
        arrayResults_.erase({sheet, array->range.first});
    rootResult_.reset();
    run(key, formula);
    decoded_.erase(key);
    return rootResult_.value_or(Result{ErrorCode::Value, Outcome::Malformed});
}

void Evaluator::evaluateAll() {
    for (size_t s = 0; s < formulaCells_.size(); ++s) {
        for (const CellRef& ref : formulaCells_[s]) {
            const CellKey key{int(s), ref};
            if (!state_.count(key))
                run(key, *cellAt(key)->formula);
        }
    }
}

}  // namespace spreadsheet::formula_detail
