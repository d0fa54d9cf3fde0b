#pragma once

#include <QByteArray>
#include <QString>

#include "spreadsheet/workbook.h"

namespace spreadsheet {

// Writes the workbook as an Excel 97-2003 file: a compound file with the BIFF8 workbook stream, the
// summary and document-summary property streams and the CompObj stream. Cached formula results are
// written as the model holds them (recalculate first). Throws SpreadsheetError on failure; a failed
// write leaves no partial file behind.
void writeWorkbookFile(const Workbook& workbook, const QString& path);
QByteArray workbookFileBytes(const Workbook& workbook);

// The bare BIFF8 workbook stream.
QByteArray workbookStream(const Workbook& workbook);

}  // namespace spreadsheet
