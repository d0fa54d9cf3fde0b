#pragma once

// A worksheet substream: its cells and, through biff_read_sheet_settings, everything else it holds.

#include <QByteArrayView>
#include <QStringList>

#include "spreadsheet/workbook.h"

namespace spreadsheet::biff {

// The number an RK value stands for: a 30-bit integer or the top 30 bits of a double, either of them
// possibly a hundred times too large.
double decodeRk(quint32 rk);

// The error a cell holds, from its BIFF8 code; throws SpreadsheetError for a code that names none.
ErrorCode errorFromCode(quint8 code);

// Reads the substream that starts with the BOF at offset into the sheet. False when that substream is
// no worksheet (a chart or a macro sheet), which then leaves the sheet as it was. The calculation
// settings the sheet holds are the workbook's.
bool readWorksheet(QByteArrayView stream, qsizetype offset, const QStringList& sharedStrings,
                   size_t formatCount, Worksheet& sheet, CalculationSettings& calculation);

}  // namespace spreadsheet::biff
