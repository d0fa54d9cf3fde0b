#pragma once

// What a generated statement workbook becomes outside the program: its pages as a PDF document and the
// picture of its sheet. Both are drawn from the active sheet, the sheet the preview shows.

#include <QByteArray>
#include <QImage>
#include <QString>

#include "spreadsheet/page_printer.h"
#include "spreadsheet/workbook.h"

namespace generation {

inline const QString kStatementTitle = QStringLiteral("Personal Financial Statement");

// The name the statement was drawn up for, as its cell A2 shows it (the run writes the name there);
// empty when the cell is empty.
QString statementName(const spreadsheet::Workbook& workbook, int sheetIndex);

// How the sheet prints: the document's title, the statement's name as its author, and the workbook's
// path for the header and footer codes that print the file's name and folder.
spreadsheet::PrintOptions statementPrintOptions(const spreadsheet::Workbook& workbook, int sheetIndex,
                                                const QString& workbookPath);

// The active sheet's pages as a PDF document, with the title and author in its document information.
// Throws (spreadsheet::SpreadsheetError, shell::RuntimeError) when there is nothing to print.
QByteArray statementPdf(const spreadsheet::Workbook& workbook, const QString& workbookPath);

// The used range of the active sheet as the spreadsheet shows it, the picture the preview shows.
// Throws shell::RuntimeError for a workbook with nothing to draw.
QImage statementPicture(const spreadsheet::Workbook& workbook);

// The picture as a PNG file's bytes. Throws shell::RuntimeError when it cannot be encoded.
QByteArray pngBytes(const QImage& picture);

}  // namespace generation
