#pragma once

// Prints a sheet onto pages: a PDF file (QPdfWriter), a printer (QPrinter) or any other paged device,
// as vector drawing with text as text. The sheet's page setup decides the paper, margins, scale,
// centring, header and footer, grid lines and headings.

#include <QDateTime>
#include <QLocale>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <optional>

#include "spreadsheet/pages/page_plan.h"
#include "spreadsheet/workbook.h"

namespace spreadsheet {

struct PrintOptions {
    QString title;  // the document's title, for a PDF file
    // The document's author, for a PDF file. Qt 6.4 writes no Author entry in a PDF's information
    // dictionary, so it goes into the XMP metadata (dc:creator), with the title.
    QString author;
    QString filePath;   // the workbook's file: &F prints its name, &Z its folder
    QDateTime printed;  // the moment &D and &T print; now when not set
    QLocale locale;     // how the cells' values, &D and &T are written (see PaintOptions::locale)
    // Paper, orientation and margins, when a print dialog changed them; else the sheet's own.
    std::optional<QPageLayout> layout;
};

// Draws page `pageIndex` of the plan (with its header and footer) in a painter whose units are points
// from the paper's top-left corner, on the layout's paper.
void paintPage(QPainter& painter, const Workbook& workbook, int sheetIndex, const PagePlan& plan,
               int pageIndex, const QPageLayout& layout, const PrintOptions& options = {});

// Prints the sheet's printed areas onto the device, one page after another, and returns the number of
// pages. The device gets the paper and orientation of the layout. Throws SpreadsheetError when the
// sheet has nothing to print or the device cannot be drawn on.
int printSheet(const Workbook& workbook, int sheetIndex, QPagedPaintDevice& device,
               const PrintOptions& options = {});

}  // namespace spreadsheet
