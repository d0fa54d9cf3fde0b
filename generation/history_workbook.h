#pragma once

// The statement history as an Excel 97-2003 workbook: one sheet with the table (date, name, total
// assets, total liabilities, net worth, and the change since the previous entry as formulas) and a line
// chart of the three totals over time, a chart object with its series that spreadsheet programs draw
// from the table's cells.

#include <QByteArray>
#include <QDate>
#include <QLocale>
#include <QString>
#include <vector>

namespace generation {

// One entry of the history; amounts in whole cents.
struct HistoryRow {
    QDate date;
    QString name;
    qint64 totalAssets = 0;
    qint64 totalLiabilities = 0;
    qint64 netWorth = 0;
};

inline const QString kHistoryTitle = QStringLiteral("Net Worth Over Time");

// The number format code of amounts in the locale's currency ("$"#,##0.00;-"$"#,##0.00): the symbol on
// the side the locale puts it.
QString currencyFormatCode(const QLocale& locale);

// The workbook file's bytes; the rows in the order given (the history's, oldest first). `author` goes
// into the document's properties. Throws shell::RuntimeError when the workbook cannot be made.
QByteArray historyWorkbookBytes(const std::vector<HistoryRow>& rows, const QLocale& locale,
                                const QString& author);

}  // namespace generation
