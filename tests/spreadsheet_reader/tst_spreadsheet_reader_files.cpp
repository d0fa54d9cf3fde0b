#include <QDir>
#include <QFile>
#include <QtTest>

#include "spreadsheet/error.h"
#include "spreadsheet/workbook_reader.h"
#include "spreadsheet/workbook_writer.h"
#include "tst_spreadsheet_reader.h"

using namespace spreadsheet;

namespace {

QString dataPath(const QString& name) {
    return QStringLiteral(QB_TEST_DATA_DIR "/") + name;
}

const Workbook& gnumericFixture() {
    static const Workbook book = readWorkbookFile(dataPath("gnumeric_fixture.xls"));
    return book;
}

const Cell& cellAt(const Worksheet& sheet, const char* name) {
    static const Cell missing;
    const Cell* cell = sheet.cell(*parseCellName(QString::fromLatin1(name)));
    if (!cell)
        qWarning("no cell %s", name);
    return cell ? *cell : missing;
}

}  // namespace

void TestSpreadsheetReader::gnumericFixtureValues() {
    const Workbook& book = gnumericFixture();
    QCOMPARE(book.sheets.size(), size_t(2));
    QCOMPARE(book.sheets[0].name, QStringLiteral("Figures"));
    QCOMPARE(book.sheets[1].name, QStringLiteral("Long list"));
    QVERIFY(!book.date1904);

    const Worksheet& sheet = book.sheets[0];
    QCOMPARE(*cellAt(sheet, "A1").text(), QStringLiteral("Statement of Figures"));
    QCOMPARE(*cellAt(sheet, "A2").text(), QStringLiteral("Cash"));
    QCOMPARE(*cellAt(sheet, "B2").number(), 1500.5);
    QCOMPARE(*cellAt(sheet, "B3").number(), 250.0);
    QCOMPARE(*cellAt(sheet, "B5").number(), 0.125);
    QCOMPARE(*cellAt(sheet, "C6").number(), 44260.0);
    QCOMPARE(*cellAt(sheet, "A7").number(), -7.0);
    QCOMPARE(*cellAt(sheet, "B7").number(), 123456789.0);
    QCOMPARE(*cellAt(sheet, "C7").number(), 0.01);

    const Cell& total = cellAt(sheet, "B4");
    QVERIFY(total.formula);
    QVERIFY(!total.formula->tokens.isEmpty());
    QCOMPARE(*total.number(), 1750.5);
    const Cell& joined = cellAt(sheet, "B6");
    QVERIFY(joined.formula);
    QCOMPARE(*joined.text(), QStringLiteral("Cash and more"));
    const Cell& division = cellAt(sheet, "D5");
    QVERIFY(division.formula);
    QCOMPARE(std::get<ErrorCode>(division.value), ErrorCode::Div0);
    // The merged title's other cells are formatted blanks.
    QVERIFY(cellAt(sheet, "B1").isBlank());
    QCOMPARE(cellAt(sheet, "B1").xf, cellAt(sheet, "A1").xf);
}

void TestSpreadsheetReader::gnumericFixtureFormats() {
    const Workbook& book = gnumericFixture();
    const Worksheet& sheet = book.sheets[0];

    const CellFormat& title = book.formatOf(cellAt(sheet, "A1"));
    QCOMPARE(title.hAlign, HAlign::Center);
    const Font& titleFont = book.fontOf(title);
    QCOMPARE(titleFont.name, QStringLiteral("Sans"));  // gnumeric's stand-in for Verdana
    QCOMPARE(titleFont.heightTwips, quint16(280));
    QVERIFY(titleFont.bold);
    QVERIFY(!book.fontOf(book.formatOf(cellAt(sheet, "A2"))).bold);

    const CellFormat& money = book.formatOf(cellAt(sheet, "B2"));
    QCOMPARE(money.numberFormat, quint16(4));  // the built-in #,##0.00
    QCOMPARE(money.bottom.style, LineStyle::Thin);
    QCOMPARE(book.color(money.bottom.colorIndex), qRgb(0, 0, 0));
    QCOMPARE(money.top.style, LineStyle::None);

    const CellFormat& percent = book.formatOf(cellAt(sheet, "B5"));
    QCOMPARE(book.numberFormats.at(percent.numberFormat), QStringLiteral("0.0%"));
    QCOMPARE(percent.fillPattern, quint8(1));
    QCOMPARE(book.color(percent.fillForeground), qRgb(255, 255, 0));

    const CellFormat& date = book.formatOf(cellAt(sheet, "C6"));
    QCOMPARE(book.numberFormats.at(date.numberFormat), QStringLiteral("yyyy-mm-dd"));
}

void TestSpreadsheetReader::gnumericFixtureLayout() {
    const Worksheet& sheet = gnumericFixture().sheets[0];
    QCOMPARE(sheet.mergedRanges, (std::vector<CellRange>{{{0, 0}, {0, 2}}}));
    // 120 and 60 points; xlrd reads the same widths from this file.
    QCOMPARE(sheet.columnWidth(0), std::optional<quint16>(5844));
    QCOMPARE(sheet.columnWidth(1), std::optional<quint16>(2924));
    QCOMPARE(sheet.rowHeightTwips(6), quint16(600));
    QCOMPARE(sheet.usedRange(), (std::optional<CellRange>{{{0, 0}, {6, 3}}}));
}

void TestSpreadsheetReader::gnumericLongSharedStringTable() {
    // 300 texts with non-Latin characters make the shared string table run over two CONTINUE records.
    const Worksheet& sheet = gnumericFixture().sheets[1];
    for (int row = 0; row < 300; ++row) {
        const QString expected = QStringLiteral("Line %1 of the long list \u00e9\u4e2d %2")
                                     .arg(row, 4, 10, QLatin1Char('0'))
                                     .arg(QString(row % 23, QLatin1Char('x')));
        const Cell* text = sheet.cell(CellRef{row, 0});
        QVERIFY2(text && text->isText(), qPrintable(QString::number(row)));
        QCOMPARE(*text->text(), expected);
        QCOMPARE(*sheet.cell(CellRef{row, 1})->number(), row * 1.25);
    }
}

void TestSpreadsheetReader::olderFormatsRefused() {
    try {
        readWorkbookFile(dataPath("gnumeric_biff5.xls"));
        QFAIL("an Excel 5.0/95 workbook was read");
    } catch (const SpreadsheetError& error) {
        QVERIFY2(error.message().contains("Excel 5.0/95"), qPrintable(error.message()));
    }
}

void TestSpreadsheetReader::notACompoundFile() {
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError,
                             readWorkbookBytes(QByteArray("just some text, not a workbook")));
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, readWorkbookBytes(QByteArray()));
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, readWorkbookFile(dataPath("no such file.xls")));
}

void TestSpreadsheetReader::malformedFiles_data() {
    // stream-*: bare workbook streams; file-*: whole files. Each once crashed or hung a reader.
    QTest::addColumn<QString>("path");
    const QDir dir(dataPath("malformed"));
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    for (const QString& name : names) {
        if (name.startsWith("stream-") || name.startsWith("file-"))
            QTest::newRow(qPrintable(name)) << dir.filePath(name);
    }
    if (names.isEmpty())
        QTest::newRow("none") << QString();
}

void TestSpreadsheetReader::malformedFiles() {
    QFETCH(QString, path);
    QVERIFY2(!path.isEmpty(), "the malformed cases are missing");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const bool isStream = QFileInfo(path).fileName().startsWith("stream-");
    try {
        const Workbook book = isStream ? readWorkbookStream(bytes) : readWorkbookBytes(bytes);
        QVERIFY(!book.sheets.empty());
    } catch (const SpreadsheetError& error) {
        QVERIFY(error.message().startsWith("The "));
    }
}

void TestSpreadsheetReader::roundTrip() {
    Workbook original;
    original.isTemplate = true;
    original.calculation.iterationLimit = 7;
    original.window.tabRatio = 750;
    original.palette[0] = 0xEAEAEA;
    original.paletteCustomized = true;
    Font verdana;
    verdana.name = QStringLiteral("Verdana");
    verdana.heightTwips = 160;
    verdana.bold = true;
    CellFormat amount;
    amount.fontIndex = original.addFont(verdana);
    amount.numberFormat = original.addNumberFormat(QStringLiteral("[$-409]dddd\\,\\ mmmm\\ dd\\,\\ yyyy"));
    amount.hAlign = HAlign::Right;
    amount.vAlign = VAlign::Center;
    amount.wrap = true;
    amount.usedAttributes = 0xF8;
    amount.left = amount.right = {LineStyle::Hair, 23};
    amount.top = {LineStyle::Double, 23};
    amount.bottom = {LineStyle::Thin, kColorWindowText};
    amount.fillPattern = 1;
    amount.fillForeground = 8;
    const quint16 amountXf = original.addFormat(amount);

    Worksheet& sheet = original.addSheet(QStringLiteral("Statement \u00e9"));
    sheet.cellForWriting({0, 0}).value = QStringLiteral("Personal Financial Statement");
    sheet.cellForWriting({1, 0}).value = QString(9000, QLatin1Char('w'));  // splits the shared strings
    sheet.cellForWriting({5, 1}).value = 1234.5;
    sheet.cellForWriting({5, 1}).xf = amountXf;
    sheet.cellForWriting({6, 1}).value = 7.0;
    sheet.cellForWriting({7, 1}).value = true;
    sheet.cellForWriting({8, 1}).value = ErrorCode::Div0;
    sheet.cellForWriting({9, 1}).xf = amountXf;  // a formatted blank
    Cell& sum = sheet.cellForWriting({10, 1});
    sum.value = 1241.5;
    sum.formula = Formula{
        QByteArray::fromHex("250500060001c001c0") + QByteArray::fromHex("19100000"), {}, false, false};
    sheet.columns = {ColumnInfo{0, 0, 9000, 15}, ColumnInfo{1, 1, 3000, 15}};
    sheet.rows[0] = RowInfo{480, true};
    sheet.mergedRanges = {{{0, 0}, {0, 1}}};
    sheet.window.showGridlines = false;
    sheet.window.zoomPercent = 85;
    sheet.window.activeCell = {5, 1};
    sheet.window.selection = {{{5, 1}, {5, 1}}};
    sheet.pageSetup.centerHorizontally = true;
    sheet.pageSetup.headerMargin = 0;
    sheet.pageSetup.horizontalDpi = 200;
    sheet.pageSetup.header = QStringLiteral("&CTop");

    const Workbook copy = readWorkbookBytes(workbookFileBytes(original));
    QVERIFY(copy.isTemplate);
    QCOMPARE(copy.calculation.automatic, original.calculation.automatic);
    QCOMPARE(copy.calculation.iterationLimit, original.calculation.iterationLimit);
    QCOMPARE(copy.calculation.maximumChange, original.calculation.maximumChange);
    QCOMPARE(copy.calculation.recalculateBeforeSave, original.calculation.recalculateBeforeSave);
    QCOMPARE(copy.calculation.iteration, original.calculation.iteration);
    QCOMPARE(copy.calculation.a1References, original.calculation.a1References);
    QCOMPARE(copy.window, original.window);
    QCOMPARE(copy.palette, original.palette);
    QCOMPARE(copy.fonts, original.fonts);
    QCOMPARE(copy.formats, original.formats);
    QCOMPARE(copy.styles, original.styles);
    QCOMPARE(copy.numberFormats.at(amount.numberFormat), original.numberFormats.at(amount.numberFormat));
    QCOMPARE(copy.sheets.size(), size_t(1));

    const Worksheet& back = copy.sheets[0];
    QCOMPARE(back.name, sheet.name);
    QCOMPARE(back.cells().size(), sheet.cells().size());
    for (const auto& [ref, cell] : sheet.cells()) {
        const Cell* read = back.cell(ref);
        QVERIFY2(read, qPrintable(cellName(ref)));
        QCOMPARE(read->value, cell.value);
        QCOMPARE(read->xf, cell.xf);
        QCOMPARE(read->formula, cell.formula);
    }
    QCOMPARE(back.columns, sheet.columns);
    QCOMPARE(back.rows.at(0).heightTwips, quint16(480));
    QVERIFY(back.rows.at(0).customHeight);
    QCOMPARE(back.mergedRanges, sheet.mergedRanges);
    QCOMPARE(back.window, sheet.window);
    QCOMPARE(back.pageSetup, sheet.pageSetup);
    QCOMPARE(back.defaultColumnWidth, sheet.defaultColumnWidth);
    QCOMPARE(back.defaultRowHeightTwips, sheet.defaultRowHeightTwips);
}

QTEST_GUILESS_MAIN(TestSpreadsheetReader)
