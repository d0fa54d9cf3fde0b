#include "spreadsheet/formula_evaluator.h"

#include <algorithm>

namespace spreadsheet::formula_detail {

Evaluator::Evaluator(const Workbook& workbook) : workbook_(workbook) {
    formulaCells_.resize(workbook.sheets.size());
    for (size_t s = 0; s < workbook.sheets.size(); ++s) {
        for (const auto& [ref, cell] : workbook.sheets[s].cells()) {
            if (cell.formula)
                formulaCells_[s].push_back(ref);
        }
    }
}

const Cell* Evaluator::cellAt(const CellKey& key) const {
    if (key.sheet < 0 || size_t(key.sheet) >= workbook_.sheets.size())
        return nullptr;
    return workbook_.sheets[size_t(key.sheet)].cell(key.ref);
}

Value Evaluator::cellValue(const CellKey& key) const {
    const Cell* cell = cellAt(key);
    if (!cell)
        return {};
    if (!cell->formula)
        return cell->value;
    if (auto it = results_.find(key); it != results_.end())
        return it->second;
    // Not evaluated yet only inside a circular reference, which reads as 0.
    return 0.0;
}

const ptg::DecodeResult& Evaluator::decoded(const CellKey& key, const Formula& formula) {
    auto it = decoded_.find(key);
    if (it == decoded_.end())
        it = decoded_.emplace(key, ptg::decodeTokens(formula.tokens)).first;
    return it->second;
}

std::vector<CellKey> Evaluator::dependenciesOf(const CellKey& key, const Formula& formula) {
    std::vector<CellKey> dependencies;
    if (key.sheet < 0 || size_t(key.sheet) >= formulaCells_.size())
        return dependencies;
    const std::vector<CellRef>& candidates = formulaCells_[size_t(key.sheet)];
    for (const ptg::Token& t : decoded(key, formula).tokens) {
        if ((t.base != ptg::kRef && t.base != ptg::kArea) || t.columnOutOfRange)
            continue;
        const CellRange range{
            {std::min(t.first.cell.row, t.last.cell.row), std::min(t.first.cell.column, t.last.cell.column)},
            {std::max(t.first.cell.row, t.last.cell.row), std::max(t.first.cell.column, t.last.cell.column)}};
        auto it = std::lower_bound(candidates.begin(), candidates.end(), range.first);
        for (; it != candidates.end() && it->row <= range.last.row; ++it) {
            if (range.contains(*it))
                dependencies.push_back({key.sheet, *it});
        }
    }
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
                push(dependency, *cellAt(dependency)->formula);
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
        stack.pop_back();
        state_[key] = State::Done;
        Result result;
        if (circular_.count(key)) {
            result.value = 0.0;
        } else {
            result = execute(key, f);
        }
        if (stack.empty() && &f == &formula)
            rootResult_ = result;
        const Cell* cell = cellAt(key);
        if (cell && cell->formula && &*cell->formula == &f) {
            // A formula this engine cannot evaluate keeps the result it was stored with.
            results_[key] = result.outcome == Outcome::Unsupported ? cell->value : result.value;
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
        return {ErrorCode::Name, Outcome::Unsupported};  // shared formula without tokens
    return runTokens(*this, at, tokens);
}

Result Evaluator::evaluateAt(int sheet, CellRef at, const Formula& formula) {
    const CellKey key{sheet, at};
    // The formula may differ from what the cell holds: decode it afresh.
    decoded_.erase(key);
    state_.erase(key);
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
