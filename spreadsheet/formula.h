#pragma once

#include <QString>

#include "spreadsheet/workbook.h"

namespace spreadsheet {

// Compiles a formula in A1 notation ("SUM(B6:B16)", "(B17-B26)", "=1+2") into BIFF8 tokens.
// Supports cell references (relative and $absolute), areas, SUM, + - * /, unary minus and plus,
// parentheses, numbers and strings. Throws SpreadsheetError for anything else.
Formula compileFormula(const QString& text);

// Shows the tokens again as A1 text (without the leading "="); unknown tokens make it throw.
QString formulaText(const Formula& formula);

// Evaluates one formula in the context of a sheet.
Value evaluateFormula(const Workbook& workbook, int sheetIndex, CellRef at, const Formula& formula);

// Evaluates every formula of the workbook and stores the results as the cells' cached values.
void recalculate(Workbook& workbook);

}  // namespace spreadsheet
