#include <QtTest>

#include "spreadsheet/error.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/typed_entry.h"
#include "tst_spreadsheet_formula.h"

using namespace spreadsheet;

namespace {

const CellRef kCell{5, 1};  // B6

// The number format of a cell as a test names it: "General", the code of a format the workbook
// defines, or "#id" for another built-in format.
QString formatOf(const Workbook& workbook, const Cell& cell) {
    const quint16 id = workbook.formatOf(cell).numberFormat;
    if (id == 0)
        return QStringLiteral("General");
    if (auto it = workbook.numberFormats.find(id); it != workbook.numberFormats.end())
        return it->second;
    return QStringLiteral("#%1").arg(id);
}

const QString kDollars2 = QStringLiteral("\"$\"#,##0.00_);\\(\"$\"#,##0.00\\)");
const QString kDollars0 = QStringLiteral("\"$\"#,##0_);\\(\"$\"#,##0\\)");
const QString kPounds2 = QStringLiteral("\"£\"#,##0.00_);\\(\"£\"#,##0.00\\)");
const QString kEuroDe2 = QStringLiteral("#,##0.00\\ \"€\";\\-#,##0.00\\ \"€\"");
const QString kEuroFr2 = QStringLiteral("#,##0.00\\ \"€\"_);\\(#,##0.00\\ \"€\"\\)");

}  // namespace

class TestTypedEntry : public QObject {
    Q_OBJECT

private slots:
    void readsLikeASpreadsheet_data();
    void readsLikeASpreadsheet();
    void dollarTextUsesBuiltInCurrencyFormat();
    void formattedCellKeepsItsFormat();
    void emptyTextClearsButKeepsFormat();
    void textReplacesFormula();
    void badTargetsThrow();
    void dates_data();
    void dates();
    void dateCells();
    void datesOutsideTheSystem();
};

void TestTypedEntry::readsLikeASpreadsheet_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("format");
    const QString nbsp(QChar(0x00A0));
    const QString nnbsp(QChar(0x202F));

    QTest::newRow("us plain") << "en_US"
                              << "150.32"
                              << "150.32"
                              << "General";
    QTest::newRow("us whole") << "en_US"
                              << "15000"
                              << "15000"
                              << "General";
    QTest::newRow("us currency") << "en_US"
                                 << "$1,500.00"
                                 << "1500" << kDollars2;
    QTest::newRow("us negative currency") << "en_US"
                                          << "($5.00)"
                                          << "-5" << kDollars2;
    QTest::newRow("us minus currency") << "en_US"
                                       << "-$5.00"
                                       << "-5" << kDollars2;
    QTest::newRow("us currency minus") << "en_US"
                                       << "$-5.00"
                                       << "-5" << kDollars2;
    QTest::newRow("us currency no cents") << "en_US"
                                          << "$5"
                                          << "5" << kDollars0;
    QTest::newRow("us currency after") << "en_US"
                                       << "5 $"
                                       << "5" << kDollars0;
    QTest::newRow("us parentheses") << "en_US"
                                    << "(5)"
                                    << "-5"
                                    << "General";
    QTest::newRow("us trailing minus") << "en_US"
                                       << "5-"
                                       << "-5"
                                       << "General";
    QTest::newRow("us plus") << "en_US"
                             << "+7"
                             << "7"
                             << "General";
    QTest::newRow("us grouped") << "en_US"
                                << "1,234,567"
                                << "1234567"
                                << "#3";
    QTest::newRow("us grouped cents") << "en_US"
                                      << "1,500.5"
                                      << "1500.5"
                                      << "#4";
    QTest::newRow("us percent") << "en_US"
                                << "10%"
                                << "0.1"
                                << "#9";
    QTest::newRow("us percent decimals") << "en_US"
                                         << "12.5%"
                                         << "0.125"
                                         << "#10";
    QTest::newRow("us exponent") << "en_US"
                                 << "1.5E3"
                                 << "1500"
                                 << "#11";
    QTest::newRow("us leading point") << "en_US"
                                      << ".5"
                                      << "0.5"
                                      << "General";
    QTest::newRow("us spaces trimmed") << "en_US"
                                       << "  42 "
                                       << "42"
                                       << "General";
    QTest::newRow("us bad grouping") << "en_US"
                                     << "1,5,0"
                                     << "\"1,5,0\""
                                     << "General";
    QTest::newRow("us short group") << "en_US"
                                    << "1,50"
                                    << "\"1,50\""
                                    << "General";
    QTest::newRow("us two points") << "en_US"
                                   << "1.2.3"
                                   << "\"1.2.3\""
                                   << "General";
    QTest::newRow("us foreign symbol") << "en_US"
                                       << "€5"
                                       << "\"€5\""
                                       << "General";
    QTest::newRow("us german form") << "en_US"
                                    << "1.500,00 €"
                                    << "\"1.500,00 €\""
                                    << "General";
    QTest::newRow("us sign and parentheses") << "en_US"
                                             << "(-5)"
                                             << "\"(-5)\""
                                             << "General";
    QTest::newRow("us open parenthesis") << "en_US"
                                         << "(5"
                                         << "\"(5\""
                                         << "General";
    QTest::newRow("us two signs") << "en_US"
                                  << "--5"
                                  << "\"--5\""
                                  << "General";
    QTest::newRow("us currency percent") << "en_US"
                                         << "$5%"
                                         << "\"$5%\""
                                         << "General";
    QTest::newRow("us apostrophe") << "en_US"
                                   << "'15000"
                                   << "\"15000\""
                                   << "General";
    QTest::newRow("us formula text") << "en_US"
                                     << "=1+2"
                                     << "\"=1+2\""
                                     << "General";
    QTest::newRow("us words kept as typed") << "en_US"
                                            << " abc "
                                            << "\" abc \""
                                            << "General";
    QTest::newRow("us symbol only") << "en_US"
                                    << "$"
                                    << "\"$\""
                                    << "General";

    QTest::newRow("gb currency") << "en_GB"
                                 << "£1,500.00"
                                 << "1500" << kPounds2;
    QTest::newRow("gb negative") << "en_GB"
                                 << "(£5.00)"
                                 << "-5" << kPounds2;
    QTest::newRow("gb plain") << "en_GB"
                              << "150.32"
                              << "150.32"
                              << "General";
    QTest::newRow("gb dollar") << "en_GB"
                               << "$5"
                               << "\"$5\""
                               << "General";

    QTest::newRow("de currency") << "de_DE"
                                 << "1.500,00" + nbsp + "€"
                                 << "1500" << kEuroDe2;
    QTest::newRow("de currency space") << "de_DE"
                                       << "1.500,00 €"
                                       << "1500" << kEuroDe2;
    QTest::newRow("de negative") << "de_DE"
                                 << "-5,00" + nbsp + "€"
                                 << "-5" << kEuroDe2;
    QTest::newRow("de decimal comma") << "de_DE"
                                      << "150,32"
                                      << "150.32"
                                      << "General";
    // The point cannot group "150.32" (groups have three digits), so it is the decimal separator.
    QTest::newRow("de point decimal") << "de_DE"
                                      << "150.32"
                                      << "150.32"
                                      << "General";
    QTest::newRow("de point decimal, negative") << "de_DE"
                                                << "-5.5"
                                                << "-5.5"
                                                << "General";
    QTest::newRow("de point decimal with comma") << "de_DE"
                                                 << "1,500.25"
                                                 << "\"1,500.25\""
                                                 << "General";
    QTest::newRow("de grouped") << "de_DE"
                                << "1.500"
                                << "1500"
                                << "#3";
    QTest::newRow("de whole") << "de_DE"
                              << "15000"
                              << "15000"
                              << "General";
    QTest::newRow("de percent") << "de_DE"
                                << "5" + nbsp + "%"
                                << "0.05"
                                << "#9";

    QTest::newRow("fr currency") << "fr_FR"
                                 << "1" + nnbsp + "500,00" + nbsp + "€"
                                 << "1500" << kEuroFr2;
    QTest::newRow("fr negative") << "fr_FR"
                                 << "(5,00" + nbsp + "€)"
                                 << "-5" << kEuroFr2;
    QTest::newRow("fr plain space group") << "fr_FR"
                                          << "1 500,25"
                                          << "1500.25"
                                          << "#4";
    QTest::newRow("fr nbsp group") << "fr_FR"
                                   << "12" + nbsp + "345"
                                   << "12345"
                                   << "#3";
    QTest::newRow("fr point") << "fr_FR"
                              << "150.32"
                              << "150.32"
                              << "General";

    QTest::newRow("C plain") << "C"
                             << "150.32"
                             << "150.32"
                             << "General";
    QTest::newRow("C grouped") << "C"
                               << "1,500.00"
                               << "1500"
                               << "#4";
    QTest::newRow("C dollar") << "C"
                              << "$5"
                              << "\"$5\""
                              << "General";
    QTest::newRow("C negative") << "C"
                                << "-5.00"
                                << "-5"
                                << "General";

    QTest::newRow("lakh grouping") << "hi_IN"
                                   << "12,34,567"
                                   << "1234567"
                                   << "#3";
    QTest::newRow("lakh bad grouping") << "hi_IN"
                                       << "1,234,567"
                                       << "\"1,234,567\""
                                       << "General";
}

void TestTypedEntry::readsLikeASpreadsheet() {
    QFETCH(QString, locale);
    QFETCH(QString, input);
    QFETCH(QString, value);
    QFETCH(QString, format);
    Workbook workbook;
    workbook.addSheet(QStringLiteral("Sheet1"));
    enterText(workbook, 0, kCell, input, QLocale(locale));
    const Cell* cell = workbook.sheets[0].cell(kCell);
    QVERIFY(cell);
    QCOMPARE(describe(cell->value), value);
    QCOMPARE(formatOf(workbook, *cell), format);
}

void TestTypedEntry::dollarTextUsesBuiltInCurrencyFormat() {
    Workbook workbook;
    workbook.addSheet(QStringLiteral("Sheet1"));
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    enterText(workbook, 0, {0, 0}, QStringLiteral("$1,500.00"), us);
    enterText(workbook, 0, {1, 0}, QStringLiteral("$2"), us);
    enterText(workbook, 0, {2, 0}, QStringLiteral("($3.25)"), us);
    const Worksheet& sheet = workbook.sheets[0];
    QCOMPARE(workbook.formatOf(*sheet.cell({0, 0})).numberFormat, 7);
    QCOMPARE(workbook.formatOf(*sheet.cell({1, 0})).numberFormat, 5);
    // Equal formats share one XF.
    QCOMPARE(sheet.cell({2, 0})->xf, sheet.cell({0, 0})->xf);
    QVERIFY(workbook.formats[sheet.cell({0, 0})->xf].usedAttributes & 0x01);

    const QLocale german(QLocale::German, QLocale::Germany);
    const size_t before = workbook.numberFormats.size();
    enterText(workbook, 0, {3, 0}, german.toCurrencyString(12.5), german);
    enterText(workbook, 0, {4, 0}, german.toCurrencyString(-7.0), german);
    QCOMPARE(workbook.numberFormats.size(), before + 1);
    QVERIFY(workbook.formatOf(*sheet.cell({3, 0})).numberFormat >= 164);
    QCOMPARE(describe(sheet.cell({4, 0})->value), "-7");
}

void TestTypedEntry::formattedCellKeepsItsFormat() {
    Workbook workbook;
    Worksheet& sheet = workbook.addSheet(QStringLiteral("Sheet1"));
    CellFormat accounting = workbook.formats[15];
    accounting.numberFormat = 42;
    const quint16 xf = workbook.addFormat(accounting);
    sheet.cellForWriting(kCell).xf = xf;
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    for (const char* text : {"$1,500.00", "10%", "1,500", "abc", "150.32"}) {
        enterText(workbook, 0, kCell, QString::fromLatin1(text), us);
        QCOMPARE(sheet.cell(kCell)->xf, xf);
    }
    QCOMPARE(describe(sheet.cell(kCell)->value), "150.32");

    // A text-formatted cell takes numbers as text.
    CellFormat text = workbook.formats[15];
    text.numberFormat = 49;
    sheet.cellForWriting(kCell).xf = workbook.addFormat(text);
    enterText(workbook, 0, kCell, QStringLiteral("$1,500.00"), us);
    QCOMPARE(describe(sheet.cell(kCell)->value), "\"$1,500.00\"");
}

void TestTypedEntry::emptyTextClearsButKeepsFormat() {
    Workbook workbook;
    Worksheet& sheet = workbook.addSheet(QStringLiteral("Sheet1"));
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    enterText(workbook, 0, kCell, QStringLiteral("50%"), us);
    const quint16 xf = sheet.cell(kCell)->xf;
    enterText(workbook, 0, kCell, QString(), us);
    QVERIFY(sheet.cell(kCell));
    QCOMPARE(describe(sheet.cell(kCell)->value), "(blank)");
    QCOMPARE(sheet.cell(kCell)->xf, xf);
    // Clearing a cell the sheet does not hold makes none.
    enterText(workbook, 0, {40, 3}, QString(), us);
    QVERIFY(!sheet.cell({40, 3}));
}

void TestTypedEntry::textReplacesFormula() {
    Workbook workbook;
    Worksheet& sheet = workbook.addSheet(QStringLiteral("Sheet1"));
    Cell& cell = sheet.cellForWriting(kCell);
    cell.formula = compileFormula(QStringLiteral("=1+1"));
    cell.value = 2.0;
    enterText(workbook, 0, kCell, QStringLiteral("7"), QLocale::c());
    QVERIFY(!sheet.cell(kCell)->formula);
    QCOMPARE(describe(sheet.cell(kCell)->value), "7");
    // Setting a cell does not recalculate by itself.
    Cell& dependent = sheet.cellForWriting({0, 0});
    dependent.formula = compileFormula(QStringLiteral("=B6*2"));
    dependent.value = 0.0;
    enterText(workbook, 0, kCell, QStringLiteral("8"), QLocale::c());
    QCOMPARE(describe(sheet.cell({0, 0})->value), "0");
    recalculate(workbook);
    QCOMPARE(describe(sheet.cell({0, 0})->value), "16");
}

void TestTypedEntry::badTargetsThrow() {
    Workbook workbook;
    workbook.addSheet(QStringLiteral("Sheet1"));
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, enterText(workbook, 1, kCell, "1", QLocale::c()));
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, enterText(workbook, 0, {70000, 0}, "1", QLocale::c()));
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, enterDate(workbook, -1, kCell, QDate(2021, 3, 5)));
}

void TestTypedEntry::dates_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<bool>("date1904");
    QTest::addColumn<double>("serial");
    QTest::newRow("2021-03-05") << QDate(2021, 3, 5) << false << 44260.0;
    QTest::newRow("first day") << QDate(1900, 1, 1) << false << 1.0;
    QTest::newRow("before the leap day") << QDate(1900, 2, 28) << false << 59.0;
    QTest::newRow("after the leap day") << QDate(1900, 3, 1) << false << 61.0;
    QTest::newRow("1950") << QDate(1950, 1, 1) << false << 18264.0;
    QTest::newRow("2024 leap day") << QDate(2024, 2, 29) << false << 45351.0;
    QTest::newRow("last day") << QDate(9999, 12, 31) << false << 2958465.0;
    QTest::newRow("1904 first day") << QDate(1904, 1, 1) << true << 0.0;
    QTest::newRow("1904 2021-03-05") << QDate(2021, 3, 5) << true << 42798.0;
}

void TestTypedEntry::dates() {
    QFETCH(QDate, date);
    QFETCH(bool, date1904);
    QFETCH(double, serial);
    QCOMPARE(dateSerial(date, date1904), serial);
    QCOMPARE(dateFromSerial(serial, date1904), date);
    QCOMPARE(dateFromSerial(serial + 0.75, date1904), date);  // the time of day is not part of the date
}

void TestTypedEntry::dateCells() {
    Workbook workbook;
    Worksheet& sheet = workbook.addSheet(QStringLiteral("Sheet1"));
    enterDate(workbook, 0, {2, 0}, QDate(2021, 3, 5));
    QCOMPARE(describe(sheet.cell({2, 0})->value), "44260");
    QCOMPARE(workbook.formatOf(*sheet.cell({2, 0})).numberFormat, 14);

    CellFormat longDate = workbook.formats[15];
    longDate.numberFormat = workbook.addNumberFormat(QStringLiteral("dd-mmm-yyyy"));
    sheet.cellForWriting({3, 0}).xf = workbook.addFormat(longDate);
    enterDate(workbook, 0, {3, 0}, QDate(2024, 3, 5));
    QCOMPARE(workbook.formatOf(*sheet.cell({3, 0})).numberFormat, longDate.numberFormat);

    workbook.date1904 = true;
    enterDate(workbook, 0, {4, 0}, QDate(2021, 3, 5));
    QCOMPARE(describe(sheet.cell({4, 0})->value), "42798");
}

void TestTypedEntry::datesOutsideTheSystem() {
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, dateSerial(QDate(1899, 12, 31), false));
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, dateSerial(QDate(1903, 12, 31), true));
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, dateSerial(QDate(10000, 1, 1), false));
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, dateSerial(QDate(), false));
    QVERIFY(!dateFromSerial(60, false).isValid());  // 29 February 1900, which the 1900 system counts
    QVERIFY(!dateFromSerial(0, false).isValid());
    QVERIFY(!dateFromSerial(-1, true).isValid());
    QVERIFY(!dateFromSerial(1e300, false).isValid());
    QVERIFY(!dateFromSerial(std::nan(""), false).isValid());
}

testing::TestClass typedEntryTests() {
    return testing::testClass<TestTypedEntry>();
}

#include "tst_typed_entry.moc"
