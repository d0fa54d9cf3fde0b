#pragma once

// What a generated statement workbook becomes outside the program: its pages on a printer or in a PDF
// document, the picture of its sheet, and its totals as text. All are drawn from the active sheet, the
// sheet the preview shows.

#include <QByteArray>
#include <QImage>
#include <QPageLayout>
#include <QString>

#include "spreadsheet/workbook.h"

class QPagedPaintDevice;

namespace generation {

inline const QString kStatementTitle = QStringLiteral("Personal Financial Statement");

// The name the statement was drawn up for, as its cell A2 shows it (the run writes the name there);
// empty when the cell is empty.
QString statementName(const spreadsheet::Workbook& workbook, int sheetIndex);

// The active sheet's paper, orientation and margins, as its page setup has them.
QPageLayout statementPageLayout(const spreadsheet::Workbook& workbook);

// Prints the active sheet's pages onto the device, on the paper and margins the device has (a print
// dialog may have changed the sheet's), with the statement's title and name and the workbook's path for
// the header and footer codes that print the file's name and folder. Throws
// (spreadsheet::SpreadsheetError) when there is nothing to print.
void printStatement(const spreadsheet::Workbook& workbook, QPagedPaintDevice& device,
                    const QString& workbookPath);

// The active sheet's pages as a PDF document on the sheet's own paper, with the title and author in its
// document information. Throws (spreadsheet::SpreadsheetError, shell::RuntimeError) when there is
// nothing to print.
QByteArray statementPdf(const spreadsheet::Workbook& workbook, const QString& workbookPath);

// The used range of the active sheet as the spreadsheet shows it, the picture the preview shows, with
// `ratio` device pixels to each pixel of 96 dpi: the image carries the ratio, so its size in those
// pixels is the same at every ratio. Throws shell::RuntimeError for a workbook with nothing to draw, and
// for a ratio other than 1 whose picture would be too large to be worth its memory.
QImage statementPicture(const spreadsheet::Workbook& workbook, qreal ratio = 1);

// The totals and the net worth as the sheet shows them, each after its label in column A (the cell map
// names their rows): "Total Assets: $1,500.00. Total Liabilities: $0.00. Net Worth: $1,500.00."
QString statementTotals(const spreadsheet::Workbook& workbook);

// The picture as a PNG file's bytes. Throws shell::RuntimeError when it cannot be encoded.
QByteArray pngBytes(const QImage& picture);

}  // namespace generation
