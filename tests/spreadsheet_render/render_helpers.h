#pragma once

// Small workbooks built cell by cell, and measures of where a picture has ink, shared by the drawing
// tests.

#include <QImage>
#include <QRect>
#include <functional>

#include "spreadsheet/workbook.h"

namespace render_test {

inline constexpr QRgb kWhite = 0xFFFFFFFF;
inline constexpr quint16 kGrey = 23;  // #808080
inline constexpr quint16 kRed = 10;

// A workbook with one sheet "Sheet1", grid lines shown or not.
spreadsheet::Workbook sheetBook(bool gridlines = false);
quint16 formatWith(spreadsheet::Workbook& workbook,
                   const std::function<void(spreadsheet::CellFormat&)>& change);
quint16 fontWith(spreadsheet::Workbook& workbook, const QString& name, int points, bool bold = false);
void put(spreadsheet::Workbook& workbook, spreadsheet::CellRef at, spreadsheet::Value value, quint16 xf = 15);
void setWidth(spreadsheet::Worksheet& sheet, int column, quint16 units);
void setHeight(spreadsheet::Worksheet& sheet, int row, quint16 twips);

bool isInk(QRgb pixel);
// The bounding box of dark pixels inside `area`; null when there are none.
QRect inkBounds(const QImage& image, const QRect& area);
// How many dark pixels `area` holds.
int inkCount(const QImage& image, const QRect& area);
bool columnHasInk(const QImage& image, int x, int top, int bottom);
// Runs of rows holding ink, separated by at least one blank row.
int inkBands(const QImage& image, const QRect& area);

}  // namespace render_test
