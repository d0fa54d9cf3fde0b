#include <QTest>

#include "shell/core/locale_amount.h"
#include "tests/common/test_classes.h"

namespace {

constexpr double kRefused = -0.125;  // stands for "no amount" in the table below

}  // namespace

class LocaleAmountTest : public QObject {
    Q_OBJECT

private slots:
    // What a user may type under each regional setting, and what it is read as; kRefused marks a text
    // that must bring up "Please enter a valid amount.".
    void readsExactlyTheLocalesAmounts_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        const auto row = [](const char* locale, const QString& text, double value) {
            QTest::addRow("%s \"%s\"", locale, qPrintable(text))
                << QString::fromLatin1(locale) << text << value;
        };
        // The typing slips that once became other amounts, refused under every setting.
        for (const char* locale : {"en_US", "de_DE", "fr_FR", "ja_JP"}) {
            for (const char* slip : {"1$2$3",
                                     "42$0.00",
                                     "1 2 3",
                                     "(1 0)",
                                     "$$5",
                                     "1e5",
                                     "2e306",
                                     "1E5",
                                     "99999999999999999",
                                     "10000000000000",
                                     "inf",
                                     "nan",
                                     "$inf",
                                     "",
                                     "   ",
                                     "12abc",
                                     "(-5)",
                                     "-(5)",
                                     "(5",
                                     "- 5",
                                     "15.",
                                     "0x10",
                                     "5-"}) {
                row(locale, QString::fromLatin1(slip), kRefused);
            }
        }

        row("en_US", "1500", 1500);
        row("en_US", "1,500.25", 1500.25);
        row("en_US", "$1,500.00", 1500);
        row("en_US", "($5.00)", -5);
        row("en_US", "-$5.10", -5.1);
        row("en_US", "$-5", -5);
        row("en_US", "+7", 7);
        row("en_US", "  12.5 ", 12.5);
        row("en_US", ".5", 0.5);
        row("en_US", "1,234,567.891", 1234567.89);
        row("en_US", "0.125", 0.12);  // a tie goes to the even cent
        row("en_US", "0.135", 0.14);
        row("en_US", "0.1250001", 0.13);
        row("en_US", "9,999,999,999,999.99", 9999999999999.99);
        row("en_US", "-9999999999999.99", -9999999999999.99);
        row("en_US", "0000000000000000001", 1);
        row("en_US", "9999999999999.995", kRefused);  // 10^13 once rounded to cents
        row("en_US", "$ 5", kRefused);                // the locale writes no space after the symbol
        row("en_US", "5$", kRefused);                 // nor the symbol after the number
        row("en_US", "€5", kRefused);
        row("en_US", "1,50", kRefused);
        row("en_US", "12,34", kRefused);
        row("en_US", "0,123", kRefused);
        row("en_US", "1,,000", kRefused);
        row("en_US", "1.2.3", kRefused);
        row("en_US", "$", kRefused);
        row("en_US", "1.5e3", kRefused);

        row("de_DE", QStringLiteral("1.500,00\u00a0€"), 1500);
        row("de_DE", QStringLiteral("-5,00\u00a0€"), -5);
        row("de_DE", QStringLiteral("12,50 €"), 12.5);  // an ordinary space for the no-break one
        row("de_DE", QStringLiteral("12€"), 12);
        row("de_DE", "12,5", 12.5);
        row("de_DE", "1.500", 1500);
        row("de_DE", "1.234.567,89", 1234567.89);
        row("de_DE", "150.32", 150.32);  // the plain form the sample data uses
        row("de_DE", "15000", 15000);
        row("de_DE", "0.5", 0.5);
        row("de_DE", "1,2,3", kRefused);
        row("de_DE", "1.50,5", kRefused);
        row("de_DE", QStringLiteral("€5"), kRefused);
        row("de_DE", QStringLiteral("12,5 € €"), kRefused);
        row("de_DE", QStringLiteral("12,5  €"), kRefused);
        row("de_DE", "$5", kRefused);

        row("fr_FR", QStringLiteral("1\u202f500,50\u00a0€"), 1500.5);
        row("fr_FR", QStringLiteral("(1\u202f234,56\u00a0€)"), -1234.56);
        row("fr_FR", QStringLiteral("1 500,50 €"), 1500.5);  // spaces as typed
        row("fr_FR", QStringLiteral("1\u00a0500"), 1500);
        row("fr_FR", "-3,5", -3.5);
        row("fr_FR", "150.32", 150.32);
        row("fr_FR", "12 345 678", 12345678);
        row("fr_FR", "1 50", kRefused);
        row("fr_FR", "12 345 67", kRefused);
        row("fr_FR", "1  500", kRefused);
        row("fr_FR", QStringLiteral("€ 5"), kRefused);

        row("ja_JP", QStringLiteral("￥1,500"), 1500);
        row("ja_JP", QStringLiteral("(￥1,234.56)"), -1234.56);
        row("ja_JP", QStringLiteral("-￥5"), -5);
        row("ja_JP", "1500.5", 1500.5);
        row("ja_JP", QStringLiteral("1500￥"), kRefused);
        row("ja_JP", QStringLiteral("￥￥5"), kRefused);
        row("ja_JP", QStringLiteral("１２３"), kRefused);
        row("ja_JP", "$5", kRefused);
    }
    void readsExactlyTheLocalesAmounts() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(double, value);
        const auto parsed = shell::parseAmount(text, QLocale(locale));
        if (value == kRefused) {
            QVERIFY2(!parsed, parsed ? qPrintable(QString::number(*parsed, 'f', 6)) : "");
        } else {
            QVERIFY(parsed.has_value());
            QCOMPARE(*parsed, value);
        }
    }

    // The currency form the boxes show must read back, under every regional setting Qt knows.
    void everyLocaleReadsItsOwnCurrencyForm() {
        const QList<QLocale> locales =
            QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
        QVERIFY(locales.size() > 300);
        QStringList failures;
        for (const QLocale& locale : locales) {
            for (const double value : {0.0, 0.5, -5.0, 1234567.89, -1234567.89, 9999999999999.99}) {
                const QString text = shell::currencyText(value, locale);
                const auto again = shell::parseAmount(text, locale);
                if (!again || shell::currencyText(*again, locale) != text)
                    failures << locale.name() + QLatin1Char(' ') + text;
            }
        }
        QCOMPARE(failures, QStringList());
    }

    void currencyFormHasTwoDecimals_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("us") << "en_US" << 1500.0 << "$1,500.00";
        QTest::newRow("us negative") << "en_US" << -5.0 << "($5.00)";
        QTest::newRow("us zero") << "en_US" << 0.0 << "$0.00";
        QTest::newRow("us tiny negative") << "en_US" << -0.001 << "$0.00";
        QTest::newRow("us fraction") << "en_US" << 0.5 << "$0.50";
        QTest::newRow("us rounds") << "en_US" << 150.326 << "$150.33";
        QTest::newRow("de") << "de_DE" << 1500.0 << QStringLiteral("1.500,00\u00a0€");
        QTest::newRow("de negative") << "de_DE" << -5.0 << QStringLiteral("-5,00\u00a0€");
        QTest::newRow("de zero") << "de_DE" << 0.0 << QStringLiteral("0,00\u00a0€");
        QTest::newRow("ja zero") << "ja_JP" << 0.0 << QStringLiteral("￥0.00");
    }
    void currencyFormHasTwoDecimals() {
        QFETCH(QString, locale);
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(shell::currencyText(value, QLocale(locale)), expected);
    }
};

testing::TestClass localeAmountTests() {
    return testing::testClass<LocaleAmountTest>();
}

#include "locale_amount_test.moc"
