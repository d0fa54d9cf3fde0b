#include "tst_interop.h"

#include <QDir>
#include <QJsonArray>
#include <QLocale>
#include <QTest>

#include "external_readers.h"
#include "statement_fill.h"
#include "tests/common/oracles.h"

using namespace interop;

namespace {

const QLocale kUnitedStates(QLocale::English, QLocale::UnitedStates);
const QLocale kGermany(QLocale::German, QLocale::Germany);

QJsonArray line(int style, int colour) {
    return QJsonArray{style, colour};
}

// xlrd's cell types.
constexpr int kText = 1;
constexpr int kNumber = 2;
constexpr int kDate = 3;

// xlrd's alignment codes and line styles; 23 is the template's grey, 64 the automatic colour.
constexpr int kLeft = 1;
constexpr int kTop = 0;
constexpr int kBottom = 2;
constexpr int kThin = 1;
constexpr int kDouble = 6;
constexpr int kHair = 7;
constexpr int kGrey = 23;
constexpr int kAutomatic = 64;

}  // namespace

void TestInterop::initTestCase() {
    QB_REQUIRE_TOOLS(missingTools());
}

void TestInterop::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    template_ = writeEmbeddedTemplate(dir_->path());
    QVERIFY(!template_.isEmpty());
    QLocale::setDefault(kUnitedStates);
}

void TestInterop::cleanup() {
    QLocale::setDefault(kUnitedStates);
    dir_.reset();
}

QString TestInterop::scratch(const QString& name) const {
    return QDir(dir_->path()).filePath(name);
}

void TestInterop::statementForms() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<AmountForm>("form");
    QTest::newRow("plain texts, en_US") << kUnitedStates << AmountForm::Plain;
    QTest::newRow("currency, en_US") << kUnitedStates << AmountForm::Currency;
    QTest::newRow("currency, de_DE") << kGermany << AmountForm::Currency;
}

void TestInterop::statementSeenByXlrd_data() {
    statementForms();
}

void TestInterop::statementSeenByXlrd() {
    QFETCH(QLocale, locale);
    QFETCH(AmountForm, form);
    QLocale::setDefault(locale);
    const auto statement = sampleStatement(form, locale);
    if (form == AmountForm::Currency) {
        // The forms the main window shows, so that the test fails loudly if Qt's locale data differ.
        QCOMPARE(statement.assetAmounts[8],
                 locale == kGermany ? QStringLiteral("15.000,00\u00A0€") : QStringLiteral("$15,000.00"));
    }
    const QString saved = scratch(QStringLiteral("vornik12345678.xls"));
    QCOMPARE(fillStatement(template_, statement, saved), QString());

    const QJsonObject view = xlrdView(saved);
    QVERIFY(!view.isEmpty());
    QCOMPARE(view["sheets"].toArray(), QJsonArray{QStringLiteral("Personal Finance Statement")});
    QCOMPARE(view["datemode"].toInt(), 0);
    QCOMPARE(view["template_marker"].toBool(), false);  // saved as a workbook, not as a template
    const QJsonObject sheet = sheetOf(view);
    QCOMPARE(sheet["nrows"].toInt(), 36);
    QCOMPARE(sheet["ncols"].toInt(), 2);

    // The texts, with the template's styles kept.
    const QJsonObject title = cellOf(sheet, "A1");
    QCOMPARE(title["value"].toString(), QStringLiteral("PERSONAL FINANCIAL STATEMENT"));
    QCOMPARE(fontOf(view, title)["name"].toString(), QStringLiteral("Verdana"));
    QCOMPARE(fontOf(view, title)["height"].toInt(), 280);
    QCOMPARE(sheet["merged"].toArray(), (QJsonArray{QJsonArray{0, 1, 0, 2}}));
    const QJsonObject name = cellOf(sheet, "A2");
    QCOMPARE(name["type"].toInt(), kText);
    QCOMPARE(name["value"].toString(), QStringLiteral("John Doe"));
    QCOMPARE(fontOf(view, name)["height"].toInt(), 160);
    QCOMPARE(xfOf(view, name)["halign"].toInt(), kLeft);
    QCOMPARE(xfOf(view, name)["valign"].toInt(), kBottom);
    for (int i = 0; i < 11; ++i) {
        const QJsonObject label = cellOf(sheet, QStringLiteral("A%1").arg(6 + i));
        QCOMPARE(label["type"].toInt(), kText);
        QCOMPARE(label["value"].toString(), kAssetDescriptions[i]);
    }
    for (int i = 0; i < 6; ++i)
        QCOMPARE(cellOf(sheet, QStringLiteral("A%1").arg(20 + i))["value"].toString(),
                 kLiabilityDescriptions[i]);
    const QJsonObject label = cellOf(sheet, "A9");
    QCOMPARE(fontOf(view, label)["name"].toString(), QStringLiteral("Verdana"));
    QCOMPARE(xfOf(view, label)["wrap"].toInt(), 1);
    for (const char* side : {"left", "right", "top", "bottom"})
        QCOMPARE(borderOf(xfOf(view, label), side), line(kHair, kGrey));

    // The date is a date serial with a date format, in the date line's font and alignment.
    const QJsonObject date = cellOf(sheet, "A3");
    QCOMPARE(date["type"].toInt(), kDate);
    QCOMPARE(date["value"].toDouble(), 44260.0);
    QCOMPARE(date["is_date"].toBool(), true);
    QCOMPARE(date["date"].toArray(), (QJsonArray{2021, 3, 5}));
    QCOMPARE(fontOf(view, date)["height"].toInt(), 160);
    QCOMPARE(xfOf(view, date)["halign"].toInt(), kLeft);
    QCOMPARE(xfOf(view, date)["valign"].toInt(), kTop);

    // Amounts are numbers in the template's accounting formats, whatever form they were typed in.
    for (int i = 0; i < 11; ++i) {
        const QJsonObject amount = cellOf(sheet, QStringLiteral("B%1").arg(6 + i));
        QCOMPARE(amount["type"].toInt(), kNumber);
        QCOMPARE(amount["value"].toDouble(), QLocale::c().toDouble(kSampleAssets[i]));
        QCOMPARE(xfOf(view, amount)["format"].toInt(), i == 0 ? 42 : 41);
        QCOMPARE(fontOf(view, amount)["height"].toInt(), 160);
        QCOMPARE(borderOf(xfOf(view, amount), "left"), line(kHair, kGrey));
    }
    QCOMPARE(borderOf(xfOf(view, cellOf(sheet, "B16")), "bottom")[0].toInt(), 0);
    for (int i = 0; i < 6; ++i) {
        const QJsonObject amount = cellOf(sheet, QStringLiteral("B%1").arg(20 + i));
        QCOMPARE(amount["type"].toInt(), kNumber);
        QCOMPARE(amount["value"].toDouble(), QLocale::c().toDouble(kSampleLiabilities[i]));
        QCOMPARE(xfOf(view, amount)["format"].toInt(), i == 0 ? 42 : 41);
    }

    // The formulas' cached results, in the totals' style.
    const std::pair<const char*, double> totals[] = {{"B17", 19749.79}, {"B26", 2875.14}, {"B28", 16874.65}};
    for (const auto& [cell, value] : totals) {
        const QJsonObject total = cellOf(sheet, cell);
        QCOMPARE(total["type"].toInt(), kNumber);
        QCOMPARE(total["value"].toDouble(), value);
        const QJsonObject xf = xfOf(view, total);
        QCOMPARE(xf["format"].toInt(), 42);
        QCOMPARE(fontOf(view, total)["bold"].toInt(), 1);
        QCOMPARE(borderOf(xf, "top"), line(kDouble, kGrey));
        QCOMPARE(borderOf(xf, "bottom"), line(kThin, kAutomatic));
        QCOMPARE(xf["fill"].toArray(), (QJsonArray{1, 8}));
    }
    QCOMPARE(fontOf(view, cellOf(sheet, "A17"))["bold"].toInt(), 1);
    for (const char* plainTen : {"A36", "B2"}) {
        QCOMPARE(fontOf(view, cellOf(sheet, plainTen))["name"].toString(), QStringLiteral("Verdana"));
        QCOMPARE(fontOf(view, cellOf(sheet, plainTen))["height"].toInt(), 200);
    }
    const QJsonObject formats = view["formats"].toObject();
    QCOMPARE(formats["41"].toString(), QStringLiteral("_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)"));
    QCOMPARE(formats["42"].toString(),
             QStringLiteral("_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)"));

    // Layout.
    const QJsonObject widths = sheet["colwidths"].toObject();
    QCOMPARE(widths["0"].toArray()[0].toInt(), 10496);
    QCOMPARE(widths["1"].toArray()[0].toInt(), 4973);
    QCOMPARE(widths["2"].toArray()[0].toInt(), 2340);
    const QJsonObject heights = sheet["rowheights"].toObject();
    const std::pair<const char*, int> rowHeights[] = {{"0", 390},  {"1", 240},  {"3", 255}, {"5", 282},
                                                      {"24", 282}, {"33", 559}, {"35", 255}};
    for (const auto& [row, twips] : rowHeights)
        QCOMPARE(heights[row].toArray()[0].toInt(), twips);

    // B6 is the selection and the active cell.
    QCOMPARE(sheet["selected"].toInt(), 1);
    const QJsonArray selection = sheet["selection"].toArray();
    QCOMPARE(selection.size(), 1);
    QCOMPARE(selection[0]["row"].toInt(), 5);
    QCOMPARE(selection[0]["col"].toInt(), 1);
    QCOMPARE(selection[0]["refs"].toArray(), (QJsonArray{QJsonArray{5, 5, 1, 1}}));
}

void TestInterop::statementRecalculatedByGnumeric_data() {
    statementForms();
}

void TestInterop::statementRecalculatedByGnumeric() {
    QFETCH(QLocale, locale);
    QFETCH(AmountForm, form);
    QLocale::setDefault(locale);
    const QString saved = scratch(QStringLiteral("vornik87654321.xls"));
    QCOMPARE(fillStatement(template_, sampleStatement(form, locale), saved), QString());

    const QString csv = scratch(QStringLiteral("statement.csv"));
    const ProcessResult r = ssconvert({QStringLiteral("--recalc"), saved, csv});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(complaints(r.err), QStringList());
    const QList<QStringList> rows = csvRows(csv);
    QCOMPARE(rows.size(), 36);
    QCOMPARE(rows[1], (QStringList{QStringLiteral("John Doe"), QString()}));
    QCOMPARE(QDate::fromString(rows[2][0], QStringLiteral("yyyy/MM/dd")), kStatementDate);
    QCOMPARE(rows[5][1].toDouble(), 150.32);
    QCOMPARE(rows[13][1].toDouble(), 15000.0);
    // gnumeric computes the totals itself from the amounts it read.
    const std::pair<int, double> totals[] = {{16, 19749.79}, {25, 2875.14}, {27, 16874.65}};
    for (const auto& [row, value] : totals) {
        bool number = false;
        QCOMPARE(rows[row][1].toDouble(&number), value);
        QVERIFY(number);
    }
    QCOMPARE(rows[27][0], QStringLiteral("Net Worth"));

    const QJsonArray sheets = gnumericSheets(saved, dir_->path());
    QCOMPARE(sheets.size(), 1);
    QCOMPARE(sheets[0]["cursor"].toArray(), (QJsonArray{5, 1}));
    QCOMPARE(sheets[0]["ranges"].toArray(), (QJsonArray{QJsonArray{5, 1, 5, 1}}));
}

QTEST_MAIN(TestInterop)
