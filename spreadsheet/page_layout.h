#pragma once

// The paper a sheet prints on and the cells it prints, read from the workbook's page setup.

#include <QPageLayout>
#include <QPageSize>
#include <vector>

#include "spreadsheet/workbook.h"

namespace spreadsheet {

// The paper of a page setup's paper code (the printer paper numbers the file format uses: 1 Letter,
// 5 Legal, 9 A4 ...). An unknown code prints on Letter, as a spreadsheet does without a printer.
QPageSize pageSizeForPaperCode(quint16 code);

// The sheet's paper, orientation and margins (in inches, as the page setup keeps them). The header
// and footer margins have no place in a QPageLayout; they stay in the sheet's PageSetup.
QPageLayout pageLayoutFor(const Worksheet& sheet);

// The ranges a sheet prints, in order: the areas of its built-in Print_Area name when it has one that
// names cells of this sheet, else its used range; nothing for an empty sheet.
std::vector<CellRange> printedAreas(const Workbook& workbook, int sheetIndex);

// The cell ranges a Print_Area definition names on the given sheet. Only references and areas, alone
// or joined by commas, are read; anything else gives nothing.
std::vector<CellRange> printAreaRanges(const Workbook& workbook, const DefinedName& name, int sheetIndex);

}  // namespace spreadsheet
