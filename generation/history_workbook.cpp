#include "generation/history_workbook.h"

#include <QDateTime>

#include "shell/core/error_report.h"
#include "shell/core/product.h"
#include "spreadsheet/error.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/typed_entry.h"
#include "spreadsheet/workbook_writer.h"

namespace generation {

namespace {

constexpr int kDateColumn = 0, kNameColumn = 1, kAssetsColumn = 2, kLiabilitiesColumn = 3,
              kNetWorthColumn = 4, kChangeColumn = 5;
const char* const kHeadings[] = {"Date", "Name", "Total Assets", "Total Liabilities", "Net Worth", "Change"};
// The chart beside the table: columns H to Q, rows 2 to 24.
constexpr spreadsheet::CellRange kChartPlacement{{1, 7}, {23, 16}};
// A marker on every point while they are few enough to tell apart.
constexpr size_t kMostMarkedPoints = 60;

// The three series in the colours the program's own chart uses.
struct SeriesColumn {
    int column;
    QRgb colour;
};
constexpr SeriesColumn kSeries[] = {
    {kAssetsColumn, qRgb(0x2E, 0x7D, 0x32)},
    {kLiabilitiesColumn, qRgb(0xC6, 0x28, 0x28)},
    {kNetWorthColumn, qRgb(0x15, 0x65, 0xC0)},
};

QString columnLetter(int column) {
    return QString(QChar(u'A' + column));
}

}  // namespace

QString currencyFormatCode(const QLocale& locale) {
    const QString symbol = locale.currencySymbol(QLocale::CurrencySymbol);
    const QString number = QStringLiteral("#,##0.00");
    if (symbol.isEmpty())
        return number + QStringLiteral(";-") + number;
    QString quoted = symbol;
    quoted.replace(u'"', QStringLiteral("\"\""));
    quoted = u'"' + quoted + u'"';
    const QString sample = locale.toCurrencyString(1.0, symbol);
    const bool before = sample.startsWith(symbol) || sample.startsWith(u'-');
    const int at = before ? int(symbol.size()) : int(sample.size() - symbol.size() - 1);
    const bool spaced = at >= 0 && at < sample.size() && sample.at(at).isSpace();
    const QString gap = spaced ? QStringLiteral(" ") : QString();
    const QString positive = before ? quoted + gap + number : number + gap + quoted;
    return positive + QStringLiteral(";-") + positive;
}

QByteArray historyWorkbookBytes(const std::vector<HistoryRow>& rows, const QLocale& locale,
                                const QString& author) {
    try {
        spreadsheet::Workbook book;
        spreadsheet::Worksheet& sheet = book.addSheet(kHistoryTitle);
        book.window.activeSheet = 0;
        sheet.window.selected = true;
        sheet.window.active = true;
        book.properties.title = kHistoryTitle;
        book.properties.author = author;
        book.properties.application = shell::product::kName;
        book.properties.created = book.properties.lastSaved = QDateTime::currentDateTime();

        spreadsheet::Font boldFont;
        boldFont.bold = true;
        spreadsheet::CellFormat heading;
        heading.fontIndex = book.addFont(boldFont);
        heading.usedAttributes = 0x08;
        const quint16 headingXf = book.addFormat(heading);
        spreadsheet::CellFormat date;
        date.numberFormat = book.addNumberFormat(QStringLiteral("yyyy-mm-dd"));
        date.hAlign = spreadsheet::HAlign::Left;
        date.usedAttributes = 0x14;
        const quint16 dateXf = book.addFormat(date);
        spreadsheet::CellFormat money;
        money.numberFormat = book.addNumberFormat(currencyFormatCode(locale));
        money.usedAttributes = 0x04;
        const quint16 moneyXf = book.addFormat(money);

        for (int c = 0; c <= kChangeColumn; ++c) {
            spreadsheet::Cell& cell = sheet.cellForWriting({0, c});
            cell.value = QString::fromLatin1(kHeadings[c]);
            cell.xf = headingXf;
        }
        sheet.columns.push_back({kDateColumn, kDateColumn, 12 * 256});
        sheet.columns.push_back({kNameColumn, kNameColumn, 28 * 256});
        sheet.columns.push_back({kAssetsColumn, kChangeColumn, 17 * 256});

        const int last = int(rows.size());  // 0-based row of the last entry
        for (int i = 0; i < last; ++i) {
            const HistoryRow& entry = rows[size_t(i)];
            const int row = i + 1;
            spreadsheet::Cell& when = sheet.cellForWriting({row, kDateColumn});
            when.value = spreadsheet::dateSerial(entry.date, book.date1904);
            when.xf = dateXf;
            sheet.cellForWriting({row, kNameColumn}).value = entry.name;
            const std::pair<int, qint64> amounts[] = {{kAssetsColumn, entry.totalAssets},
                                                      {kLiabilitiesColumn, entry.totalLiabilities},
                                                      {kNetWorthColumn, entry.netWorth}};
            for (const auto& [column, cents] : amounts) {
                spreadsheet::Cell& cell = sheet.cellForWriting({row, column});
                cell.value = double(cents) / 100.0;
                cell.xf = moneyXf;
            }
            spreadsheet::Cell& change = sheet.cellForWriting({row, kChangeColumn});
            change.xf = moneyXf;
            if (i > 0) {
                const QString net = columnLetter(kNetWorthColumn);
                change.formula =
                    spreadsheet::compileFormula(QStringLiteral("%1%2-%1%3").arg(net).arg(row + 1).arg(row));
            }
        }
        // Printed across: the table and the chart beside it on one page's width.
        sheet.pageSetup.portrait = false;
        sheet.pageSetup.fitToPage = true;
        sheet.pageSetup.fitWidth = 1;
        sheet.pageSetup.fitHeight = 0;

        if (!rows.empty()) {
            spreadsheet::externSheetFor(book, 0, 0);
            spreadsheet::Chart chart;
            chart.title = kHistoryTitle;
            chart.placement = kChartPlacement;
            chart.valueFormat = money.numberFormat;
            chart.markers = rows.size() <= kMostMarkedPoints;
            const spreadsheet::CellRange categories{{1, kDateColumn}, {last, kDateColumn}};
            for (const SeriesColumn& s : kSeries) {
                chart.series.push_back({QString::fromLatin1(kHeadings[s.column]),
                                        {{1, s.column}, {last, s.column}},
                                        categories,
                                        s.colour});
            }
            sheet.charts.push_back(std::move(chart));
        }
        spreadsheet::recalculate(book);
        return spreadsheet::workbookFileBytes(book);
    } catch (const spreadsheet::SpreadsheetError& error) {
        throw shell::RuntimeError(
            QStringLiteral("The history workbook could not be made: %1").arg(error.message()));
    }
}

}  // namespace generation
