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

Area areaOfToken(const ptg::Token& t, int sheet, CellRef at) {
    auto place = [&](const ptg::RefOperand& r) {
        if (!t.relativeToCell)
            return r.cell;
        const int row = r.rowRelative ? (at.row + r.cell.row + kMaxRows) % kMaxRows : r.cell.row;
        const int column =
            r.columnRelative ? (at.column + r.cell.column + kMaxColumns) % kMaxColumns : r.cell.column;
        return CellRef{row, column};
    };
    const CellRef a = place(t.first);
    const CellRef b = place(t.last);
    return {sheet,
            {{std::min(a.row, b.row), std::min(a.column, b.column)},
             {std::max(a.row, b.row), std::max(a.column, b.column)}}};
}

Evaluator::Evaluator(Workbook& workbook, Mode mode)
    : workbook_(workbook), readingValues_(mode == Mode::ReadingValues) {
    names_.reserve(workbook.names.size());
    for (const DefinedName& name : workbook.names)
        names_.push_back(ptg::decodeTokens(name.formula.tokens, name.formula.extra));
    if (readingValues_)
        return;
    for (size_t s = 0; s < workbook.sheets.size(); ++s) {
        for (auto& [ref, cell] : workbook.sheets[s].cells()) {
            if (cell.formula) {
                cell.calculationState = kCurrent;
                addEntry({int(s), ref}, *cell.formula);
            }
        }
    }
}

Evaluator::~Evaluator() {
    // Cells this calculation marked and never evaluated keep their old values, which stand.
    for (const quint32 slot : marked_) {
        if (Cell* cell = entries_[slot].live ? cellAt(entries_[slot].key) : nullptr)
            cell->calculationState = kCurrent;
    }
}

const ptg::DecodeResult* Evaluator::nameTokens(int index) const {
    if (index < 0 || size_t(index) >= names_.size())
        return nullptr;
    return &names_[size_t(index)];
}

Value Evaluator::cellValue(const CellKey& key) const {
    noteRead(key);
    const Cell* cell = cellAt(key);
    if (!cell)
        return {};
    if (!cell->formula || cell->calculationState == kCurrent || readingValues_)
        return cell->value;
    return unfinished(key, *cell);
}

Value Evaluator::unfinished(const CellKey& key, const Cell& cell) const {
    // Inside a circular reference the cell reads as 0; otherwise it is evaluated first and the
    // formula reading it runs again.
    if (cell.calculationState != kCircular)
        pending_.push_back(key);
    return 0.0;
}

void Evaluator::noteRead(const CellKey& key) const {
    if (!current_ || current_->isVolatile)
        return;
    for (const Area& area : current_->areas) {
        if (area.contains(key))
            return;
    }
    current_->isVolatile = true;
}

void Evaluator::noteRead(const Area& area) const {
    if (!current_ || current_->isVolatile)
        return;
    for (const Area& named : current_->areas) {
        if (named.contains(area))
            return;
    }
    current_->isVolatile = true;
}

void Evaluator::push(std::vector<Frame>& stack, quint32 slot) {
    Entry& entry = entries_[slot];
    if (!entry.floating)
        cellAt(entry.key)->calculationState = kInProgress;
    stack.push_back({slot, entry.cells, 0});
}

void Evaluator::run(quint32 root, Result* rootResult) {
    std::vector<Frame> stack;
    push(stack, root);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next < top.dependencies.size()) {
            const CellKey dependency = top.dependencies[top.next++];
            const Cell* cell = cellAt(dependency);
            if (!cell || !cell->formula)
                continue;
            if (cell->calculationState == kMarked) {
                if (const auto slot = slotOf(dependency))
                    push(stack, *slot);
            } else if (cell->calculationState != kCurrent) {
                // A circle: every cell on the stack from the dependency up is part of it.
                auto from = std::find_if(stack.begin(), stack.end(), [&](const Frame& f) {
                    return !entries_[f.slot].floating && entries_[f.slot].key == dependency;
                });
                for (; from != stack.end(); ++from)
                    cellAt(entries_[from->slot].key)->calculationState = kCircular;
            }
            continue;
        }
        Entry& entry = entries_[top.slot];
        if (entry.floating) {
            pending_.clear();
            Result result = execute(entry);
            if (addPending(top))
                continue;
            if (rootResult)
                *rootResult = std::move(result);
            stack.pop_back();
            continue;
        }
        Cell& cell = *cellAt(entry.key);
        Result result;
        if (cell.calculationState == kCircular) {
            result.value = 0.0;
        } else {
            pending_.clear();
            result = execute(entry);
            if (addPending(top))
                continue;
        }
        if (rootResult && stack.size() == 1)
            *rootResult = result;
        // A cell of a shared formula read without its tokens is written back as its value: it keeps
        // the value it was stored with.
        if (!cell.formula->tokens.isEmpty())
            cell.value = std::move(result.value);
        cell.calculationState = kCurrent;
        if (result.outcome != Outcome::Done || result.isVolatile)
            cell.formula->alwaysCalculate = true;
        stack.pop_back();
        ++done_;
        if (progress_ && *progress_ && done_ % 1024 == 0)
            (*progress_)(done_, total_);
    }
}

bool Evaluator::addPending(Frame& frame) {
    if (pending_.empty())
        return false;
    // It read formula cells not evaluated yet: evaluate those, then run it again.
    std::sort(pending_.begin(), pending_.end());
    pending_.erase(std::unique(pending_.begin(), pending_.end()), pending_.end());
    const size_t before = frame.dependencies.size();
    for (const CellKey& wanted : pending_) {
        const Cell* read = cellAt(wanted);
        if (read && read->formula && read->calculationState != kCurrent)
            frame.dependencies.push_back(wanted);
    }
    pending_.clear();
    return frame.dependencies.size() != before;
}

Result Evaluator::execute(Entry& entry) {
    const ptg::DecodeResult& tokens = entry.tokens;
    if (tokens.status == ptg::DecodeStatus::Truncated)
        return {ErrorCode::Value, Outcome::Malformed};
    if (tokens.status == ptg::DecodeStatus::Unknown || tokens.tokens.empty())
        return {ErrorCode::Name, Outcome::Unsupported};
    const bool wasVolatile = entry.isVolatile;
    current_ = &entry;
    Result result{ErrorCode::Name, Outcome::Unsupported};
    if (!entry.inArray) {
        result = runTokens(*this, entry.key, tokens);
    } else if (const ArrayFormula* array =
                   workbook_.sheets[size_t(entry.key.sheet)].arrayFormulaAt(entry.key.ref)) {
        result = arrayElement(entry, *array);
    }
    current_ = nullptr;
    // A formula found reading beyond what it names is evaluated at every calculation from now on.
    if (entry.isVolatile && !wasVolatile)
        makeVolatile(entry);
    return result;
}

void Evaluator::makeVolatile(Entry& entry) {
    entry.isVolatile = true;
    if (!entry.floating)
        volatileSlots_.push_back(quint32(&entry - entries_.data()));
}

// A result that read formula cells not evaluated yet is not kept: the cell runs again once they are,
// and evaluates the array afresh.
Result Evaluator::arrayElement(Entry& entry, const ArrayFormula& array) {
    const CellKey anchor{entry.key.sheet, array.range.first};
    const int row = entry.key.ref.row - anchor.ref.row;
    const int column = entry.key.ref.column - anchor.ref.column;
    auto it = arrayResults_.find(anchor);
    if (it == arrayResults_.end()) {
        const size_t waiting = pending_.size();
        Evaluation evaluation = runArrayTokens(*this, anchor, entry.tokens);
        ArrayResult result{std::get<ValueMatrix>(std::move(evaluation.operand)), evaluation.outcome,
                           evaluation.isVolatile || array.alwaysCalculate(), entry.isVolatile};
        if (pending_.size() != waiting)
            return {arrayElementAt(result.values, row, column), result.outcome, result.isVolatile};
        it = arrayResults_.emplace(anchor, std::move(result)).first;
    }
    const ArrayResult& result = it->second;
    // The cell that evaluated the array watched its reads for all of its cells.
    if (result.readsBeyond)
        entry.isVolatile = true;
    return {arrayElementAt(result.values, row, column), result.outcome, result.isVolatile};
}

Result Evaluator::evaluateAt(int sheet, CellRef at, const Formula& formula) {
    const CellKey key{sheet, at};
    Result result{ErrorCode::Value, Outcome::Malformed};
    arrayResults_.clear();
    if (slotOf(key)) {
        cellAt(key)->formula = formula;
        cellChanged(sheet, at);
        run(*slotOf(key), &result);
        return result;
    }
    Entry floating;
    floating.key = key;
    floating.floating = true;
    floating.tokens = ptg::decodeTokens(formula.tokens, formula.extra);
    addReferences(floating, floating.tokens, 0);
    for (const Area& area : readingValues_ ? std::vector<Area>() : floating.areas) {
        if (area.range.first == area.range.last)
            floating.cells.push_back({area.sheet, area.range.first});
    }
    entries_.push_back(std::move(floating));
    const quint32 slot = quint32(entries_.size() - 1);
    run(slot, &result);
    entries_.pop_back();
    return result;
}

}  // namespace spreadsheet::formula_detail
