#pragma once

// The calculation behind spreadsheet/calculation.h, recalculate and evaluateFormula. It is kept with
// its workbook between changes, as a spreadsheet keeps it: a change marks the cell, and the next
// calculation evaluates the formulas that depend on the marked cells (found through the dependency
// index), the volatile ones and theirs, each once, and writes each result into its cell.
//
// Formula cells are evaluated in dependency order with an explicit stack (no recursion, so a long chain
// of formulas cannot exhaust the call stack); cells caught in a circular reference give 0, as a
// spreadsheet shows them with iteration off. A formula first waits for the formula cells it names one by
// one; ranges, and references made while evaluating (OFFSET, INDIRECT), are found on demand: a formula
// that reads a formula cell not evaluated yet is put back, the cell is evaluated first, and the formula
// runs again. Each retry finishes at least one more cell, so this ends, and a cell that reads itself
// this way is circular like any other.
//
// What a formula reads beyond the cells and ranges it names (OFFSET and INDIRECT, a range built with
// ':' from computed references, a SUMIF whose sum range grows to the size of its range) cannot be
// known before it runs: such a formula is evaluated at every calculation, as a spreadsheet does with
// volatile functions, and so are the formulas that depend on it.
//
// Each cell of an array formula is a formula of its own that reads what the array reads, so a change
// marks every cell of the array. The array is evaluated once per calculation, by whichever of its cells
// comes first; the others take their element of that result.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "spreadsheet/formula/dependency_index.h"
#include "spreadsheet/formula/evaluator_types.h"

namespace spreadsheet::formula_detail {

// Where a formula cell stands in a calculation, kept in Cell::calculationState.
enum CellState : quint8 {
    kCurrent = 0,     // its value is its result
    kMarked = 1,      // it is to be evaluated
    kInProgress = 2,  // it is being evaluated, waiting for cells it reads
    kCircular = 3,    // it is being evaluated and found in a circular reference: it reads as 0
};

class Evaluator {
public:
    // Calculating keeps every formula cell of the workbook and evaluates what is marked; ReadingValues
    // keeps none, and evaluateAt reads every cell as it stands, results included, evaluating nothing but
    // the formula it is given (the workbook is only read, though it is not const).
    enum class Mode { Calculating, ReadingValues };
    explicit Evaluator(Workbook& workbook, Mode mode = Mode::Calculating);
    ~Evaluator();
    Evaluator(const Evaluator&) = delete;
    Evaluator& operator=(const Evaluator&) = delete;

    // --- the calculation
    // Marks every formula: the next calculation evaluates them all.
    void markAll();
    // The cell's content was replaced: it is evaluated (when it holds a formula) at the next
    // calculation, as is every formula that reads it.
    void cellChanged(int sheet, CellRef ref);
    bool hasChanges() const { return !changed_.empty() || !marked_.empty(); }
    // Marks what the next calculation evaluates: the formulas that depend on the cells changed, the
    // volatile ones and theirs.
    void prepare();
    // Evaluates the marked formulas, preparing first. progress(done, total) is called now and then.
    void calculate(const std::function<void(qint64, qint64)>& progress = {});
    // The number of formulas the last calculation evaluated.
    qint64 lastCount() const { return lastCount_; }
    // Evaluates a formula as if it stood at the cell, with the marked formula cells it reads first, and
    // returns its result. When the cell holds a formula, this one takes its place there (a formula
    // reading the cell then meets itself); otherwise the cell keeps what it holds.
    Result evaluateAt(int sheet, CellRef at, const Formula& formula);

    // --- what operators and functions read
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
    struct Entry {
        CellKey key;
        quint32 version = 0;
        bool live = false;
        bool isVolatile = false;  // recalculated at every calculation, as are its dependants
        bool floating = false;    // evaluated at its cell without standing in it
        bool inArray = false;     // a cell of an array formula: tokens and areas are the array's
        ptg::DecodeResult tokens;
        std::vector<Area> areas;     // the cells and ranges it names, its names' included
        std::vector<CellKey> cells;  // the single cells among them, waited for before it runs
    };
    // What an array formula gave in this calculation, kept by its first cell for all its cells.
    struct ArrayResult {
        ValueMatrix values;
        Outcome outcome = Outcome::Done;
        bool isVolatile = false;   // TODAY and its kin, or the array's always-calculate flag
        bool readsBeyond = false;  // it read beyond what it names: all its cells are volatile
    };
    struct Frame {
        quint32 slot;
        std::vector<CellKey> dependencies;
        size_t next = 0;
    };

    static quint64 packed(const CellKey& key) {
        return quint64(quint32(key.sheet)) << 32 | quint64(quint32(key.ref.row)) << 8 |
               quint64(key.ref.column);
    }
    Cell* cellAt(const CellKey& key) {
        if (key.sheet < 0 || size_t(key.sheet) >= workbook_.sheets.size())
            return nullptr;
        return workbook_.sheets[size_t(key.sheet)].cells().get(key.ref);
    }
    const Cell* cellAt(const CellKey& key) const { return const_cast<Evaluator*>(this)->cellAt(key); }
    std::optional<quint32> slotOf(const CellKey& key) const;

    void addEntry(const CellKey& key, const Formula& formula);
    void removeEntry(quint32 slot);
    // The areas the tokens name, and whether they are volatile.
    void addReferences(Entry& entry, const ptg::DecodeResult& tokens, int depth) const;
    // Marks the formula unless it is marked; true when it was not.
    bool mark(quint32 slot);
    void propagate();
    void run(quint32 slot, Result* rootResult);
    void push(std::vector<Frame>& stack, quint32 slot);
    Result execute(Entry& entry);
    Result arrayElement(Entry& entry, const ArrayFormula& array);
    // Marks the formula volatile: it is evaluated at every calculation from now on.
    void makeVolatile(Entry& entry);
    // Adds the formula cells the last evaluation read unfinished to the frame; false when none.
    bool addPending(Frame& frame);
    Value unfinished(const CellKey& key, const Cell& cell) const;
    void noteRead(const Area& area) const;
    void noteRead(const CellKey& key) const;

    Workbook& workbook_;
    const bool readingValues_;
    std::vector<ptg::DecodeResult> names_;
    std::vector<Entry> entries_;
    std::vector<quint32> freeSlots_;
    std::unordered_map<quint64, quint32> slots_;
    std::vector<quint32> volatileSlots_;
    std::map<CellKey, ArrayResult> arrayResults_;  // of the current calculation, by the array's first cell
    DependencyIndex index_;
    std::vector<CellKey> changed_;  // cells changed since the last calculation
    std::vector<quint32> marked_;   // formulas marked since the last calculation
    bool allMarked_ = false;
    bool prepared_ = false;
    qint64 lastCount_ = 0;
    qint64 done_ = 0;
    qint64 total_ = 0;
    const std::function<void(qint64, qint64)>* progress_ = nullptr;
    mutable std::vector<CellKey> pending_;  // formula cells read before they were evaluated
    mutable Entry* current_ = nullptr;      // the formula being evaluated, whose reads are watched
};

template <typename F>
void Evaluator::forEachValue(const Area& area, F&& f) const {
    if (area.sheet < 0 || size_t(area.sheet) >= workbook_.sheets.size())
        return;
    noteRead(area);
    workbook_.sheets[size_t(area.sheet)].cells().forEachIn(area.range, [&](CellRef ref, const Cell& cell) {
        if (!cell.formula || cell.calculationState == kCurrent || readingValues_)
            f(cell.value);
        else
            f(unfinished({area.sheet, ref}, cell));
    });
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
