#include "spreadsheet/typed_entry.h"

#include <cmath>

#include "spreadsheet/error.h"
#include "spreadsheet/format/typed_entry_number.h"

namespace spreadsheet {

namespace {

// Built-in number formats a spreadsheet picks for what was typed into a General cell.
constexpr quint16 kFormatGeneral = 0;
constexpr quint16 kFormatGrouped = 3;           // #,##0
constexpr quint16 kFormatGroupedDecimals = 4;   // #,##0.00
constexpr quint16 kFormatPercent = 9;           // 0%
constexpr quint16 kFormatPercentDecimals = 10;  // 0.00%
constexpr quint16 kFormatScientific = 11;       // 0.00E+00
constexpr quint16 kFormatShortDate = 14;
constexpr quint16 kFormatText = 49;  // @

// The last day a workbook can hold, in either date system.
const QDate kLastDate(9999, 12, 31);
const QDate kBase1900(1899, 12, 31);  // serial 0, shown as the 0th of January 1900
const QDate kBase1904(1904, 1, 1);    // serial 0
const QDate kFirstMarch1900(1900, 3, 1);

Worksheet& sheetAt(Workbook& workbook, int sheetIndex) {
    if (sheetIndex < 0 || size_t(sheetIndex) >= workbook.sheets.size()) {
        throw SpreadsheetError(QStringLiteral("There is no worksheet %1.").arg(sheetIndex + 1));
    }
    return workbook.sheets[size_t(sheetIndex)];
}

void checkCell(CellRef at) {
    if (!at.isValid()) {
        throw SpreadsheetError(QStringLiteral("The cell (row %1, column %2) lies outside the sheet.")
                                   .arg(at.row + 1)
                                   .arg(at.column + 1));
    }
}

bool isGeneral(const Workbook& workbook, const Cell& cell) {
    return isGeneralFormat(workbook, workbook.formatOf(cell).numberFormat);
}

constexpr quint8 kPtgExp = 0x01, kPtgTbl = 0x02;

// The format a cell has, or would have once written: a missing cell takes its row's or column's.
const CellFormat& formatAt(const Workbook& workbook, const Worksheet& sheet, CellRef at) {
    if (const Cell* cell = sheet.cell(at))
        return workbook.formatOf(*cell);
    Cell blank;
    if (auto row = sheet.rows.find(at.row); row != sheet.rows.end() && row->second.hasFormat)
        blank.xf = row->second.xf;
    else if (const ColumnInfo* column = sheet.columnInfo(at.column))
        blank.xf = column->xf;
    return workbook.formatOf(blank);
}

// Refuses, with the spreadsheet's words, what a spreadsheet refuses to change.
void checkWritable(const Workbook& workbook, const Worksheet& sheet, CellRef at) {
    if (sheet.protection.contents && formatAt(workbook, sheet, at).locked) {
        throw RefusedChangeError(QStringLiteral(
            "The cell or chart you're trying to change is on a protected sheet. To make a change, unprotect "
            "the sheet. You might be requested to enter a password."));
    }
    const Cell* cell = sheet.cell(at);
    if (!cell || !cell->formula || cell->formula->tokens.size() < 5)
        return;
    const quint8 first = quint8(cell->formula->tokens[0]);
    if (first == kPtgExp && !cell->formula->fromSharedFormula)
        throw RefusedChangeError(QStringLiteral("You can't change part of an array."));
    if (first == kPtgTbl)
        throw RefusedChangeError(QStringLiteral("Cannot change part of a data table."));
}

// Gives the cell a copy of its format with another number format, as a spreadsheet does when what
// was typed asks for one.
void applyNumberFormat(Workbook& workbook, Cell& cell, quint16 numberFormat) {
    CellFormat format = workbook.formatOf(cell);
    format.numberFormat = numberFormat;
    format.usedAttributes |= 0x01;
    cell.xf = workbook.addFormat(format);
}

quint16 currencyFormat(Workbook& workbook, const QLocale& locale, bool withDecimals) {
    const QString code = currencyFormatCode(locale, withDecimals);
    // The locale's own built-in currency formats (5 and 7 in a dollar workbook) are preferred.
    for (const auto& [id, existing] : workbook.numberFormats) {
        if (existing == code && id < 164)
            return id;
    }
    return workbook.addNumberFormat(code);
}

quint16 formatForTyped(Workbook& workbook, const TypedNumber& number, const QLocale& locale) {
    switch (number.form) {
        case TypedNumber::Form::Plain:
            return kFormatGeneral;
        case TypedNumber::Form::Grouped:
            return number.hasDecimals ? kFormatGroupedDecimals : kFormatGrouped;
        case TypedNumber::Form::Percent:
            return number.hasDecimals ? kFormatPercentDecimals : kFormatPercent;
        case TypedNumber::Form::Scientific:
            return kFormatScientific;
        case TypedNumber::Form::Currency:
            return currencyFormat(workbook, locale, number.hasDecimals);
    }
    return kFormatGeneral;
}

}  // namespace

void enterText(Workbook& workbook, int sheetIndex, CellRef at, const QString& text, const QLocale& locale) {
    Worksheet& sheet = sheetAt(workbook, sheetIndex);
    checkCell(at);
    checkWritable(workbook, sheet, at);
    if (text.isEmpty()) {
        // Clearing a cell keeps its format; a cell that was never there is not made.
        if (sheet.cell(at)) {
            Cell& cell = sheet.cellForWriting(at);
            cell.value = std::monostate{};
            cell.formula.reset();
        }
        return;
    }
    Cell& cell = sheet.cellForWriting(at);
    cell.formula.reset();
    if (text.startsWith(u'\'')) {
        cell.value = text.mid(1);
        return;
    }
    // A cell formatted as text keeps whatever is typed as text, numbers included.
    const bool textCell = workbook.formatOf(cell).numberFormat == kFormatText;
    const std::optional<TypedNumber> number = textCell ? std::nullopt : readTypedNumber(text, locale);
    if (!number) {
        cell.value = text;
        return;
    }
    cell.value = number->value;
    if (isGeneral(workbook, cell)) {
        const quint16 format = formatForTyped(workbook, *number, locale);
        if (format != kFormatGeneral)
            applyNumberFormat(workbook, cell, format);
    }
}

void enterDate(Workbook& workbook, int sheetIndex, CellRef at, QDate date) {
    Worksheet& sheet = sheetAt(workbook, sheetIndex);
    checkCell(at);
    checkWritable(workbook, sheet, at);
    const double serial = dateSerial(date, workbook.date1904);
    Cell& cell = sheet.cellForWriting(at);
    cell.formula.reset();
    cell.value = serial;
    if (isGeneral(workbook, cell))
        applyNumberFormat(workbook, cell, kFormatShortDate);
}

double dateSerial(QDate date, bool date1904) {
    const QDate first = date1904 ? kBase1904 : QDate(1900, 1, 1);
    if (!date.isValid() || date < first || date > kLastDate) {
        throw SpreadsheetError(
            QStringLiteral("The date %1 lies outside the dates a workbook can hold (%2 to %3).")
                .arg(date.toString(Qt::ISODate), first.toString(Qt::ISODate),
                     kLastDate.toString(Qt::ISODate)));
    }
    if (date1904)
        return double(kBase1904.daysTo(date));
    // The 1900 system counts a 29 February 1900 that never was, so every day from March on is one later.
    const qint64 days = kBase1900.daysTo(date);
    return double(date >= kFirstMarch1900 ? days + 1 : days);
}

QDate dateFromSerial(double serial, bool date1904) {
    if (!std::isfinite(serial))
        return {};
    const double whole = std::floor(serial);
    if (date1904) {
        if (whole < 0)
            return {};
        const QDate date = kBase1904.addDays(qint64(whole));
        return date <= kLastDate ? date : QDate();
    }
    if (whole < 1 || whole == 60)
        return {};  // before 1 January 1900, or the day that never was
    const QDate date = kBase1900.addDays(qint64(whole < 60 ? whole : whole - 1));
    return date <= kLastDate ? date : QDate();
}

}  // namespace spreadsheet
