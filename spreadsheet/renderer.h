#pragma once

#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QSize>

#include "spreadsheet/workbook.h"

namespace spreadsheet {

struct PaintOptions {
    // Drawing for paper: rules are stroked as lines (a hair line as the finest solid line instead of
    // the screen's dots), and grid lines appear when the page setup prints them, around every cell of
    // the range, instead of when the window shows them.
    bool printing = false;
    // The regional settings the cells' values are shown in (see FormatOptions::locale). The program
    // passes its own; the C locale draws a sheet as a US spreadsheet shows it.
    QLocale locale = QLocale::c();
};

// The size of a range as a spreadsheet shows it at 100 % zoom on a 96 dpi screen, in pixels.
QSize rangePixelSize(const Workbook& workbook, int sheetIndex, const CellRange& range);

// Draws a range of a sheet in 96 dpi pixels: the range's top-left corner at the painter's origin, its
// size rangePixelSize(). The caller's transform maps the pixels onto the device, so the same drawing
// makes a screen picture or a page. Nothing is drawn outside the range; nothing fills the background.
void paintRange(QPainter& painter, const Workbook& workbook, int sheetIndex, const CellRange& range,
                const PaintOptions& options = {});

// The most pixels a picture may have: 64 MB at 32 bits a pixel. A picture is held several times over
// while it is handed on (drawn, on the clipboard, as a file, loaded back), and Qt reads no picture file
// above 256 MB back; within this a job stays in a modest memory budget.
inline constexpr qint64 kMaxPicturePixels = 16'777'216;

// Draws a range of a sheet as a spreadsheet shows it at 100 % zoom on a 96 dpi screen: the image is
// exactly the size of the range's columns and rows; `options.printing` is not used. A range whose picture
// would have more than kMaxPicturePixels throws SpreadsheetError ("The picture is too large: ..."), drawing
// nothing.
QImage renderRange(const Workbook& workbook, int sheetIndex, const CellRange& range,
                   const PaintOptions& options = {});

}  // namespace spreadsheet
