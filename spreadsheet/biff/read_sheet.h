#pragma once

// A worksheet substream: its cells and, through biff_read_sheet_settings, everything else it holds.

#include <QByteArrayView>
#include <QStringList>
#include <optional>

#include "spreadsheet/workbook.h"

namespace spreadsheet::biff {

// The number an RK value stands for: a 30-bit integer or the top 30 bits of a double, either of them
// possibly a hundred times too large.
double decodeRk(quint32 rk);

// The error a cell holds, from its BIFF8 code; throws SpreadsheetError for a code that names none.
ErrorCode errorFromCode(quint8 code);

// More cells than this in one workbook are refused: memory grows with the cells, not with the file (a
// MULBLANK record names a cell in two bytes), and no workbook this program is meant for comes near.
inline constexpr size_t kMaxCells = 2'000'000;

// What every sheet of a workbook reads against, and what the sheets add to the workbook.
struct SheetContext {
    const QStringList& sharedStrings;
    size_t formatCount = 0;            // bounds the cell format indexes
    CalculationSettings& calculation;  // BIFF8 keeps the workbook's calculation settings in its sheets
    size_t cellBudget = kMaxCells;     // what the sheets still read may hold
};

// A substream ends with its EOF record or, as spreadsheets read one whose writer left that record out, with
// the stream.

// Reads the substream that starts with the BOF at offset into the sheet and returns the offset just past
// its end. Nothing when that substream is no worksheet (a chart or a macro sheet); the sheet is then left
// as it was.
std::optional<qsizetype> readWorksheet(QByteArrayView stream, qsizetype offset, SheetContext& context,
                                       Worksheet& sheet);

// The offset just past the end of the substream starting with the BOF at offset. It ends at `limit` at the
// latest: where the next sheet's substream starts, since gnumeric leaves the EOF out of chart sheets.
qsizetype substreamEnd(QByteArrayView stream, qsizetype offset, qsizetype limit);

}  // namespace spreadsheet::biff
