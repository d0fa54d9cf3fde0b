#pragma once

// The conditional formats of a sheet, read from the CONDFMT, CF, CONDFMT12 and CF12 records the sheet
// keeps as read (see model/conditional_format.h).

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

#include "spreadsheet/workbook.h"

namespace spreadsheet::biff {

// Fills sheet.conditionalFormats from sheet.kept. A format or rule whose record cannot be read is left
// out: it only changes how cells look, and its record is written back as it was either way.
void readConditionalFormats(Worksheet& sheet);

// A rule's formula (rgce) in the form ConditionalRule keeps it. tRefN and tAreaN hold distances from the
// cell the rule is evaluated at already; a tRef or tArea whose parts are relative holds the cell as it
// reads from the top-left cell of the format's first range, and becomes the distances from there.
// Nothing when a token cannot be read.
std::optional<QByteArray> conditionTokens(QByteArrayView rgce, CellRef topLeft);

}  // namespace spreadsheet::biff
