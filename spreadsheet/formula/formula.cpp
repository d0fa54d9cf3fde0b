#include "spreadsheet/formula.h"

#include "spreadsheet/calculation.h"
#include "spreadsheet/error.h"
#include "spreadsheet/formula/evaluator.h"

namespace spreadsheet {

Value evaluateFormula(const Workbook& workbook, int sheetIndex, CellRef at, const Formula& formula) {
    if (sheetIndex < 0 || size_t(sheetIndex) >= workbook.sheets.size()) {
        throw SpreadsheetError(QStringLiteral("There is no worksheet %1.").arg(sheetIndex + 1));
    }
    // Evaluated in a copy, every formula of which is evaluated afresh as it is read: stored results
    // never leak in.
    Workbook copy = workbook;
    formula_detail::Evaluator evaluator(copy);
    evaluator.markAll();
    return evaluator.evaluateAt(sheetIndex, at, formula).value;
}

Value evaluateFormulaOnValues(const Workbook& workbook, int sheetIndex, CellRef at, const Formula& formula) {
    if (sheetIndex < 0 || size_t(sheetIndex) >= workbook.sheets.size()) {
        throw SpreadsheetError(QStringLiteral("There is no worksheet %1.").arg(sheetIndex + 1));
    }
    // Only read: the evaluator neither marks nor writes a cell in this mode.
    formula_detail::Evaluator evaluator(const_cast<Workbook&>(workbook),
                                        formula_detail::Evaluator::Mode::ReadingValues);
    return evaluator.evaluateAt(sheetIndex, at, formula).value;
}

void recalculate(Workbook& workbook) {
    Calculation calculation(workbook);
    calculation.markAll();
    calculation.calculate();
}

}  // namespace spreadsheet
