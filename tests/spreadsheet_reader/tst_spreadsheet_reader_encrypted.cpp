// The chart sheets gnumeric writes without their closing EOF record, which spreadsheets read as closed by
// the next sheet's substream or by the stream's end. The files come from tests/spreadsheet_writer/data (see
// make_templates.py there).

#include <QtTest>

#include "spreadsheet/workbook_reader.h"
#include "tst_spreadsheet_reader.h"

using namespace spreadsheet;

namespace {

QString templatePath(const QString& name) {
    return QStringLiteral(QB_SOURCE_DIR "/tests/spreadsheet_writer/data/") + name;
}

double numberAt(const Worksheet& sheet, const char* name) {
    const Cell* cell = sheet.cell(*parseCellName(QString::fromLatin1(name)));
    return cell && cell->number() ? *cell->number() : -1;
}

}  // namespace

void TestSpreadsheetReader::chartSheetsWithoutEndRecord_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("chartTab");
    QTest::newRow("chart sheet between worksheets") << "gn_household.xls" << 1;
    QTest::newRow("chart sheet last, closed by the stream's end") << "gn_chart_last.xls" << 2;
}

void TestSpreadsheetReader::chartSheetsWithoutEndRecord() {
    QFETCH(QString, file);
    QFETCH(int, chartTab);
    const Workbook book = readWorkbookFile(templatePath(file));
    QCOMPARE(book.sheets.size(), size_t(2));
    QCOMPARE(book.sheets[0].name, QStringLiteral("Budget"));
    QCOMPARE(book.sheets[1].name, QStringLiteral("Income"));
    QCOMPARE(numberAt(book.sheets[1], "B2"), 3450.0);
    QCOMPARE(numberAt(book.sheets[0], "B10"), 2195.0);
    QCOMPARE(book.otherSheets.size(), size_t(1));
    const OtherSheet& chart = book.otherSheets[0];
    QCOMPARE(chart.name, QStringLiteral("Spending"));
    QCOMPARE(int(chart.beforeSheet), chartTab);
    // The substream as read: gnumeric's two BOF records and one EOF, nothing of the sheet after it.
    QCOMPARE(chart.substream.count(QByteArray::fromHex("09081000")), 2);
    QVERIFY(chart.substream.endsWith(QByteArray::fromHex("0a000000")));
}
