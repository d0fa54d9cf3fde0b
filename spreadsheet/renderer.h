#pragma once

#include <QImage>

#include "spreadsheet/workbook.h"

namespace spreadsheet {

// Draws a range of a sheet as a spreadsheet shows it at 100 % zoom on a 96 dpi screen: the image is
// exactly the size of the range's columns and rows.
QImage renderRange(const Workbook& workbook, int sheetIndex, const CellRange& range);

}  // namespace spreadsheet
