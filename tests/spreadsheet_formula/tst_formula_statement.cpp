// The sample statement entered into a sheet laid out like the statement template: the amounts go
// into B6:B16 and B20:B25 as texts, the three totals are the template's formulas.

#include <QtTest>

#include "spreadsheet/formula.h"
#include "spreadsheet/typed_entry.h"
#include "tst_spreadsheet_formula.h"

using namespace spreadsheet;

namespace {

const QStringList kAssets{"150.32",  "80.46",  "250.00", "800.00", "230.23", "840.88",
                          "1500.00", "122.56", "15000",  "320.00", "455.34"};
const QStringList kLiabilities{"654.45", "230.89", "178.37", "467.45", "545.57", "798.41"};

constexpr CellRef kTotalAssets{16, 1};       // B17
constexpr CellRef kTotalLiabilities{25, 1};  // B26
constexpr CellRef kNetWorth{27, 1};          // B28

// Input cells formatted as the template formats them (accounting, no decimals), holding 0, and
// the three formulas with their stored results of 0.
Workbook statementSheet() {
    Workbook workbook;
    Worksheet& sheet = workbook.addSheet(QStringLiteral("Personal Finance Statement"));
    CellFormat first = workbook.formats[15];
    first.numberFormat = 42;
    CellFormat other = workbook.formats[15];
    other.numberFormat = 41;
    const quint16 firstXf = workbook.addFormat(first);
    const quint16 otherXf = workbook.addFormat(other);
    for (int row : {5, 19}) {
        const int last = row == 5 ? 15 : 24;
        for (int r = row; r <= last; ++r) {
            Cell& cell = sheet.cellForWriting({r, 1});
            cell.value = 0.0;
            cell.xf = r == row ? firstXf : otherXf;
        }
    }
    const std::pair<CellRef, const char*> formulas[] = {
        {kTotalAssets, "=SUM(B6:B16)"}, {kTotalLiabilities, "=SUM(B20:B25)"}, {kNetWorth, "=(B17-B26)"}};
    for (const auto& [ref, text] : formulas) {
        Cell& cell = sheet.cellForWriting(ref);
        cell.formula = compileFormula(QString::fromLatin1(text));
        cell.value = 0.0;
        cell.xf = firstXf;
    }
    return workbook;
}

void enterAmounts(Workbook& workbook, const QStringList& assets, const QStringList& liabilities,
                  const QLocale& locale) {
    for (int i = 0; i < assets.size(); ++i)
        enterText(workbook, 0, {5 + i, 1}, assets[i], locale);
    for (int i = 0; i < liabilities.size(); ++i)
        enterText(workbook, 0, {19 + i, 1}, liabilities[i], locale);
}

double numberAt(const Workbook& workbook, CellRef ref) {
    const Cell* cell = workbook.sheets[0].cell(ref);
    if (!cell || !cell->isNumber())
        return std::nan("");
    return *cell->number();
}

QStringList currencyForm(const QStringList& amounts, const QLocale& locale) {
    QStringList out;
    for (const QString& a : amounts)
        out << locale.toCurrencyString(a.toDouble(), locale.currencySymbol(), 2);
    return out;
}

}  // namespace

class TestStatement : public QObject {
    Q_OBJECT

private slots:
    void totals_data();
    void totals();
    void untouchedTemplateTotalsZero();
    void textAmountAddsNothing();
    void negativeNetWorth();
};

void TestStatement::totals_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("currencyForm");
    QTest::addColumn<double>("assets");
    QTest::addColumn<double>("liabilities");
    QTest::newRow("plain texts, en_US") << "en_US" << false << 19749.79 << 2875.14;
    QTest::newRow("plain texts, en_GB") << "en_GB" << false << 19749.79 << 2875.14;
    QTest::newRow("plain texts, C") << "C" << false << 19749.79 << 2875.14;
    QTest::newRow("currency form, en_US") << "en_US" << true << 19749.79 << 2875.14;
    QTest::newRow("currency form, en_GB") << "en_GB" << true << 19749.79 << 2875.14;
    QTest::newRow("currency form, de_DE") << "de_DE" << true << 19749.79 << 2875.14;
    QTest::newRow("currency form, fr_FR") << "fr_FR" << true << 19749.79 << 2875.14;
    // The sample's point-decimal texts count under comma-decimal locales too.
    QTest::newRow("plain texts, de_DE") << "de_DE" << false << 19749.79 << 2875.14;
    QTest::newRow("plain texts, fr_FR") << "fr_FR" << false << 19749.79 << 2875.14;
}

void TestStatement::totals() {
    QFETCH(QString, locale);
    QFETCH(bool, currencyForm);
    QFETCH(double, assets);
    QFETCH(double, liabilities);
    const QLocale l(locale);
    QLocale::setDefault(l);
    Workbook workbook = statementSheet();
    const quint16 amountXf = workbook.sheets[0].cell({6, 1})->xf;
    if (currencyForm) {
        enterAmounts(workbook, ::currencyForm(kAssets, l), ::currencyForm(kLiabilities, l), l);
    } else {
        enterAmounts(workbook, kAssets, kLiabilities, l);
    }
    recalculate(workbook);
    QVERIFY(qAbs(numberAt(workbook, kTotalAssets) - assets) < 1e-9);
    QVERIFY(qAbs(numberAt(workbook, kTotalLiabilities) - liabilities) < 1e-9);
    QVERIFY(qAbs(numberAt(workbook, kNetWorth) - (assets - liabilities)) < 1e-9);
    // The input cells keep the template's accounting format whatever form the amounts had.
    QCOMPARE(workbook.sheets[0].cell({6, 1})->xf, amountXf);
}

void TestStatement::untouchedTemplateTotalsZero() {
    Workbook workbook = statementSheet();
    recalculate(workbook);
    QCOMPARE(numberAt(workbook, kTotalAssets), 0.0);
    QCOMPARE(numberAt(workbook, kNetWorth), 0.0);
    // Empty fields write empty texts: the cells are blank and add nothing.
    enterAmounts(workbook, QStringList(11, QString()), QStringList(6, QString()), QLocale::c());
    recalculate(workbook);
    QCOMPARE(numberAt(workbook, kTotalAssets), 0.0);
    QCOMPARE(describe(workbook.sheets[0].cell({5, 1})->value), "(blank)");
}

void TestStatement::textAmountAddsNothing() {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    Workbook workbook = statementSheet();
    QStringList assets = kAssets;
    assets[0] = QStringLiteral("about 150");
    enterAmounts(workbook, assets, kLiabilities, us);
    recalculate(workbook);
    QVERIFY(qAbs(numberAt(workbook, kTotalAssets) - (19749.79 - 150.32)) < 1e-9);
}

void TestStatement::negativeNetWorth() {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    Workbook workbook = statementSheet();
    enterAmounts(workbook, {"$100.00"}, {"$250.50", "($0.50)"}, us);
    recalculate(workbook);
    QCOMPARE(numberAt(workbook, kTotalLiabilities), 250.0);
    QCOMPARE(numberAt(workbook, kNetWorth), -150.0);
}

testing::TestClass statementTests() {
    return testing::testClass<TestStatement>();
}

#include "tst_formula_statement.moc"
