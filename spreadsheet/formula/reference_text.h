#pragma once

// References and names written as text, as INDIRECT reads them and formulas show them:
// "B6", "$B$6:B16", "Data!A1", "'My sheet'!A1:B2", and in R1C1 style "R6C2", "R[-1]C".

#include <QString>
#include <optional>

#include "spreadsheet/formula/evaluator.h"

namespace spreadsheet::formula_detail {

// Nothing when the text is not a reference to a sheet of the workbook.
std::optional<Area> parseReferenceText(const Workbook& workbook, const QString& text, const CellKey& at,
                                       bool a1);

// The index of the defined name as seen from the sheet (its own names first, then the workbook's);
// -1 when there is none.
int findName(const Workbook& workbook, const QString& name, int sheet);

// A sheet's name as a formula writes it: quoted ('My sheet') when it is not a plain word.
QString sheetNameText(const QString& name);

}  // namespace spreadsheet::formula_detail
