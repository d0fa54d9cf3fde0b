#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

#include "spreadsheet/workbook.h"

namespace spreadsheet {

// Puts a text into a cell the way a spreadsheet reads what a person types under the given locale:
// a number (sign, decimal and grouping separators, the locale's currency symbol, parentheses for
// negatives, percent) becomes a number, anything else stays text; an empty text clears the value.
// A number keeps the cell's number format unless that is General, in which case currency or percent
// input gives the cell a matching format. Formula input is not read: the text stays text.
// A locked cell of a protected sheet, and a cell of an array formula or data table, refuse the write
// with RefusedChangeError, as a spreadsheet refuses it. General means any format whose code is General.
void enterText(Workbook& workbook, int sheetIndex, CellRef at, const QString& text, const QLocale& locale);

// Puts a date into a cell as its serial number in the workbook's date system; a General cell gets the
// short-date format (built-in 14).
void enterDate(Workbook& workbook, int sheetIndex, CellRef at, QDate date);

// The serial number of a date in the 1900 or the 1904 date system.
double dateSerial(QDate date, bool date1904);
QDate dateFromSerial(double serial, bool date1904);

}  // namespace spreadsheet
