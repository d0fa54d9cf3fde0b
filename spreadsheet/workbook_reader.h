#pragma once

#include <QByteArray>
#include <QString>

#include "spreadsheet/workbook.h"

namespace spreadsheet {

// Reads a BIFF8 workbook (.xls or .xlt) from a compound file. Records the model does not hold are
// skipped. Throws SpreadsheetError with a clear message for anything unreadable or malformed.
Workbook readWorkbookFile(const QString& path);
Workbook readWorkbookBytes(const QByteArray& compoundFile);

// Reads the bare workbook stream (the BIFF8 records), without the container.
Workbook readWorkbookStream(const QByteArray& stream);

}  // namespace spreadsheet
