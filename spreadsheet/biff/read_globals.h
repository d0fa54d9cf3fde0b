#pragma once

// The workbook globals substream: everything before the first sheet's BOF.

#include <QByteArrayView>
#include <QStringList>
#include <optional>
#include <vector>

#include "spreadsheet/biff/record_reader.h"
#include "spreadsheet/workbook.h"

namespace spreadsheet::biff {

// One BOUNDSHEET record.
struct SheetEntry {
    QString name;
    quint32 offset = 0;     // of the sheet's BOF in the stream
    quint8 type = 0;        // 0 worksheet or dialog, 1 macro sheet, 2 chart, 6 module
    quint8 visibility = 0;  // 0 visible, 1 hidden, 2 very hidden
    bool visible = true;
};

struct Globals {
    std::vector<SheetEntry> sheets;
    QStringList sharedStrings;
    qsizetype end = 0;  // the offset just past the globals' EOF
};

// Reads a calculation setting (CALCMODE, CALCCOUNT, REFMODE, ITERATION, DELTA, SAVERECALC), which BIFF8
// keeps in every worksheet; false for any other record.
bool readCalculationSetting(const Record& record, CalculationSettings& calculation);

// Reads the globals into the workbook (fonts, formats, styles, palette, settings) and returns what the
// sheets need. Throws SpreadsheetError for a stream that is not BIFF8, is encrypted or is damaged.
Globals readGlobals(QByteArrayView stream, Workbook& workbook);

// What a globals record says as far as the model goes: the body the writer makes of what the reader makes of
// it; nothing for a record whose body the model keeps nothing of. The writer writes a record as read when
// this is the body it makes now (see RecordsAsRead). Throws SpreadsheetError for a record too short to read.
std::optional<QByteArray> normalizedGlobalsRecord(quint16 id, QByteArrayView body);

}  // namespace spreadsheet::biff
