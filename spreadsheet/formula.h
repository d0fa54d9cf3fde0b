#pragma once

#include <QString>

#include "spreadsheet/workbook.h"

namespace spreadsheet {

// Compiles a formula in A1 notation ("SUM(B6:B16)", "(B17-B26)", "=1+2") into BIFF8 tokens: numbers,
// texts, TRUE/FALSE, error values, array constants ({1,2;3,4}), references ($B$6, B6:B16, B:B, 6:16),
// every operator (+ - * / ^ & % = <> < <= > >=, the range : and, in parentheses, the union ,) and the
// functions of the engine's library by name. Throws SpreadsheetError for anything else, and for names
// and references to other sheets, which need the workbook.
Formula compileFormula(const QString& text);

// The same, for a formula of the given sheet: defined names and references to other sheets
// ('Sheet Name'!A1:B2, First:Last!A1) are resolved against the workbook, and the EXTERNSHEET entries
// (with the SUPBOOK of the workbook itself) that 3-D references need are added to it.
Formula compileFormula(const QString& text, Workbook& workbook, int sheetIndex);

// Defines a name (or replaces the definition of the name of that scope): `sheet` -1 for the whole
// workbook, else the sheet it belongs to. References in the definition are stored as 3-D references,
// to the name's sheet (the active one for a workbook name) unless they name another. Returns the
// name's index in Workbook::names.
int defineName(Workbook& workbook, const QString& name, const QString& definition, int sheet = -1);

// The EXTERNSHEET entry for sheets first..last of the workbook itself, added when missing.
quint16 externSheetFor(Workbook& workbook, int firstSheet, int lastSheet);

// Enters an array formula over a rectangle of the sheet, as a spreadsheet does when a formula is
// confirmed as an array: "{=B6:C6*2}" (or "=B6:C6*2"), compiled with every operand taking arrays,
// belongs to the rectangle, and each of its cells points at it and shows its element of the result.
// An array formula the rectangle covers whole is replaced; one it cuts through makes it throw
// SpreadsheetError, as does a formula that does not compile.
void setArrayFormula(Workbook& workbook, int sheetIndex, CellRange range, const QString& text);

// Shows the tokens again as A1 text (without the leading "="); tokens it cannot show make it throw.
// Names and 3-D references need the workbook they belong to.
QString formulaText(const Formula& formula);
QString formulaText(const Formula& formula, const Workbook& workbook);
// A cell's formula as a spreadsheet shows it: "=SUM(B6:B16)", or for every cell of an array formula
// the array's formula in braces, "{=B6:C6*2}". Empty for a cell without a formula; throws as
// formulaText does.
QString cellFormulaText(const Workbook& workbook, int sheetIndex, CellRef at);

// Evaluates one formula in the context of a sheet, with every formula it reads evaluated afresh (the
// results stored in the cells are not trusted).
Value evaluateFormula(const Workbook& workbook, int sheetIndex, CellRef at, const Formula& formula);
// Evaluates one formula against the cells as they stand, formula results included: for a workbook that is
// calculated, as one is when it is drawn. Its cost is the formula's own, whatever the workbook's size.
Value evaluateFormulaOnValues(const Workbook& workbook, int sheetIndex, CellRef at, const Formula& formula);

// Evaluates every formula of the workbook and stores the results as the cells' cached values. A
// formula that is volatile (TODAY, NOW, OFFSET, INDIRECT) or that the engine cannot evaluate (it then
// holds the error a spreadsheet shows, never its old result) is marked to be recalculated when a
// spreadsheet opens the file (Formula::alwaysCalculate).
void recalculate(Workbook& workbook);

}  // namespace spreadsheet
