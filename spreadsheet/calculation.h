#pragma once

#include <QtGlobal>
#include <functional>
#include <memory>

#include "spreadsheet/workbook.h"

namespace spreadsheet {

namespace formula_detail {
class Evaluator;
}

// How far a calculation has come: formulas evaluated so far, of how many it will evaluate.
using CalculationProgress = std::function<void(qint64 done, qint64 total)>;

// A workbook's calculation, kept with it as a spreadsheet keeps it while the workbook is open. Each
// change of a cell is told to it (cellChanged); calculate() then evaluates, once for all the changes
// since the last calculation, the formulas that depend on what changed (found through an index from
// each cell and range to the formulas that read it), the volatile formulas (TODAY, NOW, OFFSET,
// INDIRECT, and any that reads beyond the cells it names) and whatever depends on them, and writes the
// results into the cells. Until then the cells keep the values they have, as a workbook read from a
// file shows the results stored with it. Results are those of recalculate().
//
// While it is kept, the workbook's sheets, names and links stay as they are; its cells may change.
class Calculation {
public:
    explicit Calculation(Workbook& workbook);
    ~Calculation();
    Calculation(const Calculation&) = delete;
    Calculation& operator=(const Calculation&) = delete;

    // Every formula is evaluated at the next calculation, as when a spreadsheet calculates a workbook
    // whose results another program stored.
    void markAll();
    // The content of the cell was replaced (value, formula or format): it and what depends on it are
    // evaluated at the next calculation.
    void cellChanged(int sheet, CellRef ref);
    void cellsChanged(int sheet, const CellRange& range);
    // Changes wait for a calculation.
    bool hasChanges() const;
    // Marks what the next calculation evaluates (calculate() does it first): until then those formula
    // cells have a Cell::calculationState other than 0.
    void prepare();
    void calculate(const CalculationProgress& progress = {});
    // The number of formulas the last calculation evaluated.
    qint64 lastCount() const;

private:
    std::unique_ptr<formula_detail::Evaluator> evaluator_;
};

}  // namespace spreadsheet
