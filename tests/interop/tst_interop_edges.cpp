// Statements at the edges: amounts that are not numbers, a negative net worth, nothing filled in.

#include <QJsonArray>
#include <QTest>

#include "external_readers.h"
#include "statement_fill.h"
#include "tst_interop.h"

using namespace interop;

namespace {

constexpr int kText = 1;
constexpr int kNumber = 2;
constexpr int kBlank = 6;  // a cell with formatting and no value

// gnumeric's own total of a row of the statement, read from its recalculated CSV export.
double gnumericFigure(const QString& workbook, const QString& csv, int row) {
    const ProcessResult r = ssconvert({QStringLiteral("--recalc"), workbook, csv});
    if (r.exitCode != 0 || !complaints(r.err).isEmpty())
        return qQNaN();
    const QList<QStringList> rows = csvRows(csv);
    bool ok = false;
    const double value = rows.size() > row && rows[row].size() > 1 ? rows[row][1].toDouble(&ok) : 0.0;
    return ok ? value : qQNaN();
}

}  // namespace

void TestInterop::amountsThatAreNotNumbers_data() {
    QTest::addColumn<QString>("amount");
    QTest::addColumn<int>("type");
    QTest::newRow("word") << QStringLiteral("abc") << kText;
    QTest::newRow("empty") << QString() << kBlank;
    QTest::newRow("number then word") << QStringLiteral("12 apples") << kText;
    QTest::newRow("two decimal points") << QStringLiteral("1.2.3") << kText;
    QTest::newRow("currency sign alone") << QStringLiteral("$") << kText;
    QTest::newRow("double minus") << QStringLiteral("--5") << kText;
}

void TestInterop::amountsThatAreNotNumbers() {
    QFETCH(QString, amount);
    QFETCH(int, type);
    auto statement = sampleStatement(AmountForm::Plain, QLocale());
    statement.assetAmounts[0] = amount;
    const QString saved = scratch(QStringLiteral("not-a-number.xls"));
    QCOMPARE(fillStatement(template_, statement, saved), QString());

    const QJsonObject view = xlrdView(saved);
    QVERIFY(!view.isEmpty());
    const QJsonObject sheet = sheetOf(view);
    const QJsonObject cell = cellOf(sheet, "B6");
    QCOMPARE(cell["type"].toInt(), type);
    QCOMPARE(cell["value"].toString(), amount);
    // The cell keeps its look: an amount typed there later still shows in the accounting format.
    QCOMPARE(xfOf(view, cell)["format"].toInt(), 42);
    QCOMPARE(borderOf(xfOf(view, cell), "top")[0].toInt(), 7);

    // The line adds nothing to its total, here and in gnumeric's own calculation.
    const double assets = 19749.79 - 150.32;
    QCOMPARE(cellOf(sheet, "B17")["value"].toDouble(), assets);
    QCOMPARE(cellOf(sheet, "B28")["value"].toDouble(), assets - 2875.14);
    QCOMPARE(gnumericFigure(saved, scratch(QStringLiteral("not-a-number.csv")), 16), assets);
}

void TestInterop::liabilitiesAboveAssetsGiveNegativeNetWorth_data() {
    statementForms();
}

void TestInterop::liabilitiesAboveAssetsGiveNegativeNetWorth() {
    QFETCH(QLocale, locale);
    QFETCH(AmountForm, form);
    QLocale::setDefault(locale);
    const auto shown = [&](const QString& plain) {
        return form == AmountForm::Plain ? plain : currencyText(plain, locale);
    };
    auto statement = sampleStatement(form, locale);
    statement.assetAmounts.fill(shown(QStringLiteral("100.10")));
    statement.assetAmounts[3] = shown(QStringLiteral("-5"));  // "($5.00)" in en_US, "-5,00 €" in de_DE
    statement.liabilityAmounts.fill(shown(QStringLiteral("800.25")));
    const QString saved = scratch(QStringLiteral("negative.xls"));
    QCOMPARE(fillStatement(template_, statement, saved), QString());

    const QJsonObject view = xlrdView(saved);
    QVERIFY(!view.isEmpty());
    const QJsonObject sheet = sheetOf(view);
    QCOMPARE(cellOf(sheet, "B9")["type"].toInt(), kNumber);
    QCOMPARE(cellOf(sheet, "B9")["value"].toDouble(), -5.0);
    QCOMPARE(cellOf(sheet, "B17")["value"].toDouble(), 996.0);
    QCOMPARE(cellOf(sheet, "B26")["value"].toDouble(), 4801.5);
    QCOMPARE(cellOf(sheet, "B28")["type"].toInt(), kNumber);
    QCOMPARE(cellOf(sheet, "B28")["value"].toDouble(), -3805.5);
    QCOMPARE(gnumericFigure(saved, scratch(QStringLiteral("negative.csv")), 27), -3805.5);
}

void TestInterop::emptyStatementStillWritesEveryCell() {
    shell::StatementRecord statement;
    statement.date = kStatementDate;
    const QString saved = scratch(QStringLiteral("empty.xls"));
    QCOMPARE(fillStatement(template_, statement, saved), QString());

    const QJsonObject view = xlrdView(saved);
    QVERIFY(!view.isEmpty());
    const QJsonObject sheet = sheetOf(view);
    // Nothing of the template's placeholders, labels or zero amounts is left; every input cell is
    // there, empty, in its template style.
    QStringList inputs{QStringLiteral("A2")};
    for (int row = 6; row <= 16; ++row)
        inputs << QStringLiteral("A%1").arg(row) << QStringLiteral("B%1").arg(row);
    for (int row = 20; row <= 25; ++row)
        inputs << QStringLiteral("A%1").arg(row) << QStringLiteral("B%1").arg(row);
    for (const QString& name : inputs) {
        const QJsonObject cell = cellOf(sheet, name);
        QVERIFY2(cell["type"].toInt() == kBlank, qPrintable(name));
        QVERIFY2(borderOf(xfOf(view, cell), "left")[0].toInt() == 7 || name == QStringLiteral("A2"),
                 qPrintable(name));
    }
    QCOMPARE(xfOf(view, cellOf(sheet, "B6"))["format"].toInt(), 42);
    QCOMPARE(xfOf(view, cellOf(sheet, "A6"))["wrap"].toInt(), 1);
    QCOMPARE(cellOf(sheet, "A3")["date"].toArray(), (QJsonArray{2021, 3, 5}));
    for (const char* total : {"B17", "B26", "B28"}) {
        QCOMPARE(cellOf(sheet, total)["type"].toInt(), kNumber);
        QCOMPARE(cellOf(sheet, total)["value"].toDouble(), 0.0);
    }
    QCOMPARE(cellOf(sheet, "A17")["value"].toString(), QStringLiteral("Total Assets"));
    QCOMPARE(sheet["nrows"].toInt(), 36);
}

void TestInterop::unusualTextsKeptAsTyped_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("formula-like") << QStringLiteral("=SUM(B6:B16)*100");
    QTest::newRow("outside the basic plane") << QStringLiteral("Zoë Ñúñez – 日本 🏠 €");
    QTest::newRow("leading and trailing spaces") << QStringLiteral("  two spaces  ");
    // Longer than one record: the string table runs over into CONTINUE records mid-string.
    QTest::newRow("long, wide characters") << QString(6000, QChar(0x0436)) + QStringLiteral("end");
    QTest::newRow("long, narrow characters") << QString(9000, QLatin1Char('x')) + QStringLiteral("end");
}

void TestInterop::unusualTextsKeptAsTyped() {
    QFETCH(QString, text);
    auto statement = sampleStatement(AmountForm::Plain, QLocale());
    statement.name = text;
    statement.assetDescriptions[0] = text + QStringLiteral("!");
    statement.liabilityDescriptions[5] = text;  // the same text again shares its table entry
    const QString saved = scratch(QStringLiteral("texts.xls"));
    QCOMPARE(fillStatement(template_, statement, saved), QString());

    const QJsonObject view = xlrdView(saved);
    QVERIFY(!view.isEmpty());
    const QJsonObject sheet = sheetOf(view);
    for (const auto& [cell, expected] :
         {std::pair{"A2", text}, std::pair{"A6", text + QStringLiteral("!")}, std::pair{"A25", text}}) {
        QCOMPARE(cellOf(sheet, cell)["type"].toInt(), kText);
        QCOMPARE(cellOf(sheet, cell)["value"].toString(), expected);
    }
    // The texts around them are unharmed.
    QCOMPARE(cellOf(sheet, "A7")["value"].toString(), kAssetDescriptions[1]);
    QCOMPARE(cellOf(sheet, "A34")["value"].toString(), QStringLiteral("Signature:"));
    QCOMPARE(cellOf(sheet, "B17")["value"].toDouble(), 19749.79);
}
