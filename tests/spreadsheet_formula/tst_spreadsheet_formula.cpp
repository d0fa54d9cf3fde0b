#include <QtTest>

#include "spreadsheet/error.h"
#include "spreadsheet/formula.h"

using namespace spreadsheet;

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

}  // namespace

class TestFormula : public QObject {
    Q_OBJECT

private slots:
    void compileBytes_data();
    void compileBytes();
    void compileRejects_data();
    void compileRejects();
    void textRoundTrip_data();
    void textRoundTrip();
};

void TestFormula::compileBytes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    // The template's three formulas, as a spreadsheet stores them.
    QTest::newRow("SUM(B6:B16)") << "=SUM(B6:B16)" << hex("25 05 00 0F 00 01 C0 01 C0 19 10 00 00");
    QTest::newRow("SUM(B20:B25)") << "SUM(B20:B25)" << hex("25 13 00 18 00 01 C0 01 C0 19 10 00 00");
    QTest::newRow("(B17-B26)") << "=(B17-B26)" << hex("44 10 00 01 C0 44 19 00 01 C0 04 15");
    QTest::newRow("two-argument SUM") << "=SUM(A1,B2)" << hex("24 00 00 00 C0 24 01 00 01 C0 42 02 04 00");
    QTest::newRow("SUM of an expression") << "=SUM(A1+1)" << hex("44 00 00 00 C0 1E 01 00 03 19 10 00 00");
    QTest::newRow("absolute") << "=$B$6" << hex("44 05 00 01 00");
    QTest::newRow("absolute row") << "=B$6" << hex("44 05 00 01 40");
    QTest::newRow("absolute column") << "=$B6" << hex("44 05 00 01 80");
    QTest::newRow("reversed area") << "=SUM(B16:A6)" << hex("25 05 00 0F 00 00 C0 01 C0 19 10 00 00");
    QTest::newRow("last cell") << "=IV65536" << hex("44 FF FF FF C0");
    QTest::newRow("precedence") << "=1+2*3" << hex("1E 01 00 1E 02 00 1E 03 00 05 03");
    QTest::newRow("parentheses") << "=(1+2)/3" << hex("1E 01 00 1E 02 00 03 15 1E 03 00 06");
    QTest::newRow("left associative") << "=8-4-2" << hex("1E 08 00 1E 04 00 04 1E 02 00 04");
    QTest::newRow("unary") << "=-5+ +A1" << hex("1E 05 00 13 44 00 00 00 C0 12 03");
    QTest::newRow("largest tInt") << "=65535" << hex("1E FF FF");
    QTest::newRow("past tInt") << "=65536" << hex("1F 00 00 00 00 00 00 F0 40");
    QTest::newRow("fraction") << "=1.5" << hex("1F 00 00 00 00 00 00 F8 3F");
    QTest::newRow("exponent") << "=1E3" << hex("1E E8 03");
    QTest::newRow("string") << "=\"ab\"\"c\"" << hex("17 04 00 61 62 22 63");
    QTest::newRow("wide string") << QString::fromUtf8("=\"€\"") << hex("17 01 01 AC 20");
    QTest::newRow("spaces and lower case")
        << " = sum( b6 : b16 ) " << hex("25 05 00 0F 00 01 C0 01 C0 19 10 00 00");
}

void TestFormula::compileBytes() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(compileFormula(text).tokens.toHex(' '), bytes.toHex(' '));
}

void TestFormula::compileRejects_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "=";
    QTest::newRow("open SUM") << "=SUM(B6:B16";
    QTest::newRow("empty SUM") << "=SUM()";
    QTest::newRow("unknown function") << "=AVERAGE(B6:B16)";
    QTest::newRow("dangling operator") << "=1+";
    QTest::newRow("area without end") << "=B6:";
    QTest::newRow("row 0") << "=B0";
    QTest::newRow("past column IV") << "=IW1";
    QTest::newRow("open string") << "=\"abc";
    QTest::newRow("trailing garbage") << "=B6 B7";
    QTest::newRow("deep nesting") << "=" + QString(5000, u'(') + "1" + QString(5000, u')');
}

void TestFormula::compileRejects() {
    QFETCH(QString, text);
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, compileFormula(text));
}

void TestFormula::textRoundTrip_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("sum") << "=SUM(B6:B16)"
                         << "SUM(B6:B16)";
    QTest::newRow("net worth") << "=(B17-B26)"
                               << "(B17-B26)";
    QTest::newRow("mixed refs") << "=$A$1+B$2*$C3"
                                << "$A$1+B$2*$C3";
    QTest::newRow("sum list") << "=SUM(A1,B2:C3,4)"
                              << "SUM(A1,B2:C3,4)";
    QTest::newRow("unary and numbers") << "=-1.25/+3"
                                       << "-1.25/+3";
    QTest::newRow("string quotes") << "=\"say \"\"hi\"\"\""
                                   << "\"say \"\"hi\"\"\"";
    QTest::newRow("lower case") << "=sum(b6:b16)"
                                << "SUM(B6:B16)";
}

void TestFormula::textRoundTrip() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(formulaText(compileFormula(text)), shown);
    QCOMPARE(compileFormula("=" + shown), compileFormula(text));
}

QTEST_GUILESS_MAIN(TestFormula)
#include "tst_spreadsheet_formula.moc"
