#include "spreadsheet/formula.h"

#include "spreadsheet/error.h"
#include "spreadsheet/formula/evaluator.h"

namespace spreadsheet {

Value evaluateFormula(const Workbook& workbook, int sheetIndex, CellRef at, const Formula& formula) {
    if (sheetIndex < 0 || size_t(sheetIndex) >= workbook.sheets.size()) {
        throw SpreadsheetError(QStringLiteral("There is no worksheet %1.").arg(sheetIndex + 1));
    }
    formula_detail::Evaluator evaluator(workbook);
    return evaluator.evaluateAt(sheetIndex, at, formula).value;
}

void recalculate(Workbook& workbook) {
    formula_detail::Evaluator evaluator(workbook);
    evaluator.evaluateAll();
    for (const auto& [key, value] : evaluator.results()) {
        Cell& cell = workbook.sheets[size_t(key.sheet)].cellForWriting(key.ref);
        cell.value = value;
        if (evaluator.recalculateOnOpen().count(key) && cell.formula)
            cell.formula->alwaysCalculate = true;
    }
}

}  // namespace spreadsheet
