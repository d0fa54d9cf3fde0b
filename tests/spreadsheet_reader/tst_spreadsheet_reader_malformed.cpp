#include <QtTest>

#include "biff_builder.h"
#include "spreadsheet/biff/read_sheet.h"
#include "spreadsheet/error.h"
#include "spreadsheet/workbook_reader.h"
#include "tst_spreadsheet_reader.h"

using namespace spreadsheet;
using biffbuild::Bytes;
using biffbuild::record;

namespace {

constexpr quint16 kSst = 0x00FC, kContinue = 0x003C, kLabelSst = 0x00FD, kNumber = 0x0203, kMulRk = 0x00BD,
                  kMulBlank = 0x00BE, kBoolErr = 0x0205;

QString readError(const QByteArray& stream) {
    try {
        readWorkbookStream(stream);
    } catch (const SpreadsheetError& error) {
        return error.message();
    }
    return QStringLiteral("(read without error)");
}

}  // namespace

void TestSpreadsheetReader::malformedStreams_data() {
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QString>("expected");  // a part of the message

    const QByteArray number = record(kNumber, Bytes().cell(0, 0).f64(1));
    const QByteArray good = biffbuild::oneSheet(number);

    QTest::newRow("empty") << QByteArray() << "empty";
    QTest::newRow("no BOF") << record(0x0031, QByteArray(20, '\0')) << "not an Excel 97-2003 workbook";
    QTest::newRow("Excel 5 BOF") << biffbuild::bof(0x0005, 0x0500) + biffbuild::eof() << "Excel 5.0/95";
    QTest::newRow("Excel 4 BOF") << record(0x0409, Bytes().u16(0).u16(0x10)) << "Excel 2.1-4.0";
    QTest::newRow("encrypted") << biffbuild::oneSheet(
                                      number, record(0x002F, Bytes().u16(1).raw(QByteArray(52, '\0'))))
                               << "password";
    QTest::newRow("record past the end") << good.left(good.size() - 10) << "past the end";
    QTest::newRow("header cut short") << good + QByteArray("\x01\x02", 2) << "(read without error)";
    QTest::newRow("globals without EOF")
        << biffbuild::bof(0x0005) + record(0x0042, Bytes().u16(1200)) << "ends inside the workbook globals";
    QTest::newRow("sheet closed by the stream's end") << good.left(good.size() - 4) << "(read without error)";
    QTest::newRow("short NUMBER") << biffbuild::oneSheet(record(kNumber, Bytes().cell(0, 0).u32(0)))
                                  << "shorter";
    QTest::newRow("short FONT") << biffbuild::oneSheet(number, record(0x0031, Bytes().u16(200).u16(0)))
                                << "shorter";
    QTest::newRow("font name past the record")
        << biffbuild::oneSheet(
               number, record(0x0031, Bytes().raw(QByteArray(14, '\0')).u8(50).u8(0).chars("Ari", false)))
        << "shorter";
    QTest::newRow("shared string out of range")
        << biffbuild::oneSheet(record(kLabelSst, Bytes().cell(0, 0).u32(0)),
                               record(kSst, Bytes().u32(0).u32(0)))
        << "shared string 0 of 0";
    QTest::newRow("no shared strings at all")
        << biffbuild::oneSheet(record(kLabelSst, Bytes().cell(0, 0).u32(7))) << "shared string 7 of 0";
    QTest::newRow("SST string longer than its record")
        << biffbuild::oneSheet(number, record(kSst, Bytes().u32(1).u32(1).u16(500).u8(0).chars("abc", false)))
        << "shorter";
    QTest::newRow("half a character before CONTINUE")
        << biffbuild::oneSheet(number, record(kSst, Bytes().u32(1).u32(1).u16(2).u8(1).u8('a')) +
                                           record(kContinue, Bytes().u8(1).u16('b')))
        << "shorter";
    QTest::newRow("cell format out of range")
        << biffbuild::oneSheet(record(kNumber, Bytes().cell(0, 0, 300).f64(1))) << "cell format 300";
    QTest::newRow("column past IV") << biffbuild::oneSheet(record(kNumber, Bytes().cell(0, 256).f64(1)))
                                    << "past the last column";
    QTest::newRow("MULRK columns wrong")
        << biffbuild::oneSheet(record(kMulRk, Bytes().u16(0).u16(0).u16(15).u32(2).u16(15).u32(2).u16(7)))
        << "MULRK";
    QTest::newRow("MULRK past IV")
        << biffbuild::oneSheet(record(kMulRk, Bytes().u16(0).u16(255).u16(15).u32(2).u16(15).u32(2).u16(256)))
        << "past the last column";
    QTest::newRow("MULBLANK odd length")
        << biffbuild::oneSheet(record(kMulBlank, Bytes().u16(0).u16(0).u16(15).u8(0).u16(0))) << "MULBLANK";
    QTest::newRow("merged range reversed")
        << biffbuild::oneSheet(record(0x00E5, Bytes().u16(1).u16(5).u16(2).u16(0).u16(0))) << "merged range";
    QTest::newRow("merged count past the record")
        << biffbuild::oneSheet(record(0x00E5, Bytes().u16(0xFFFF).u16(0).u16(0).u16(0).u16(0))) << "merged";
    QTest::newRow("unknown error code")
        << biffbuild::oneSheet(record(kBoolErr, Bytes().cell(0, 0).u8(0x99).u8(1))) << "error code";
    QTest::newRow("font out of range") << biffbuild::oneSheet(number, biffbuild::plainXf(99)) << "font 98";
    QTest::newRow("row format out of range")
        << biffbuild::oneSheet(
               record(0x0208, Bytes().u16(0).u16(0).u16(1).u16(255).u32(0).u16(0x0180).u16(900)))
        << "cell format 900";
    QTest::newRow("palette too long")
        << biffbuild::oneSheet(number, record(0x0092, Bytes().u16(200).raw(QByteArray(800, '\0'))))
        << "palette";
    QTest::newRow("sheet offset shared, one substream")
        << biffbuild::bof(0x0005) + record(0x0085, Bytes().u32(50).u8(0).u8(0).shortString("A")) +
               record(0x0085, Bytes().u32(50).u8(0).u8(0).shortString("B")) + biffbuild::eof() +
               biffbuild::bof(0x0010) + number + biffbuild::eof()
        << "lists 2 sheets but holds 1";
    const QByteArray inner = biffbuild::bof(0x0010) + number + biffbuild::eof();
    QTest::newRow("one sheet inside another")
        << biffbuild::bof(0x0005) + record(0x0085, Bytes().u32(50).u8(0).u8(0).shortString("A")) +
               record(0x0085, Bytes().u32(50 + 20).u8(0).u8(0).shortString("B")) + biffbuild::eof() +
               biffbuild::bof(0x0010) + inner + biffbuild::eof()
        << "overlap";
    // The link table, names and shared formulas.
    QTest::newRow("EXTERNSHEET count past the record")
        << biffbuild::oneSheet(number, record(0x0017, Bytes().u16(500).u16(0).u16(0).u16(0))) << "shorter";
    QTest::newRow("NAME text past the record")
        << biffbuild::oneSheet(
               number, record(0x0018, Bytes().u16(0).u8(0).u8(40).u16(0).u16(0).u16(0).u32(0).u8(0).chars(
                                          "Short", false)))
        << "shorter";
    QTest::newRow("SUPBOOK sheet names past the record")
        << biffbuild::oneSheet(
               number, record(0x01AE, Bytes().u16(3).u16(4).u8(0).chars("a.xl", false).longString("One")))
        << "shorter";
    QTest::newRow("shared formula with an unknown token")
        << biffbuild::oneSheet(
               record(0x0006, Bytes().cell(0, 0).f64(1).u16(8).u32(0).u16(5).u8(1).u16(0).u16(0)) +
               record(0x04BC, Bytes().u16(0).u16(0).u8(0).u8(0).u16(1).u16(2).u8(0x18).u8(0x01)))
        << "shared formula of cell A1";
    QTest::newRow("chart sheet without its EOF")
        << biffbuild::bof(0x0005) + record(0x0085, Bytes().u32(0).u8(0).u8(0).shortString("A")) +
               record(0x0085, Bytes().u32(0).u8(0).u8(2).shortString("C")) + biffbuild::eof() +
               biffbuild::bof(0x0010) + number + biffbuild::eof() + biffbuild::bof(0x0020) + number
        << "(read without error)";
    QTest::newRow("only a chart") << biffbuild::workbook({}, {biffbuild::Sheet{"Chart", {}, 2}})
                                  << "no worksheets";
}

void TestSpreadsheetReader::malformedStreams() {
    QFETCH(QByteArray, stream);
    QFETCH(QString, expected);
    const QString message = readError(stream);
    QVERIFY2(message.contains(expected), qPrintable(message));
}

void TestSpreadsheetReader::cellLimit() {
    const QByteArray stream =
        biffbuild::oneSheet(record(kMulBlank, Bytes().u16(0).u16(0).u16(15).u16(15).u16(15).u16(15).u16(3)));
    const QStringList noStrings;
    CalculationSettings calculation;
    biff::SheetContext context{noStrings, 21, calculation};
    const qsizetype sheetStart = stream.indexOf(QByteArray::fromHex("0908100000061000"));
    QVERIFY(sheetStart > 0);

    context.cellBudget = 4;
    Worksheet sheet;
    QVERIFY(biff::readWorksheet(stream, sheetStart, context, sheet));
    QCOMPARE(sheet.cells().size(), size_t(4));
    QCOMPARE(context.cellBudget, size_t(0));

    context.cellBudget = 3;
    Worksheet tooMany;
    try {
        biff::readWorksheet(stream, sheetStart, context, tooMany);
        QFAIL("more cells than allowed were read");
    } catch (const SpreadsheetError& error) {
        QVERIFY2(error.message().contains("more than 2000000 cells"), qPrintable(error.message()));
    }
}
