#include <QTest>

#include "shell/core/locale_amount.h"

class LocaleAmountTest : public QObject {
    Q_OBJECT

private slots:
    void parsesWhatAUserMayType_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("value");
        QTest::newRow("us plain") << "en_US"
                                  << "1500" << true << 1500.0;
        QTest::newRow("us grouped") << "en_US"
                                    << "1,500.25" << true << 1500.25;
        QTest::newRow("us currency form") << "en_US"
                                          << "$1,500.00" << true << 1500.0;
        QTest::newRow("us negative sign") << "en_US"
                                          << "-5" << true << -5.0;
        QTest::newRow("us parentheses") << "en_US"
                                        << "($5.00)" << true << -5.0;
        QTest::newRow("us symbol after sign") << "en_US"
                                              << "-$5.10" << true << -5.1;
        QTest::newRow("us blanks") << "en_US"
                                   << "  $ 12.5 " << true << 12.5;
        QTest::newRow("us empty") << "en_US"
                                  << "" << false << 0.0;
        QTest::newRow("us blank only") << "en_US"
                                       << "   " << false << 0.0;
        QTest::newRow("us symbol only") << "en_US"
                                        << "$" << false << 0.0;
        QTest::newRow("us letters") << "en_US"
                                    << "12abc" << false << 0.0;
        QTest::newRow("us two points") << "en_US"
                                       << "1.2.3" << false << 0.0;
        QTest::newRow("us sign in parentheses") << "en_US"
                                                << "(-5)" << false << 0.0;
        QTest::newRow("us unbalanced") << "en_US"
                                       << "(5" << false << 0.0;
        QTest::newRow("de currency form") << "de_DE" << QStringLiteral("1.500,00\u00a0€") << true << 1500.0;
        QTest::newRow("de negative form") << "de_DE" << QStringLiteral("-5,00\u00a0€") << true << -5.0;
        QTest::newRow("de decimal comma") << "de_DE"
                                          << "12,5" << true << 12.5;
        QTest::newRow("de grouping") << "de_DE"
                                     << "1.500" << true << 1500.0;
        QTest::newRow("de sample text") << "de_DE"
                                        << "150.32" << true << 150.32;
        QTest::newRow("de sample no decimals") << "de_DE"
                                               << "15000" << true << 15000.0;
        QTest::newRow("de two commas") << "de_DE"
                                       << "1,2,3" << false << 0.0;
        QTest::newRow("fr narrow blank group")
            << "fr_FR" << QStringLiteral("1\u202f500,50\u00a0€") << true << 1500.5;
        QTest::newRow("gb pound") << "en_GB" << QStringLiteral("(£1,234.56)") << true << -1234.56;
    }
    void parsesWhatAUserMayType() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(double, value);
        const auto parsed = shell::parseAmount(text, QLocale(locale));
        QCOMPARE(parsed.has_value(), valid);
        if (valid)
            QCOMPARE(*parsed, value);
    }

    void currencyFormHasTwoDecimalsAndReadsBack_data() {
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
    }
    void currencyFormHasTwoDecimalsAndReadsBack() {
        QFETCH(QString, locale);
        QFETCH(double, value);
        QFETCH(QString, expected);
        const QLocale l(locale);
        const QString text = shell::currencyText(value, l);
        QCOMPARE(text, expected);
        const auto again = shell::parseAmount(text, l);
        QVERIFY(again.has_value());
        QCOMPARE(shell::currencyText(*again, l), text);
    }
};

int runLocaleAmountTests(int argc, char** argv) {
    LocaleAmountTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "locale_amount_test.moc"
