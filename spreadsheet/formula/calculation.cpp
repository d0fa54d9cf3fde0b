// What the calculation keeps between changes: a slot for each formula with its decoded tokens and the
// cells and ranges it names, the dependency index over them, and the formulas marked for the next
// calculation.

#include "spreadsheet/calculation.h"

#include <algorithm>

#include "spreadsheet/formula/evaluator.h"
#include "spreadsheet/formula/functions.h"

namespace spreadsheet::formula_detail {

namespace {

bool isPlainReference(const ptg::Token& t) {
    return t.base == ptg::kRef || t.base == ptg::kArea || t.base == ptg::kRefN || t.base == ptg::kAreaN;
}

bool sameArea(const Area& a, const Area& b) {
    return a.sheet == b.sheet && a.range == b.range;
}

}  // namespace

std::optional<quint32> Evaluator::slotOf(const CellKey& key) const {
    const auto found = slots_.find(packed(key));
    if (found == slots_.end())
        return std::nullopt;
    return found->second;
}

void Evaluator::addReferences(Entry& entry, const ptg::DecodeResult& tokens, int depth) const {
    const CellKey& at = entry.key;
    const auto add = [&](const Area& area) {
        if (std::none_of(entry.areas.begin(), entry.areas.end(),
                         [&](const Area& a) { return sameArea(a, area); }))
            entry.areas.push_back(area);
    };
    for (size_t i = 0; i < tokens.tokens.size(); ++i) {
        const ptg::Token& t = tokens.tokens[i];
        switch (t.base) {
            case ptg::kRef:
            case ptg::kArea:
            case ptg::kRefN:
            case ptg::kAreaN:
                if (!t.columnOutOfRange)
                    add(areaOfToken(t, at.sheet, at.ref));
                break;
            case ptg::kRef3d:
            case ptg::kArea3d:
                if (const auto span = sheetsOf(workbook_, t.ixti); span && !t.columnOutOfRange) {
                    for (int sheet = span->first; sheet <= span->last; ++sheet)
                        add(areaOfToken(t, sheet, at.ref));
                }
                break;
            case ptg::kName:
                if (const ptg::DecodeResult* name = nameTokens(int(t.word) - 1);
                    name && depth < kMaxNameDepth)
                    addReferences(entry, *name, depth + 1);
                break;
            case ptg::kNameX: {
                // A name of this workbook met as an external name reads what the name reads.
                if (t.ixti >= workbook_.externSheets.size() || depth >= kMaxNameDepth)
                    break;
                const quint16 book = workbook_.externSheets[t.ixti].supportingBook;
                if (book >= workbook_.supportingBooks.size())
                    break;
                const SupportingBook& supporting = workbook_.supportingBooks[book];
                if (supporting.kind != SupportingBook::Kind::Self || t.word < 1 ||
                    t.word > supporting.externalNames.size())
                    break;
                for (size_t n = 0; n < workbook_.names.size(); ++n) {
                    if (workbook_.names[n].name.compare(supporting.externalNames[t.word - 1],
                                                        Qt::CaseInsensitive) == 0) {
                        if (const ptg::DecodeResult* name = nameTokens(int(n)))
                            addReferences(entry, *name, depth + 1);
                        break;
                    }
                }
                break;
            }
            case ptg::kFunc:
            case ptg::kFuncVar:
                if (const FunctionInfo* info = functionByIndex(t.word); info && info->isVolatile)
                    entry.isVolatile = true;
                break;
            case ptg::kAttr:
                if (t.byte & ptg::kAttrVolatile)
                    entry.isVolatile = true;
                break;
            case ptg::kRange:
                // The rectangle around two references it names; around references it computes, cells
                // no token names.
                if (i >= 2 && isPlainReference(tokens.tokens[i - 1]) &&
                    isPlainReference(tokens.tokens[i - 2]) && !tokens.tokens[i - 1].columnOutOfRange &&
                    !tokens.tokens[i - 2].columnOutOfRange) {
                    const Area a = areaOfToken(tokens.tokens[i - 2], at.sheet, at.ref);
                    const Area b = areaOfToken(tokens.tokens[i - 1], at.sheet, at.ref);
                    add({at.sheet,
                         {{std::min(a.range.first.row, b.range.first.row),
                           std::min(a.range.first.column, b.range.first.column)},
                          {std::max(a.range.last.row, b.range.last.row),
                           std::max(a.range.last.column, b.range.last.column)}}});
                } else {
                    entry.isVolatile = true;
                }
                break;
            default:
                break;
        }
    }
}

void Evaluator::addEntry(const CellKey& key, const Formula& formula) {
    quint32 slot;
    if (!freeSlots_.empty()) {
        slot = freeSlots_.back();
        freeSlots_.pop_back();
    } else {
        slot = quint32(entries_.size());
        entries_.emplace_back();
    }
    Entry& entry = entries_[slot];
    entry.key = key;
    ++entry.version;
    entry.live = true;
    entry.isVolatile = false;
    // The cells of an array formula hold only a pointer to it: each evaluates the array's tokens.
    const ArrayFormula* array = workbook_.sheets[size_t(key.sheet)].arrayFormulaAt(key.ref);
    entry.inArray = array != nullptr;
    entry.tokens = array ? ptg::decodeTokens(array->tokens, array->extra)
                         : ptg::decodeTokens(formula.tokens, formula.extra);
    entry.areas.clear();
    addReferences(entry, entry.tokens, 0);
    entry.cells.clear();
    for (const Area& area : entry.areas) {
        if (area.range.first == area.range.last)
            entry.cells.push_back({area.sheet, area.range.first});
    }
    slots_[packed(key)] = slot;
    index_.add({slot, entry.version}, entry.areas);
    if (entry.isVolatile)
        volatileSlots_.push_back(slot);
}

void Evaluator::removeEntry(quint32 slot) {
    Entry& entry = entries_[slot];
    index_.remove({slot, entry.version}, entry.areas);
    slots_.erase(packed(entry.key));
    entry.live = false;
    entry.tokens = {};
    entry.areas = {};
    entry.cells = {};
    freeSlots_.push_back(slot);
}

bool Evaluator::mark(quint32 slot) {
    const Entry& entry = entries_[slot];
    Cell* cell = entry.live ? cellAt(entry.key) : nullptr;
    if (!cell || !cell->formula || cell->calculationState == kMarked)
        return false;
    cell->calculationState = kMarked;
    marked_.push_back(slot);
    return true;
}

void Evaluator::markAll() {
    for (quint32 slot = 0; slot < entries_.size(); ++slot)
        mark(slot);
    allMarked_ = true;
}

void Evaluator::cellChanged(int sheet, CellRef ref) {
    prepared_ = false;
    const CellKey key{sheet, ref};
    if (const auto slot = slotOf(key))
        removeEntry(*slot);
    if (Cell* cell = cellAt(key)) {
        cell->calculationState = kCurrent;
        if (cell->formula) {
            addEntry(key, *cell->formula);
            mark(*slotOf(key));
        }
    }
    changed_.push_back(key);
}

void Evaluator::propagate() {
    std::vector<CellKey> queue = changed_;
    for (const quint32 slot : marked_)
        queue.push_back(entries_[slot].key);
    index_.startPass();
    while (!queue.empty()) {
        const CellKey key = queue.back();
        queue.pop_back();
        index_.forEachReader(key.sheet, key.ref, [&](const Reader& reader) {
            const Entry& entry = entries_[reader.slot];
            if (entry.live && entry.version == reader.version && mark(reader.slot))
                queue.push_back(entry.key);
        });
    }
}

void Evaluator::prepare() {
    if (prepared_)
        return;
    // Volatile formulas are evaluated at every calculation; the list sheds formulas since replaced.
    std::sort(volatileSlots_.begin(), volatileSlots_.end());
    volatileSlots_.erase(std::unique(volatileSlots_.begin(), volatileSlots_.end()), volatileSlots_.end());
    std::erase_if(volatileSlots_,
                  [&](quint32 slot) { return !entries_[slot].live || !entries_[slot].isVolatile; });
    for (const quint32 slot : volatileSlots_)
        mark(slot);
    if (!allMarked_)
        propagate();
    changed_.clear();
    prepared_ = true;
}

void Evaluator::calculate(const std::function<void(qint64, qint64)>& progress) {
    prepare();
    // In the order of the sheets' cells, as a spreadsheet calculates a chain it has not ordered yet.
    std::sort(marked_.begin(), marked_.end(),
              [&](quint32 a, quint32 b) { return entries_[a].key < entries_[b].key; });
    done_ = 0;
    total_ = qint64(marked_.size());
    arrayResults_.clear();
    progress_ = &progress;
    for (const quint32 slot : marked_) {
        const Entry& entry = entries_[slot];
        const Cell* cell = entry.live ? cellAt(entry.key) : nullptr;
        if (cell && cell->formula && cell->calculationState == kMarked)
            run(slot, nullptr);
    }
    progress_ = nullptr;
    arrayResults_.clear();
    lastCount_ = done_;
    marked_.clear();
    allMarked_ = false;
    prepared_ = false;
    if (progress)
        progress(total_, total_);
}

}  // namespace spreadsheet::formula_detail

namespace spreadsheet {

Calculation::Calculation(Workbook& workbook)
    : evaluator_(std::make_unique<formula_detail::Evaluator>(workbook)) {}

Calculation::~Calculation() = default;

void Calculation::markAll() {
    evaluator_->markAll();
}

void Calculation::cellChanged(int sheet, CellRef ref) {
    evaluator_->cellChanged(sheet, ref);
}

void Calculation::cellsChanged(int sheet, const CellRange& range) {
    for (int row = range.first.row; row <= range.last.row; ++row)
        for (int column = range.first.column; column <= range.last.column; ++column)
            evaluator_->cellChanged(sheet, {row, column});
}

bool Calculation::hasChanges() const {
    return evaluator_->hasChanges();
}

void Calculation::prepare() {
    evaluator_->prepare();
}

void Calculation::calculate(const CalculationProgress& progress) {
    evaluator_->calculate(progress);
}

qint64 Calculation::lastCount() const {
    return evaluator_->lastCount();
}

}  // namespace spreadsheet
