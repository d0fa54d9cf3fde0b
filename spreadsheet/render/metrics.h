#pragma once

// Screen measures of a sheet at 100 % zoom on a 96 dpi screen, as a spreadsheet computes them.
// Fonts need a QGuiApplication.

#include <QFont>
#include <QString>

#include "spreadsheet/workbook.h"

namespace spreadsheet {

// The family drawn for a font name: the name itself when installed, else a metric-compatible or close
// substitute (Liberation Sans for Arial, DejaVu Sans for Verdana, ...).
QString substituteFamily(const QString& name);
// A cell font as the screen shows it: the substitute family at the point size rounded to whole pixels,
// its letters standing apart (no ligatures).
QFont screenFont(const Font& font);
// The font for drawing `text`: scripts whose letters join or combine (Arabic, the Indic scripts ...)
// keep their shaping; others are drawn letter by letter.
QFont fontForText(QFont font, const QString& text);
// The widest of the digits 0 to 9 of the Normal style's font, in pixels (7 for Arial 10).
int maximumDigitWidth(const Workbook& workbook);
// Pixels of a width in 1/256 characters: trunc(((units + trunc(128 / mdw)) / 256) * mdw).
int columnPixelsFromUnits(int units, int mdw);
// A column's width in pixels; a column without its own width gets the sheet's default width in
// characters times the digit width plus 5 pixels of padding, rounded up to a multiple of 8.
int columnWidthPixels(const Worksheet& sheet, int column, int mdw);
// A row's height in pixels: twips / 15, to the nearest pixel.
int rowHeightPixels(const Worksheet& sheet, int row);

}  // namespace spreadsheet
