// Workbooks written by another spreadsheet program (gnumeric), opened, filled and saved by ours.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTest>

#include "external_readers.h"
#include "generation/application.h"
#include "spreadsheet/workbook_reader.h"
#include "statement_fill.h"
#include "tst_interop.h"

using namespace interop;

namespace {

// What the fill below writes into the fixture's two empty lines.
void fillLedger(generation::Application& app) {
    const generation::Worksheet ledger = app.Worksheets(1);
    ledger.Cells(5, 1).setValue(QStringLiteral("Water"));
    ledger.Cells(5, 2).setValue(QStringLiteral("38.25"));
    ledger.Cells(5, 3).setValue(QDate(2021, 3, 15));
    ledger.Cells(6, 1).setValue(QStringLiteral("Internet – Glasfaser"));
    ledger.Cells(6, 2).setValue(QStringLiteral("$1,234.50"));
    ledger.Cells(6, 3).setValue(QStringLiteral("on request"));
    app.Range(QStringLiteral("C5")).Select();
}

double numberAt(const spreadsheet::Worksheet& sheet, int row, int column) {
    const spreadsheet::Cell* cell = sheet.cell({row, column});
    if (!cell || !std::holds_alternative<double>(cell->value))
        return -1.0;
    return std::get<double>(cell->value);
}

QString textAt(const spreadsheet::Worksheet& sheet, int row, int column) {
    const spreadsheet::Cell* cell = sheet.cell({row, column});
    if (!cell || !std::holds_alternative<QString>(cell->value))
        return {};
    return std::get<QString>(cell->value);
}

}  // namespace

void TestInterop::gnumericWorkbookFilledAndSaved() {
    const QString saved = scratch(QStringLiteral("ledger.xls"));
    QCOMPARE(openFillSave(QStringLiteral(QB_TEST_DATA_DIR "/household_ledger.xls"), fillLedger, saved),
             QString());
    const double total = 950 + 61.7 + 38.25 + 1234.5;

    // Our own reader.
    const spreadsheet::Workbook ours = spreadsheet::readWorkbookFile(saved);
    QCOMPARE(ours.sheets.size(), std::size_t(2));
    const spreadsheet::Worksheet& ledger = ours.sheets[0];
    QCOMPARE(ledger.name, QStringLiteral("Ledger"));
    QCOMPARE(textAt(ledger, 4, 0), QStringLiteral("Water"));
    QCOMPARE(numberAt(ledger, 4, 1), 38.25);
    QCOMPARE(numberAt(ledger, 4, 2), 44270.0);
    QCOMPARE(textAt(ledger, 5, 0), QStringLiteral("Internet – Glasfaser"));
    QCOMPARE(numberAt(ledger, 5, 1), 1234.5);
    QCOMPARE(textAt(ledger, 5, 2), QStringLiteral("on request"));
    QCOMPARE(textAt(ledger, 0, 0), QStringLiteral("Household ledger"));
    QCOMPARE(numberAt(ledger, 2, 1), 950.0);
    const spreadsheet::Cell* sum = ledger.cell({6, 1});
    QVERIFY(sum && sum->formula);
    QCOMPARE(numberAt(ledger, 6, 1), total);
    QCOMPARE(textAt(ours.sheets[1], 1, 0), QStringLiteral("Ещё не оплачено"));

    // xlrd: the filled values, and the fixture's own content with its formatting.
    const QJsonObject view = xlrdView(saved);
    QVERIFY(!view.isEmpty());
    QCOMPARE(view["sheets"].toArray(), (QJsonArray{QStringLiteral("Ledger"), QStringLiteral("Notes")}));
    const QJsonObject sheet = sheetOf(view);
    QCOMPARE(cellOf(sheet, "A5")["value"].toString(), QStringLiteral("Water"));
    QCOMPARE(cellOf(sheet, "B5")["value"].toDouble(), 38.25);
    QCOMPARE(cellOf(sheet, "B6")["value"].toDouble(), 1234.5);
    QCOMPARE(cellOf(sheet, "A6")["value"].toString(), QStringLiteral("Internet – Glasfaser"));
    QCOMPARE(cellOf(sheet, "C6")["value"].toString(), QStringLiteral("on request"));
    // A date into a cell that has a date format keeps that format.
    const QJsonObject due = cellOf(sheet, "C5");
    QCOMPARE(due["is_date"].toBool(), true);
    QCOMPARE(due["date"].toArray(), (QJsonArray{2021, 3, 15}));
    const QJsonObject formats = view["formats"].toObject();
    QCOMPARE(formats[QString::number(xfOf(view, due)["format"].toInt())].toString(),
             QStringLiteral("yyyy-mm-dd"));
    // A typed number keeps the cell's own number format.
    QCOMPARE(formats[QString::number(xfOf(view, cellOf(sheet, "B6"))["format"].toInt())].toString(),
             QStringLiteral("#,##0.00"));
    QCOMPARE(cellOf(sheet, "B7")["value"].toDouble(), total);
    QCOMPARE(cellOf(sheet, "C3")["date"].toArray(), (QJsonArray{2021, 3, 1}));
    QCOMPARE(cellOf(sheet, "A1")["value"].toString(), QStringLiteral("Household ledger"));
    QCOMPARE(fontOf(view, cellOf(sheet, "A1"))["bold"].toInt(), 1);
    QCOMPARE(fontOf(view, cellOf(sheet, "A1"))["height"].toInt(), 240);
    const QJsonObject heading = xfOf(view, cellOf(sheet, "B2"));
    QCOMPARE(heading["halign"].toInt(), 2);                    // centred
    QCOMPARE(heading["fill"].toArray(), (QJsonArray{1, 13}));  // solid yellow
    QCOMPARE(fontOf(view, cellOf(sheet, "B2"))["bold"].toInt(), 1);
    QCOMPARE(xfOf(view, cellOf(sheet, "B7"))["halign"].toInt(), 3);
    QCOMPARE(sheet["merged"].toArray(), (QJsonArray{QJsonArray{0, 1, 0, 3}}));
    QCOMPARE(sheet["colwidths"]["0"][0].toInt(), 7304);
    QCOMPARE(sheet["colwidths"]["2"][0].toInt(), 4384);
    QCOMPARE(sheet["rowheights"]["0"][0].toInt(), 480);
    QCOMPARE(sheet["selection"][0]["row"].toInt(), 4);
    QCOMPARE(sheet["selection"][0]["col"].toInt(), 2);
    const QJsonObject notes = sheetOf(view, 1);
    QCOMPARE(cellOf(notes, "A1")["value"].toString(), QStringLiteral("Zahlungen für März – übertragen"));
    QCOMPARE(cellOf(notes, "A2")["value"].toString(), QStringLiteral("Ещё не оплачено"));

    // gnumeric agrees on the total it computes itself and on the cursor.
    const QString csv = scratch(QStringLiteral("ledger.csv"));
    const ProcessResult r = ssconvert({QStringLiteral("--recalc"), saved, csv});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(complaints(r.err), QStringList());
    const QList<QStringList> rows = csvRows(csv);
    QCOMPARE(rows.size(), 7);
    QCOMPARE(rows[6][1].toDouble(), total);
    const QJsonArray sheets = gnumericSheets(saved, dir_->path());
    QCOMPARE(sheets.size(), 2);
    QCOMPARE(sheets[0]["cursor"].toArray(), (QJsonArray{4, 2}));
}

void TestInterop::templateRewrittenByGnumericStillComputes() {
    // A template a user saved from another program: gnumeric rewrites every record, the formulas' tokens
    // included, in its own way.
    const QString rewritten = scratch(QStringLiteral("gnumeric-template.xls"));
    const ProcessResult conversion =
        ssconvert({QStringLiteral("-T"), QStringLiteral("Gnumeric_Excel:excel_biff8"), template_, rewritten});
    QCOMPARE(conversion.exitCode, 0);

    const QString saved = scratch(QStringLiteral("vornik11111111.xls"));
    QCOMPARE(fillStatement(rewritten, sampleStatement(AmountForm::Currency, QLocale()), saved), QString());
    const QJsonObject view = xlrdView(saved);
    QVERIFY(!view.isEmpty());
    const QJsonObject sheet = sheetOf(view);
    QCOMPARE(cellOf(sheet, "A2")["value"].toString(), QStringLiteral("John Doe"));
    QCOMPARE(cellOf(sheet, "A3")["date"].toArray(), (QJsonArray{2021, 3, 5}));
    QCOMPARE(cellOf(sheet, "B14")["value"].toDouble(), 15000.0);
    QCOMPARE(cellOf(sheet, "B17")["value"].toDouble(), 19749.79);
    QCOMPARE(cellOf(sheet, "B26")["value"].toDouble(), 2875.14);
    QCOMPARE(cellOf(sheet, "B28")["value"].toDouble(), 16874.65);
    QCOMPARE(sheet["selection"][0]["row"].toInt(), 5);
    QCOMPARE(sheet["selection"][0]["col"].toInt(), 1);
}
