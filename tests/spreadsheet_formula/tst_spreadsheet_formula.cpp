#include <QtTest>

#include <QRandomGenerator>
#include <set>

#include "spreadsheet/error.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/formula/tokens.h"
#include "tst_spreadsheet_formula.h"

using namespace spreadsheet;

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

CellRef at(const char* name) {
    return *parseCellName(QString::fromLatin1(name));
}

// A sheet with one of each kind of value in column A:
// A1 1, A2 2, A3 the text "3", A4 nothing, A5 TRUE, A6 "abc", A7 #DIV/0!, A8 a formatted blank.
Workbook valueSheet() {
    Workbook workbook;
    Worksheet& sheet = workbook.addSheet(QStringLiteral("Sheet1"));
    sheet.cellForWriting(at("A1")).value = 1.0;
    sheet.cellForWriting(at("A2")).value = 2.0;
    sheet.cellForWriting(at("A3")).value = QStringLiteral("3");
    sheet.cellForWriting(at("A5")).value = true;
    sheet.cellForWriting(at("A6")).value = QStringLiteral("abc");
    sheet.cellForWriting(at("A7")).value = ErrorCode::Div0;
    sheet.cellForWriting(at("A8")).xf = 16;
    return workbook;
}

void setFormula(Workbook& workbook, const char* cell, const QString& text, Value cached = 0.0) {
    Cell& c = workbook.sheets[0].cellForWriting(at(cell));
    c.formula = compileFormula(text);
    c.value = std::move(cached);
}

Value valueAt(const Workbook& workbook, const char* cell) {
    const Cell* c = workbook.sheets[0].cell(at(cell));
    return c ? c->value : Value();
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
    void evaluate_data();
    void evaluate();
    void formulaCellsAreEvaluatedFirst();
    void dynamicReferencesAreOrdered();
    void namesAndOtherSheets();
    void callsByName_data();
    void callsByName();
    void recalculateStoresResults();
    void circularReferencesGiveZero();
    void arrayFormulasAreOneUnit();
    void longChainDoesNotExhaustTheStack();
    void truncatedTokensGiveAnError();
    void unknownTokens_data();
    void unknownTokens();
    void randomTokensNeverCrash();
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
    QTest::newRow("unknown function") << "=BESSELJ(B6,1)";
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
    // Whole rows and columns say nothing of the other direction, which reads as absolute: a span of the
    // sheet typed with relative corners keeps them.
    QTest::newRow("whole rows") << "=SUM(5:$6)"
                                << "SUM(5:$6)";
    QTest::newRow("whole columns") << "=SUM($B:C)"
                                   << "SUM($B:C)";
    QTest::newRow("sheet-wide, relative") << "=SUM(IV6:A5)"
                                          << "SUM(A5:IV6)";
    QTest::newRow("sheet-tall, relative") << "=SUM(B1:B65536)"
                                          << "SUM(B1:B65536)";
    QTest::newRow("sheet-wide, absolute") << "=SUM($A5:$IV6)"
                                          << "SUM(5:6)";
}

void TestFormula::textRoundTrip() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(formulaText(compileFormula(text)), shown);
    QCOMPARE(compileFormula("=" + shown), compileFormula(text));
}

void TestFormula::evaluate_data() {
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("expected");
    // Texts, truth values and blanks in a referenced range add nothing; errors there stop the sum.
    QTest::newRow("SUM skips text, blank, bool") << "=SUM(A1:A6)"
                                                 << "C1"
                                                 << "3";
    QTest::newRow("SUM of a text cell") << "=SUM(A1,A3)"
                                        << "C1"
                                        << "1";
    QTest::newRow("SUM of typed text") << "=SUM(\"3\",1)"
                                       << "C1"
                                       << "4";
    QTest::newRow("SUM of non-number text") << "=SUM(\"x\",1)"
                                            << "C1"
                                            << "#VALUE!";
    QTest::newRow("SUM meets an error") << "=SUM(A1:A8)"
                                        << "C1"
                                        << "#DIV/0!";
    QTest::newRow("SUM of blanks") << "=SUM(A4,A8,D1:D9)"
                                   << "C1"
                                   << "0";
    QTest::newRow("SUM of whole sheet") << "=SUM(A1:IV65536)"
                                        << "C1"
                                        << "#DIV/0!";
    QTest::newRow("SUM list") << "=SUM(A1:A2,A2,10)"
                              << "C1"
                              << "15";
    QTest::newRow("numeric text converts") << "=A1+A3"
                                           << "C1"
                                           << "4";
    QTest::newRow("other text is #VALUE!") << "=A1+A6"
                                           << "C1"
                                           << "#VALUE!";
    QTest::newRow("string literal") << "=\"a\"+1"
                                    << "C1"
                                    << "#VALUE!";
    QTest::newRow("blank is 0") << "=A4+1"
                                << "C1"
                                << "1";
    QTest::newRow("TRUE is 1") << "=A5+1"
                               << "C1"
                               << "2";
    QTest::newRow("division by zero") << "=A1/0"
                                      << "C1"
                                      << "#DIV/0!";
    QTest::newRow("division by blank") << "=A1/A4"
                                       << "C1"
                                       << "#DIV/0!";
    QTest::newRow("error propagates") << "=(A7+1)*2"
                                      << "C1"
                                      << "#DIV/0!";
    QTest::newRow("left error first") << "=A6*A7"
                                      << "C1"
                                      << "#VALUE!";
    QTest::newRow("precedence") << "=1+2*3-4/8"
                                << "C1"
                                << "6.5";
    QTest::newRow("parentheses") << "=(1+2)*3"
                                 << "C1"
                                 << "9";
    QTest::newRow("unary minus") << "=-A1*3"
                                 << "C1"
                                 << "-3";
    QTest::newRow("double minus") << "=--A2"
                                  << "C1"
                                  << "2";
    QTest::newRow("fraction") << "=SUM(A1:A2)/4"
                              << "C1"
                              << "0.75";
    QTest::newRow("blank reference shows 0") << "=A4"
                                             << "C1"
                                             << "0";
    QTest::newRow("text reference") << "=A6"
                                    << "C1"
                                    << "\"abc\"";
    QTest::newRow("range in own row") << "=A1:A3+0"
                                      << "C2"
                                      << "2";
    QTest::newRow("range outside own row") << "=A1:A3+0"
                                           << "C9"
                                           << "#VALUE!";
    QTest::newRow("huge product") << "=1E300*1E300"
                                  << "C1"
                                  << "#NUM!";
}

void TestFormula::evaluate() {
    QFETCH(QString, formula);
    QFETCH(QString, cell);
    QFETCH(QString, expected);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const Workbook workbook = valueSheet();
    const Value result = evaluateFormula(workbook, 0, *parseCellName(cell), compileFormula(formula));
    QCOMPARE(describe(result), expected);
    // A sheet of values reads the same either way.
    QCOMPARE(describe(evaluateFormulaOnValues(workbook, 0, *parseCellName(cell), compileFormula(formula))),
             expected);
}

void TestFormula::formulaCellsAreEvaluatedFirst() {
    Workbook workbook = valueSheet();
    // Stale cached results must not leak into a dependent formula.
    setFormula(workbook, "B1", "=A1*10", 999.0);
    setFormula(workbook, "B2", "=B1+A2", 999.0);
    QCOMPARE(describe(evaluateFormula(workbook, 0, at("C1"), compileFormula("=SUM(B1:B2)"))), "22");
    // A workbook being drawn is calculated: a rule's formula reads the results as they stand.
    QCOMPARE(describe(evaluateFormulaOnValues(workbook, 0, at("C1"), compileFormula("=SUM(B1:B2)"))), "1998");
    QCOMPARE(describe(evaluateFormulaOnValues(workbook, 0, at("B1"), compileFormula("=B1+1"))), "1000");
}

void TestFormula::dynamicReferencesAreOrdered() {
    Workbook workbook = valueSheet();
    // Read through INDIRECT and OFFSET before the cells they name were evaluated, and through themselves.
    setFormula(workbook, "B1", "=INDIRECT(\"B5\")+SUM(OFFSET(B4,0,0,2,1))", 999.0);
    setFormula(workbook, "B4", "=B5*2", 999.0);
    setFormula(workbook, "B5", "=A2*10", 999.0);
    setFormula(workbook, "B6", "=INDIRECT(\"B7\")+1", 999.0);
    setFormula(workbook, "B7", "=INDIRECT(\"B6\")+1", 999.0);
    recalculate(workbook);
    QCOMPARE(describe(valueAt(workbook, "B1")), "80");
    QCOMPARE(describe(valueAt(workbook, "B6")), "0");
    QCOMPARE(describe(valueAt(workbook, "B7")), "0");
    QVERIFY(workbook.sheets[0].cell(at("B1"))->formula->alwaysCalculate);
    QVERIFY(!workbook.sheets[0].cell(at("B4"))->formula->alwaysCalculate);
}

void TestFormula::namesAndOtherSheets() {
    Workbook workbook = valueSheet();
    Worksheet& data = workbook.addSheet(QStringLiteral("My data"));
    data.cellForWriting(at("A1")).value = 5.0;
    data.cellForWriting(at("A2")).value = 7.0;
    defineName(workbook, QStringLiteral("Amounts"), QStringLiteral("=Sheet1!$A$1:$A$2"));
    defineName(workbook, QStringLiteral("Twice"), QStringLiteral("=SUM(Amounts)*2"));
    const Formula formula =
        compileFormula(QStringLiteral("=SUM('My data'!A1:A2)+Twice+SUM(Sheet1:'My data'!A1)"), workbook, 0);
    QCOMPARE(formulaText(formula, workbook), "SUM('My data'!A1:A2)+Twice+SUM('Sheet1:My data'!A1)");
    QCOMPARE(describe(evaluateFormula(workbook, 0, at("C1"), formula)), "24");
    QCOMPARE(workbook.supportingBooks.size(), size_t(1));
    QCOMPARE(workbook.externSheets.size(), size_t(3));  // Sheet1 (the name), My data, Sheet1:My data
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, compileFormula(QStringLiteral("=Nothing+1"), workbook, 0));
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, compileFormula(QStringLiteral("=Amounts")));
}

void TestFormula::callsByName_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    // As spreadsheets store them: the name (an add-in EXTERNNAME through tNameX, or the hidden NAME
    // "_xlfn." + name through tName), the arguments, tFuncVar 255 counting the name.
    QTest::newRow("add-in") << "=EDATE(A1,1)"
                            << hex("39 00 00 01 00 00 00 44 00 00 00 C0 1E 01 00 42 03 FF 00")
                            << "EDATE(A1,1)";
    QTest::newRow("add-in again, and another")
        << "=EDATE(A1,1)+eomonth(A1,0)"
        << hex("39 00 00 01 00 00 00 44 00 00 00 C0 1E 01 00 42 03 FF 00 "
               "39 00 00 02 00 00 00 44 00 00 00 C0 1E 00 00 42 03 FF 00 03")
        << "EDATE(A1,1)+EOMONTH(A1,0)";
    QTest::newRow("newer") << "=IFERROR(A1,0)" << hex("23 01 00 00 00 44 00 00 00 C0 1E 00 00 42 03 FF 00")
                           << "IFERROR(A1,0)";
    QTest::newRow("newer, written as stored") << "=_xlfn.SUMIFS(A1:A3,B1:B3,\">1\")"
                                              << hex("23 02 00 00 00 25 00 00 02 00 00 C0 00 C0 25 00 00 02 "
                                                     "00 01 C0 01 C0 17 02 00 3E 31 42 04 FF 00")
                                              << "SUMIFS(A1:A3,B1:B3,\">1\")";
    QTest::newRow("volatile add-in") << "=RANDBETWEEN(1,6)"
                                     << hex("19 01 00 00 39 00 00 03 00 00 00 1E 01 00 1E 06 00 42 03 FF 00")
                                     << "RANDBETWEEN(1,6)";
}

void TestFormula::callsByName() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    // The rows share one workbook, whose link table grows as a spreadsheet's does.
    static Workbook workbook = valueSheet();
    const Formula formula = compileFormula(text, workbook, 0);
    QCOMPARE(formula.tokens.toHex(' '), bytes.toHex(' '));
    QCOMPARE(formulaText(formula, workbook), shown);
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, compileFormula(text));

    auto addIn = std::find_if(workbook.supportingBooks.begin(), workbook.supportingBooks.end(),
                              [](const SupportingBook& b) { return b.kind == SupportingBook::Kind::AddIn; });
    QVERIFY(addIn != workbook.supportingBooks.end());
    QCOMPARE(workbook.externSheets.front(),
             (ExternSheet{quint16(addIn - workbook.supportingBooks.begin()), -2, -2}));
    for (const DefinedName& name : workbook.names) {
        QVERIFY(name.name.startsWith("_xlfn."));
        QVERIFY(name.hidden);
        QCOMPARE(name.otherFlags, 0x000A);  // a function of a macro: no range a user could pick
    }
    // Evaluated through those names, as after reading the file back.
    Cell& cell = workbook.sheets[0].cellForWriting(at("D1"));
    cell.formula = formula;
    recalculate(workbook);
    QVERIFY(!std::holds_alternative<ErrorCode>(valueAt(workbook, "D1")));
    if (shown.startsWith("RANDBETWEEN"))
        QVERIFY(workbook.sheets[0].cell(at("D1"))->formula->alwaysCalculate);
}

void TestFormula::recalculateStoresResults() {
    Workbook workbook = valueSheet();
    setFormula(workbook, "B3", "=B2*2");  // depends on a formula stored after it
    setFormula(workbook, "B2", "=B1+1");
    setFormula(workbook, "B1", "=SUM(A1:A2)");
    setFormula(workbook, "B4", "=A6+1");
    recalculate(workbook);
    QCOMPARE(describe(valueAt(workbook, "B1")), "3");
    QCOMPARE(describe(valueAt(workbook, "B2")), "4");
    QCOMPARE(describe(valueAt(workbook, "B3")), "8");
    QCOMPARE(describe(valueAt(workbook, "B4")), "#VALUE!");
    QVERIFY(workbook.sheets[0].cell(at("B3"))->formula.has_value());

    workbook.sheets[0].cellForWriting(at("A1")).value = 10.0;
    recalculate(workbook);
    QCOMPARE(describe(valueAt(workbook, "B3")), "26");
}

void TestFormula::circularReferencesGiveZero() {
    Workbook workbook = valueSheet();
    setFormula(workbook, "B1", "=B2+1", 7.0);
    setFormula(workbook, "B2", "=B1+1", 7.0);
    setFormula(workbook, "B3", "=B3+1", 7.0);
    setFormula(workbook, "B4", "=SUM(B1:B3)+5", 7.0);
    setFormula(workbook, "B5", "=SUM(B5:B6)", 7.0);
    recalculate(workbook);
    QCOMPARE(describe(valueAt(workbook, "B1")), "0");
    QCOMPARE(describe(valueAt(workbook, "B2")), "0");
    QCOMPARE(describe(valueAt(workbook, "B3")), "0");
    QCOMPARE(describe(valueAt(workbook, "B4")), "5");
    QCOMPARE(describe(valueAt(workbook, "B5")), "0");
    // A formula evaluated at a cell it refers to meets itself; elsewhere it reads the result.
    QCOMPARE(describe(evaluateFormula(workbook, 0, at("B4"), compileFormula("=B4+A1"))), "0");
    QCOMPARE(describe(evaluateFormula(workbook, 0, at("C4"), compileFormula("=B4+A1"))), "6");
}

// The cells of an array formula take their elements of one result, in the order of what they read and
// what reads them; the rectangle is entered, replaced and shown as a whole.
void TestFormula::arrayFormulasAreOneUnit() {
    Workbook workbook = valueSheet();
    setFormula(workbook, "D1", "=C2+1");  // reads an array cell
    setArrayFormula(workbook, 0, *parseRangeName("C1:C3"), "{=A1:A2*E1}");
    setFormula(workbook, "E1", "=10");  // read by the array, stored after it
    setArrayFormula(workbook, 0, *parseRangeName("F1:G1"), "=SUM(F1:G1)+1");  // reads itself
    recalculate(workbook);
    QCOMPARE(describe(valueAt(workbook, "C1")), "10");
    QCOMPARE(describe(valueAt(workbook, "C2")), "20");
    QCOMPARE(describe(valueAt(workbook, "C3")), "#N/A");
    QCOMPARE(describe(valueAt(workbook, "D1")), "21");
    QCOMPARE(describe(valueAt(workbook, "F1")), "0");
    QCOMPARE(cellFormulaText(workbook, 0, at("C3")), "{=A1:A2*E1}");
    QCOMPARE(cellFormulaText(workbook, 0, at("D1")), "=C2+1");

    // Part of an array cannot change; the whole of it can.
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, setArrayFormula(workbook, 0, *parseRangeName("C2:C4"), "=1"));
    setArrayFormula(workbook, 0, *parseRangeName("C1:C4"), "=TRANSPOSE(A1:B1)");
    QCOMPARE(workbook.sheets[0].arrayFormulas.size(), size_t(2));
    recalculate(workbook);
    QCOMPARE(describe(valueAt(workbook, "C1")), "1");
    QCOMPARE(describe(valueAt(workbook, "C4")), "#N/A");
    QCOMPARE(describe(valueAt(workbook, "D1")), "1");  // C2: the blank B1 shows 0
}

void TestFormula::longChainDoesNotExhaustTheStack() {
    Workbook workbook;
    Worksheet& sheet = workbook.addSheet(QStringLiteral("Chain"));
    constexpr int kLength = 60000;
    sheet.cellForWriting({0, 0}).value = 1.0;
    for (int row = 1; row < kLength; ++row) {
        Cell& cell = sheet.cellForWriting({row, 0});
        cell.formula = compileFormula(QStringLiteral("=A%1+1").arg(row));
    }
    recalculate(workbook);
    QCOMPARE(describe(sheet.cell({kLength - 1, 0})->value), QString::number(kLength));
}

void TestFormula::truncatedTokensGiveAnError() {
    const Workbook workbook = valueSheet();
    for (const char* text : {"=SUM(A1:A2)", "=(B17-B26)", "=SUM(A1,A2)", "=\"abc\"+1.5", "=-65536.5"}) {
        const Formula whole = compileFormula(QString::fromLatin1(text));
        std::set<qsizetype> boundaries;
        for (const ptg::Token& t : ptg::decodeTokens(whole.tokens).tokens)
            boundaries.insert(t.offset);
        for (qsizetype n = 1; n < whole.tokens.size(); ++n) {
            Formula cut;
            cut.tokens = whole.tokens.left(n);
            const Value result = evaluateFormula(workbook, 0, at("C1"), cut);
            // A cut between tokens may leave a shorter formula that is whole; one inside a token may not.
            if (boundaries.count(n))
                continue;
            QVERIFY2(
                std::holds_alternative<ErrorCode>(result),
                qPrintable(
                    QStringLiteral("%1 cut to %2 bytes gave %3").arg(text).arg(n).arg(describe(result))));
            QVERIFY_THROWS_EXCEPTION(SpreadsheetError, formulaText(cut));
        }
    }
    // Operators without their operands.
    for (const char* bytes : {"03", "1E 01 00 04", "15", "1E 01 00 1E 02 00", "22 02 04 00", "19 10 00 00"}) {
        Formula formula;
        formula.tokens = hex(bytes);
        QCOMPARE(describe(evaluateFormula(workbook, 0, at("C1"), formula)), "#VALUE!");
    }
}

void TestFormula::unknownTokens_data() {
    QTest::addColumn<QByteArray>("tokens");
    QTest::addColumn<QString>("shown");
    QTest::newRow("undefined code") << hex("FF") << "#NAME?";
    QTest::newRow("defined name that does not exist") << hex("43 01 00 00 00") << "#NAME?";
    QTest::newRow("3-D reference without its sheet entry") << hex("5A 00 00 00 00 00 C0") << "#REF!";
    QTest::newRow("unknown function") << hex("1E 01 00 1E 02 00 42 02 5A 00") << "#NAME?";
    QTest::newRow("unknown fixed function") << hex("1E 01 00 41 50 00") << "#NAME?";
    // Built-ins left out on purpose: CELL and INFO describe the program, not the workbook.
    QTest::newRow("CELL") << hex("1E 01 00 1E 02 00 42 02 7D 00") << "#NAME?";
    QTest::newRow("INFO") << hex("1E 01 00 41 F4 00") << "#NAME?";
    QTest::newRow("add-in function") << hex("39 00 00 01 00 00 00 1E 01 00 42 02 FF 00") << "#NAME?";
    QTest::newRow("table") << hex("02 00 00 01 00") << "#NAME?";
}

void TestFormula::unknownTokens() {
    QFETCH(QByteArray, tokens);
    QFETCH(QString, shown);
    Workbook workbook = valueSheet();
    Formula formula;
    formula.tokens = tokens;
    QCOMPARE(describe(evaluateFormula(workbook, 0, at("C1"), formula)), shown);
    // Never the result another program stored with it; a spreadsheet is told to recalculate it.
    Cell& cell = workbook.sheets[0].cellForWriting(at("C1"));
    cell.formula = formula;
    cell.value = 42.0;
    setFormula(workbook, "C2", "=C1+1");
    recalculate(workbook);
    QCOMPARE(describe(valueAt(workbook, "C1")), shown);
    QCOMPARE(describe(valueAt(workbook, "C2")), shown);
    QVERIFY(workbook.sheets[0].cell(at("C1"))->formula->alwaysCalculate);
    QVERIFY(!workbook.sheets[0].cell(at("C2"))->formula->alwaysCalculate);
}

void TestFormula::randomTokensNeverCrash() {
    const Workbook workbook = valueSheet();
    QRandomGenerator random(20240305);
    // Token codes that occur, weighted towards the ones this engine reads.
    static const quint8 codes[] = {0x03, 0x04, 0x05, 0x06, 0x12, 0x13, 0x15, 0x16, 0x17, 0x19, 0x1C, 0x1D,
                                   0x1E, 0x1F, 0x21, 0x22, 0x24, 0x25, 0x26, 0x29, 0x42, 0x44, 0x45, 0x66};
    for (int round = 0; round < 20000; ++round) {
        QByteArray bytes;
        const int length = int(random.bounded(1, 24));
        for (int i = 0; i < length; ++i) {
            const bool code = random.bounded(3) == 0;
            bytes.append(char(code ? codes[random.bounded(int(sizeof codes))] : random.bounded(256)));
        }
        Formula formula;
        formula.tokens = bytes;
        const Value result = evaluateFormula(workbook, 0, at("C3"), formula);
        QVERIFY(!std::holds_alternative<std::monostate>(result));
        try {
            formulaText(formula);
        } catch (const SpreadsheetError&) {
        }
    }
}

testing::TestClass formulaTests() {
    return testing::testClass<TestFormula>();
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return testing::runTestClasses(argc, argv,
                                   {formulaTests(), typedEntryTests(), statementTests(), calculationTests()});
}

#include "tst_spreadsheet_formula.moc"
