#include "tst_spreadsheet_reader.h"

#include <QtTest>

#include "biff_builder.h"
#include "spreadsheet/biff/read_sheet.h"
#include "spreadsheet/error.h"
#include "spreadsheet/workbook_reader.h"

using namespace spreadsheet;
using biffbuild::Bytes;
using biffbuild::fontRecord;
using biffbuild::plainXf;
using biffbuild::record;
using biffbuild::xfRecord;

namespace {

constexpr quint16 kSst = 0x00FC, kContinue = 0x003C, kLabelSst = 0x00FD, kNumber = 0x0203, kRk = 0x027E,
                  kMulRk = 0x00BD, kMulBlank = 0x00BE, kFormula = 0x0006, kString = 0x0207, kBoolErr = 0x0205;

const Cell& cellAt(const Worksheet& sheet, int row, int column) {
    static const Cell missing;
    const Cell* cell = sheet.cell(CellRef{row, column});
    if (!cell)
        qWarning("no cell at row %d, column %d", row, column);
    return cell ? *cell : missing;
}

QByteArray formulaRecord(quint16 row, quint16 column, const QByteArray& result, const QByteArray& tokens,
                         quint16 flags = 0, const QByteArray& extra = {}) {
    return record(kFormula, Bytes()
                                .cell(row, column)
                                .raw(result)
                                .u16(flags)
                                .u32(0)
                                .u16(quint16(tokens.size()))
                                .raw(tokens)
                                .raw(extra));
}

QByteArray specialResult(quint8 type, quint8 value = 0) {
    return Bytes().u8(type).u8(0).u8(value).u8(0).u8(0).u8(0).u16(0xFFFF).data;
}

}  // namespace

void TestSpreadsheetReader::rkValues_data() {
    QTest::addColumn<quint32>("rk");
    QTest::addColumn<double>("expected");
    QTest::newRow("integer") << quint32((1234 << 2) | 0x02) << 1234.0;
    QTest::newRow("negative integer") << (quint32(-5) << 2 | 0x02) << -5.0;
    QTest::newRow("integer hundredths") << quint32((123456 << 2) | 0x03) << 123456 / 100.0;
    QTest::newRow("double") << quint32(0x400C0000) << 3.5;  // the top half of 3.5's bits
    QTest::newRow("double hundredths") << quint32(0x400C0001) << 3.5 / 100.0;
}

void TestSpreadsheetReader::rkValues() {
    QFETCH(quint32, rk);
    QFETCH(double, expected);
    QCOMPARE(biff::decodeRk(rk), expected);

    const Workbook book = readWorkbookStream(biffbuild::oneSheet(record(kRk, Bytes().cell(4, 2).u32(rk))));
    const Cell& cell = cellAt(book.sheets[0], 4, 2);
    QVERIFY(cell.isNumber());
    QCOMPARE(*cell.number(), expected);
}

void TestSpreadsheetReader::mulRkAndMulBlank() {
    const QByteArray body = record(kMulRk, Bytes()
                                               .u16(2)
                                               .u16(1)
                                               .u16(16)
                                               .u32((7 << 2) | 0x02)
                                               .u16(17)
                                               .u32(0x400C0000)
                                               .u16(18)
                                               .u32((-250 << 2) | 0x03)
                                               .u16(3)) +
                            record(kMulBlank, Bytes().u16(3).u16(0).u16(15).u16(16).u16(17).u16(2));
    const Workbook book = readWorkbookStream(biffbuild::oneSheet(body));
    const Worksheet& sheet = book.sheets[0];
    QCOMPARE(sheet.cells().size(), size_t(6));

    QCOMPARE(*cellAt(sheet, 2, 1).number(), 7.0);
    QCOMPARE(*cellAt(sheet, 2, 2).number(), 3.5);
    QCOMPARE(*cellAt(sheet, 2, 3).number(), -2.5);
    QCOMPARE(cellAt(sheet, 2, 1).xf, quint16(16));
    QCOMPARE(cellAt(sheet, 2, 3).xf, quint16(18));
    for (int column = 0; column < 3; ++column) {
        QVERIFY(cellAt(sheet, 3, column).isBlank());
        QCOMPARE(cellAt(sheet, 3, column).xf, quint16(15 + column));
    }
}

void TestSpreadsheetReader::sharedStringsAcrossContinue_data() {
    QTest::addColumn<QList<QByteArray>>("parts");  // the SST record's data, then each CONTINUE's
    QTest::addColumn<QStringList>("expected");

    const QString mixed = QStringLiteral("Hello w\u00f6rld \u4e2d\u6587");
    QTest::newRow("8-bit characters go on 16-bit")
        << QList<QByteArray>{Bytes()
                                 .u32(2)
                                 .u32(2)
                                 .u16(quint16(mixed.size()))
                                 .u8(0)
                                 .chars(mixed.left(5), false)
                                 .data,
                             Bytes().u8(1).chars(mixed.mid(5), true).longString("next").data}
        << QStringList{mixed, "next"};
    QTest::newRow("16-bit characters go on 8-bit")
        << QList<QByteArray>{Bytes().u32(1).u32(1).u16(9).u8(1).chars("\u4e2dabc", true).data,
                             Bytes().u8(0).chars("defgh", false).data}
        << QStringList{QStringLiteral("\u4e2dabcdefgh")};
    QTest::newRow("next string starts in the CONTINUE")
        << QList<QByteArray>{Bytes().u32(2).u32(2).longString("first").data,
                             Bytes().longString("second").data}
        << QStringList{"first", "second"};
    QTest::newRow("rich-text runs straddle the boundary")
        << QList<QByteArray>{Bytes()
                                 .u32(2)
                                 .u32(2)
                                 .u16(4)
                                 .u8(0x08)
                                 .u16(2)
                                 .chars("Rich", false)
                                 .u16(0)
                                 .u8(1)
                                 .data,
                             Bytes().u8(0).u16(2).u16(3).longString("After").data}
        << QStringList{"Rich", "After"};
    QTest::newRow("phonetic data straddles the boundary")
        << QList<QByteArray>{Bytes()
                                 .u32(2)
                                 .u32(2)
                                 .u16(3)
                                 .u8(0x04)
                                 .u32(10)
                                 .chars("Kan", false)
                                 .u32(0xAAAAAAAA)
                                 .data,
                             Bytes().raw(QByteArray(6, '\x01')).longString("After").data}
        << QStringList{"Kan", "After"};
    QTest::newRow("runs and phonetic data after split characters")
        << QList<
               QByteArray>{Bytes().u32(2).u32(2).u16(6).u8(0x0C).u16(1).u32(2).chars("ab", false).data,
                           Bytes().u8(1).chars("cdef", true).u32(0x00010000).u16(0x0202).longString("z").data}
        << QStringList{"abcdef", "z"};
    QTest::newRow("string split over two CONTINUE records")
        << QList<QByteArray>{Bytes().u32(1).u32(1).u16(6).u8(0).chars("ab", false).data,
                             Bytes().u8(0).chars("cd", false).data, Bytes().u8(1).chars("ef", true).data}
        << QStringList{"abcdef"};
    QTest::newRow("more strings stated than written")
        << QList<QByteArray>{Bytes().u32(0xFFFFFFFF).u32(0xFFFFFFFF).longString("only").data}
        << QStringList{"only"};
}

void TestSpreadsheetReader::sharedStringsAcrossContinue() {
    QFETCH(QList<QByteArray>, parts);
    QFETCH(QStringList, expected);
    QByteArray globals = record(kSst, parts.value(0));
    for (qsizetype i = 1; i < parts.size(); ++i)
        globals += record(kContinue, parts[i]);
    QByteArray body;
    for (int i = 0; i < expected.size(); ++i)
        body += record(kLabelSst, Bytes().cell(quint16(i), 0).u32(quint32(i)));

    const Workbook book = readWorkbookStream(biffbuild::oneSheet(body, globals));
    for (int i = 0; i < expected.size(); ++i) {
        const Cell& cell = cellAt(book.sheets[0], i, 0);
        QVERIFY(cell.isText());
        QCOMPARE(*cell.text(), expected[i]);
    }
}

void TestSpreadsheetReader::formulaResults() {
    const QByteArray sumTokens = QByteArray::fromHex(
        "1e0200"
        "1e0300"
        "03");  // 2 + 3
    const QString longText = QString(300, QLatin1Char('x')) + QStringLiteral("\u00e9\u4e2d");
    QByteArray body;
    body += formulaRecord(0, 0, Bytes().f64(5).data, sumTokens, 0x0001, QByteArray("\x07\x08", 2));
    body += formulaRecord(1, 0, specialResult(0), sumTokens);
    body += record(kString, Bytes().longString("Text result"));
    body += formulaRecord(2, 0, specialResult(0), sumTokens);
    body += record(kString, Bytes().u16(quint16(longText.size())).u8(0).chars(longText.left(300), false));
    body += record(kContinue, Bytes().u8(1).chars(longText.mid(300), true));
    body += formulaRecord(3, 0, specialResult(1, 1), sumTokens);
    body += formulaRecord(4, 0, specialResult(2, 0x2A), sumTokens);
    body += formulaRecord(5, 0, specialResult(3), sumTokens);
    body += formulaRecord(6, 0, specialResult(0), sumTokens);  // no STRING follows: an empty text
    body += record(kNumber, Bytes().cell(7, 0).f64(1));
    body += record(kString, Bytes().longString("stray"));  // belongs to no formula
    body += record(kBoolErr, Bytes().cell(8, 0).u8(0x07).u8(1));
    body += record(kBoolErr, Bytes().cell(9, 0).u8(1).u8(0));

    const Workbook book = readWorkbookStream(biffbuild::oneSheet(body));
    const Worksheet& sheet = book.sheets[0];

    const Cell& number = cellAt(sheet, 0, 0);
    QVERIFY(number.formula);
    QCOMPARE(*number.number(), 5.0);
    QCOMPARE(number.formula->tokens, sumTokens);
    QCOMPARE(number.formula->extra, QByteArray("\x07\x08", 2));
    QVERIFY(number.formula->alwaysCalculate);
    QVERIFY(!number.formula->fromSharedFormula);

    QCOMPARE(*cellAt(sheet, 1, 0).text(), QStringLiteral("Text result"));
    QVERIFY(cellAt(sheet, 1, 0).formula);
    QCOMPARE(*cellAt(sheet, 2, 0).text(), longText);
    QCOMPARE(std::get<bool>(cellAt(sheet, 3, 0).value), true);
    QCOMPARE(std::get<ErrorCode>(cellAt(sheet, 4, 0).value), ErrorCode::NA);
    QVERIFY(std::holds_alternative<std::monostate>(cellAt(sheet, 5, 0).value));
    QVERIFY(cellAt(sheet, 5, 0).formula);
    QCOMPARE(*cellAt(sheet, 6, 0).text(), QString());
    QCOMPARE(*cellAt(sheet, 7, 0).number(), 1.0);
    QCOMPARE(std::get<ErrorCode>(cellAt(sheet, 8, 0).value), ErrorCode::Div0);
    QCOMPARE(std::get<bool>(cellAt(sheet, 9, 0).value), true);
}

void TestSpreadsheetReader::sharedAndArrayFormulas() {
    const QByteArray expAt01 = QByteArray::fromHex("0100000100");  // ptgExp: row 0, column 1
    const QByteArray expAt50 = QByteArray::fromHex("0105000000");  // ptgExp: row 5, column 0
    QByteArray body;
    body += formulaRecord(0, 1, Bytes().f64(10).data, expAt01);
    // Shared over B1:B3: the cell to the left (tRefN, both relative, column offset -1) plus the cell
    // two rows up in column C (tAreaN C-2:C-2 rows, absolute column 2), plus 1.
    body += record(0x04BC, Bytes().u16(0).u16(2).u8(1).u8(1).u16(0x0300).u16(19).raw(
                               QByteArray::fromHex("4c0000ffc0"
                                                   "2dfefffeff02800280"
                                                   "1e0100"
                                                   "03"
                                                   "03")));
    body += formulaRecord(1, 1, specialResult(0), expAt01);
    body += record(kString, Bytes().longString("shared text"));
    body += formulaRecord(2, 1, Bytes().f64(1).data, expAt01);
    body += formulaRecord(5, 0, Bytes().f64(4).data, expAt50);
    const QByteArray array =
        Bytes().u16(5).u16(6).u8(0).u8(0).u16(0).u32(0).u16(3).raw(QByteArray::fromHex("1e0400")).data;
    body += record(0x0221, array);
    body += formulaRecord(6, 0, Bytes().f64(4).data, expAt50);
    body += formulaRecord(8, 0, Bytes().f64(9).data, QByteArray::fromHex("0208000000"));  // no TABLE

    const Workbook book = readWorkbookStream(biffbuild::oneSheet(body));
    const Worksheet& sheet = book.sheets[0];
    // Each cell of the shared formula gets its own tokens, its references made to reach from the cell:
    // row 2 wraps round to the last row for the area two rows up from row 0.
    const QStringList expected = {
        "44000000c0"
        "25feff feff 0280 0280"
        "1e0100"
        "03"
        "03",
        "44010000c0"
        "25ffff ffff 0280 0280"
        "1e0100"
        "03"
        "03",
        "44020000c0"
        "2500000000 0280 0280"
        "1e0100"
        "03"
        "03"};
    for (int row = 0; row < 3; ++row) {
        const Cell& cell = cellAt(sheet, row, 1);
        QVERIFY(cell.formula);
        QVERIFY(cell.formula->fromSharedFormula);
        QCOMPARE(cell.formula->tokens.toHex(), expected[row].toLatin1().replace(' ', ""));
    }
    QCOMPARE(*cellAt(sheet, 0, 1).number(), 10.0);
    QCOMPARE(*cellAt(sheet, 1, 1).text(), QStringLiteral("shared text"));
    // An array formula's cells keep pointing at its first cell; the ARRAY record gives the array.
    for (int row : {5, 6}) {
        QCOMPARE(cellAt(sheet, row, 0).formula->tokens, expAt50);
        QCOMPARE(*cellAt(sheet, row, 0).number(), 4.0);
        QVERIFY(sheet.arrayFormulaAt({row, 0}) == &sheet.arrayFormulas.at(CellRef{5, 0}));
    }
    QCOMPARE(sheet.arrayFormulas.size(), size_t(1));
    const ArrayFormula& read = sheet.arrayFormulas.at(CellRef{5, 0});
    QCOMPARE(read.range, (CellRange{{5, 0}, {6, 0}}));
    QCOMPARE(read.tokens, QByteArray::fromHex("1e0400"));
    QVERIFY(sheet.formulaBlocks.empty());
    // A data table's cell whose TABLE record is missing keeps only its result.
    QVERIFY(cellAt(sheet, 8, 0).formula->tokens.isEmpty());
    QCOMPARE(*cellAt(sheet, 8, 0).number(), 9.0);
}

void TestSpreadsheetReader::globalsTables() {
    QByteArray globals;
    globals += record(0x0042, Bytes().u16(1252));
    globals += record(0x0060, QByteArray());
    globals += record(
        0x003D, Bytes().u16(120).u16(240).u16(16000).u16(8000).u16(0x0038).u16(0).u16(0).u16(1).u16(700));
    for (int i = 0; i < 4; ++i)
        globals += fontRecord("Arial", 200, 0, 0x7FFF, 400);
    // The fifth FONT record is font 5 in the file: there is no font 4.
    globals += fontRecord(QStringLiteral("Verdana \u00e9"), 280, 0x0002 | 0x0008, 10, 700, 0x01);
    globals += record(0x041E, Bytes().u16(164).longString(QStringLiteral("\"$\"#,##0.00")));
    globals += record(0x041E, Bytes().u16(42).longString(QStringLiteral("_(* 0_)")));
    globals += xfRecord(0, 0, 0xFFF5, 0x20, 0, 0, 0x00, 0, 0, 0x20C0);  // a style XF
    for (int i = 1; i < 15; ++i)
        globals += plainXf();
    const quint32 border1 = 7 | (1 << 4) | (6 << 8) | (2 << 12) | (23u << 16) | (8u << 23);
    const quint32 border2 = 10 | (64u << 7) | (1u << 26);
    globals += xfRecord(5, 164, 0x0003, 0x0B, 45, 0x12, 0x7C, border1, border2, quint16(22 | (65 << 7)));
    globals += record(0x0293, Bytes().u16(0x8000).u8(0).u8(0xFF));
    globals += record(0x0293, Bytes().u16(15).longString("Mine"));
    Bytes palette;
    palette.u16(56);
    for (int i = 0; i < 56; ++i)
        palette.u8(quint8(i)).u8(0x80).u8(quint8(255 - i)).u8(0);
    globals += record(0x0092, palette);
    globals += record(0x0022, Bytes().u16(1));
    globals += record(0x000D, Bytes().u16(0));
    globals += record(0x000C, Bytes().u16(50));
    globals += record(0x000F, Bytes().u16(0));
    globals += record(0x0011, Bytes().u16(1));
    globals += record(0x0010, Bytes().f64(0.01));
    globals += record(0x005F, Bytes().u16(0));

    const Workbook book =
        readWorkbookStream(biffbuild::oneSheet(record(kNumber, Bytes().cell(0, 0).f64(1)), globals));
    QCOMPARE(book.codePage, quint16(1252));
    QVERIFY(book.isTemplate);
    QVERIFY(book.date1904);
    QCOMPARE(book.window.left, qint16(120));
    QCOMPARE(book.window.width, quint16(16000));
    QVERIFY(book.window.showTabs && book.window.showVerticalScroll && book.window.showHorizontalScroll);
    QCOMPARE(book.window.tabRatio, quint16(700));
    QVERIFY(!book.calculation.automatic);
    QVERIFY(!book.calculation.a1References);
    QVERIFY(book.calculation.iteration);
    QVERIFY(!book.calculation.recalculateBeforeSave);
    QCOMPARE(book.calculation.iterationLimit, quint16(50));
    QCOMPARE(book.calculation.maximumChange, 0.01);

    QCOMPARE(book.fonts.size(), size_t(5));
    const CellFormat& xf = book.formats.at(15);
    QCOMPARE(xf.fontIndex, quint16(4));
    const Font& font = book.fontOf(xf);
    QCOMPARE(font.name, QStringLiteral("Verdana \u00e9"));
    QCOMPARE(font.heightTwips, quint16(280));
    QVERIFY(font.bold && font.italic && font.strikeout);
    QCOMPARE(font.underline, quint8(1));
    QCOMPARE(font.colorIndex, quint16(10));
    QCOMPARE(font.family, quint8(2));

    QCOMPARE(xf.numberFormat, quint16(164));
    QCOMPARE(book.numberFormats.at(164), QStringLiteral("\"$\"#,##0.00"));
    QCOMPARE(book.numberFormats.at(42), QStringLiteral("_(* 0_)"));
    QVERIFY(xf.locked && xf.formulaHidden && !xf.isStyle);
    QCOMPARE(xf.parentStyle, quint16(0));
    QCOMPARE(xf.hAlign, HAlign::Right);
    QVERIFY(xf.wrap);
    QCOMPARE(xf.vAlign, VAlign::Top);
    QCOMPARE(xf.rotation, quint8(45));
    QCOMPARE(xf.indent, quint8(2));
    QVERIFY(xf.shrinkToFit);
    QCOMPARE(xf.usedAttributes, quint8(0x7C));
    QCOMPARE(xf.left, (Border{LineStyle::Hair, 23}));
    QCOMPARE(xf.right, (Border{LineStyle::Thin, 8}));
    QCOMPARE(xf.top, (Border{LineStyle::Double, 10}));
    QCOMPARE(xf.bottom, (Border{LineStyle::Medium, 64}));
    QCOMPARE(xf.fillPattern, quint8(1));
    QCOMPARE(xf.fillForeground, quint16(22));
    QCOMPARE(xf.fillBackground, quint16(65));
    QVERIFY(book.formats.at(0).isStyle);
    QCOMPARE(book.formats.at(0).parentStyle, quint16(0xFFF));

    QCOMPARE(book.styles.size(), size_t(2));
    QCOMPARE(book.styles[0], (Style{0, true, 0, 0xFF, {}}));
    QCOMPARE(book.styles[1].name, QStringLiteral("Mine"));
    QCOMPARE(book.styles[1].xfIndex, quint16(15));
    QVERIFY(!book.styles[1].builtIn);

    QVERIFY(book.paletteCustomized);
    QCOMPARE(book.color(8), qRgb(0, 0x80, 255));
    QCOMPARE(book.color(63), qRgb(55, 0x80, 200));
}

void TestSpreadsheetReader::sheetSettings() {
    QByteArray body;
    body += record(0x0055, Bytes().u16(10));
    body += record(0x0225, Bytes().u16(0x0001).u16(300));
    body += record(0x007D, Bytes().u16(0).u16(0).u16(5000).u16(15).u16(0x0002).u16(0));
    body += record(0x007D, Bytes().u16(2).u16(4).u16(3000).u16(16).u16(0x0001).u16(0));
    body += record(0x007D, Bytes().u16(3).u16(5).u16(4000).u16(15).u16(0).u16(0));  // overlaps the run before
    body += record(0x007D, Bytes().u16(9).u16(256).u16(2000).u16(15).u16(0).u16(0));  // ends one past IV
    body += record(0x0208, Bytes().u16(5).u16(0).u16(2).u16(600).u16(0).u16(0).u16(0x01E0 | 0x0100).u16(16));
    body += record(0x0208, Bytes().u16(6).u16(0).u16(2).u16(255).u16(0).u16(0).u16(0x0100).u16(15));
    body += record(kNumber, Bytes().cell(5, 1).f64(2));
    body += record(0x0014, Bytes().longString(QStringLiteral("&CPage \u00e9"), true));
    body += record(0x0015, QByteArray());
    body += record(0x0083, Bytes().u16(1));
    body += record(0x0084, Bytes().u16(0));
    body += record(0x002B, Bytes().u16(1));
    body += record(0x002A, Bytes().u16(0));
    body += record(0x0026, Bytes().f64(0.5));
    body += record(0x0028, Bytes().f64(1.25));
    body += record(0x0081, Bytes().u16(0x04C1 | 0x0100));
    body += record(0x00A1, Bytes()
                               .u16(9)
                               .u16(80)
                               .u16(3)
                               .u16(2)
                               .u16(4)
                               .u16(0x0002 | 0x0008)
                               .u16(200)
                               .u16(300)
                               .f64(0.3)
                               .f64(0.2)
                               .u16(2));
    body += record(0x023E, Bytes()
                               .u16(0x0004 | 0x0010 | 0x0020 | 0x0080 | 0x0200 | 0x0400 | 0x0008)
                               .u16(3)
                               .u16(1)
                               .u16(64)
                               .u16(0)
                               .u16(0)
                               .u16(90)
                               .u32(0));
    body += record(0x00A0, Bytes().u16(3).u16(4));
    body += record(0x0041, Bytes().u16(0).u16(4).u16(4).u16(0).u8(2).u8(0));
    body += record(0x001D, Bytes().u8(3).u16(0).u16(0).u16(0).u16(1).u16(0).u16(0).u8(0).u8(0));
    body += record(0x001D, Bytes().u8(2).u16(5).u16(1).u16(0).u16(1).u16(5).u16(6).u8(1).u8(2));
    body += record(0x00E5, Bytes().u16(2).u16(0).u16(0).u16(0).u16(2).u16(10).u16(12).u16(1).u16(1));

    const Workbook book = readWorkbookStream(biffbuild::oneSheet(body));
    const Worksheet& sheet = book.sheets[0];
    QCOMPARE(sheet.defaultColumnWidth, quint16(10));
    QCOMPARE(sheet.defaultRowHeightTwips, quint16(300));
    QCOMPARE(sheet.defaultRowFlags, quint16(1));

    QCOMPARE(sheet.columns.size(), size_t(4));
    QCOMPARE(sheet.columnWidth(0), std::optional<quint16>(5000));
    QVERIFY(sheet.columns[0].customWidth);
    QCOMPARE(sheet.columnWidth(3), std::optional<quint16>(0));  // hidden
    QCOMPARE(sheet.columnInfo(4)->xf, quint16(16));
    QCOMPARE(sheet.columns[2].firstColumn, 5);  // the overlap went to the earlier run
    QCOMPARE(sheet.columns[2].width, quint16(4000));
    QCOMPARE(sheet.columns[3].lastColumn, 255);

    const RowInfo& row = sheet.rows.at(5);
    QCOMPARE(row.heightTwips, quint16(600));
    QVERIFY(row.customHeight && row.hidden && row.hasFormat);
    QCOMPARE(row.xf, quint16(16));
    QVERIFY(!sheet.rows.at(6).hasFormat);
    QCOMPARE(sheet.rowHeightTwips(5), quint16(0));

    const PageSetup& page = sheet.pageSetup;
    QCOMPARE(page.header, QStringLiteral("&CPage \u00e9"));
    QCOMPARE(page.footer, QString());
    QVERIFY(page.centerHorizontally && !page.centerVertically);
    QVERIFY(page.printGridlines && !page.printHeadings);
    QCOMPARE(page.leftMargin, 0.5);
    QCOMPARE(page.rightMargin, 0.75);
    QCOMPARE(page.topMargin, 1.25);
    QVERIFY(page.fitToPage);
    QCOMPARE(page.paperSize, quint16(9));
    QCOMPARE(page.scalePercent, quint16(80));
    QCOMPARE(page.firstPageNumber, quint16(3));
    QCOMPARE(page.fitWidth, quint16(2));
    QCOMPARE(page.fitHeight, quint16(4));
    QVERIFY(page.portrait && page.blackAndWhite && page.settingsValid && !page.draftQuality);
    QCOMPARE(page.horizontalDpi, quint16(200));
    QCOMPARE(page.verticalDpi, quint16(300));
    QCOMPARE(page.headerMargin, 0.3);
    QCOMPARE(page.footerMargin, 0.2);
    QCOMPARE(page.copies, quint16(2));

    const SheetWindow& window = sheet.window;
    QVERIFY(!window.showGridlines && window.showHeadings && window.showZeros && window.frozen);
    QVERIFY(window.selected && window.active && !window.showFormulas);
    QCOMPARE(window.firstVisibleRow, 3);
    QCOMPARE(window.firstVisibleColumn, 1);
    QCOMPARE(window.normalZoomPercent, quint16(90));
    QCOMPARE(window.zoomPercent, quint16(75));
    // The window is split, so the selection is the one of the active pane.
    QCOMPARE(window.activeCell, (CellRef{5, 1}));
    QCOMPARE(window.selection, (std::vector<CellRange>{{{5, 1}, {6, 2}}}));

    QCOMPARE(sheet.mergedRanges, (std::vector<CellRange>{{{0, 0}, {0, 2}}, {{10, 1}, {12, 1}}}));
}

void TestSpreadsheetReader::chartSheetsAreSkipped() {
    const QByteArray window1 =
        record(0x003D, Bytes().u16(0).u16(0).u16(100).u16(100).u16(0x38).u16(1).u16(0).u16(1).u16(600));
    const QByteArray stream =
        biffbuild::workbook(window1, {biffbuild::Sheet{"Chart1", record(0x1002, QByteArray(16, '\0')), 2},
                                      biffbuild::Sheet{"Data", record(kNumber, Bytes().cell(0, 0).f64(8))}});
    const Workbook book = readWorkbookStream(stream);
    QCOMPARE(book.sheets.size(), size_t(1));
    QCOMPARE(book.sheets[0].name, QStringLiteral("Data"));
    QCOMPARE(book.window.activeSheet, quint16(0));
    QCOMPARE(*cellAt(book.sheets[0], 0, 0).number(), 8.0);
}

void TestSpreadsheetReader::substreamsFoundWithoutOffsets() {
    // BOUNDSHEET offsets that point nowhere: the substreams are taken in order instead. The first sheet
    // embeds a chart substream, whose records and EOF belong to the chart and not to the sheet.
    QByteArray stream = biffbuild::bof(0x0005);
    stream += record(0x0085, Bytes().u32(0x7FFFFFF0).u8(0).u8(0).shortString("One"));
    stream += record(0x0085, Bytes().u32(3).u8(1).u8(0).shortString("Two"));
    stream += biffbuild::eof();
    stream += biffbuild::bof(0x0010) + record(kNumber, Bytes().cell(0, 0).f64(1)) + biffbuild::bof(0x0020) +
              record(kNumber, Bytes().cell(9, 9).f64(99)) + biffbuild::eof() +
              record(kNumber, Bytes().cell(1, 0).f64(2)) + biffbuild::eof();
    stream += biffbuild::bof(0x0010) + record(kNumber, Bytes().cell(0, 0).f64(3)) + biffbuild::eof();

    const Workbook book = readWorkbookStream(stream);
    QCOMPARE(book.sheets.size(), size_t(2));
    QCOMPARE(book.sheets[0].cells().size(), size_t(2));
    QCOMPARE(*cellAt(book.sheets[0], 1, 0).number(), 2.0);
    QCOMPARE(*cellAt(book.sheets[1], 0, 0).number(), 3.0);
    QVERIFY(book.sheets[0].visible);
    QVERIFY(!book.sheets[1].visible);
}
