#include <QDir>
#include <QFile>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "shell/core/settings_keys.h"
#include "shell/core/settings_store.h"
#include "shell/core/user_notice.h"

namespace {

// The settings file as another process would read it from disk.
QString storedOnDisk(const QString& key) {
    QSettings disk(shell::SettingsStore::fileName(), QSettings::IniFormat);
    return disk.value(shell::SettingsStore::kSection + QLatin1Char('/') + key, QStringLiteral("<missing>"))
        .toString();
}

}  // namespace

class SettingsStoreTest : public QObject {
    Q_OBJECT

    QTemporaryDir configDir_;
    QStringList messages_;

private slots:
    void init() {
        QVERIFY(configDir_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir_.path());
        QFile::remove(shell::SettingsStore::fileName());
        shell::SettingsStore::resetFailureNotice();
        messages_.clear();
        shell::setUserNoticeHandler([this](const QString& text) { messages_ << text; });
    }
    void cleanup() {
        shell::setUserNoticeHandler({});
        QLocale::setDefault(QLocale::c());
    }

    void keysAreTheThirtySixNamesWithoutLeadingZeros() {
        using namespace shell::keys;
        QStringList keys{name(), date()};
        for (int i = 0; i < kAssetLines; ++i)
            keys << assetDescription(i) << assetAmount(i);
        for (int i = 0; i < kLiabilityLines; ++i)
            keys << liabilityDescription(i) << liabilityAmount(i);
        QCOMPARE(keys.size(), 36);
        QCOMPARE(QSet<QString>(keys.cbegin(), keys.cend()).size(), 36);
        QCOMPARE(keys.first(), QStringLiteral("txtName"));
        QCOMPARE(keys.at(1), QStringLiteral("dtpFrom"));
        QVERIFY(keys.contains(QStringLiteral("txtAssets10")));
        QVERIFY(keys.contains(QStringLiteral("txtAmountAssets1")));
        QVERIFY(keys.contains(QStringLiteral("txtAmountL5")));
        QVERIFY(!keys.contains(QStringLiteral("txtAssets01")));
        QVERIFY(!keys.contains(QStringLiteral("txtLiabilities6")));
    }

    void everyWriteIsOnDiskWhenItReturns() {
        QVERIFY(shell::SettingsStore::fileName().startsWith(configDir_.path()));
        QVERIFY(shell::SettingsStore::fileName().endsWith(QStringLiteral("Brackenlow/Brackenlow.conf")));
        shell::SettingsStore store;
        QCOMPARE(store.read(QStringLiteral("txtName"), QStringLiteral("dflt")), QStringLiteral("dflt"));
        QVERIFY(store.write(QStringLiteral("txtName"), QStringLiteral(" Jane  Doe ")));
        QCOMPARE(storedOnDisk(QStringLiteral("txtName")), QStringLiteral(" Jane  Doe "));
        QVERIFY(store.write(QStringLiteral("txtAssets3"), QString()));
        QCOMPARE(storedOnDisk(QStringLiteral("txtAssets3")), QString());
        QCOMPARE(store.read(QStringLiteral("txtAssets3"), QStringLiteral("dflt")), QString());
        QVERIFY(messages_.isEmpty());

        QFile file(shell::SettingsStore::fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().startsWith("[Quillberry]\n"));
    }

    void twoStoresMergeKeyByKey() {
        shell::SettingsStore first;
        shell::SettingsStore second;
        first.write(QStringLiteral("txtAssets0"), QStringLiteral("from first"));
        second.write(QStringLiteral("txtAssets1"), QStringLiteral("from second"));
        first.write(QStringLiteral("txtAssets2"), QStringLiteral("first again"));
        QCOMPARE(storedOnDisk(QStringLiteral("txtAssets0")), QStringLiteral("from first"));
        QCOMPARE(storedOnDisk(QStringLiteral("txtAssets1")), QStringLiteral("from second"));
        QCOMPARE(storedOnDisk(QStringLiteral("txtAssets2")), QStringLiteral("first again"));
    }

    void failedWritesAreToldOnceAndKeptUntilTheStoreWorksAgain() {
        // A file where the settings folder should be: even root cannot create the folder.
        const QString blocker = configDir_.filePath(QStringLiteral("blocked"));
        QFile block(blocker);
        QVERIFY(block.open(QIODevice::WriteOnly));
        block.close();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           blocker + QStringLiteral("/config"));

        shell::SettingsStore store;
        QVERIFY(!store.write(QStringLiteral("txtName"), QStringLiteral("Jane")));
        QVERIFY(!store.write(QStringLiteral("txtAmountL2"), QStringLiteral("12")));
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_.first().contains(QDir::toNativeSeparators(shell::SettingsStore::fileName())));
        QVERIFY(messages_.first().contains(QStringLiteral("cannot be created")));
        QCOMPARE(store.unsaved().size(), 2);
        QCOMPARE(store.read(QStringLiteral("txtName"), QString()), QStringLiteral("Jane"));

        QVERIFY(QFile::remove(blocker));
        QVERIFY(store.write(QStringLiteral("txtAssets0"), QStringLiteral("Cash")));
        QVERIFY(store.unsaved().isEmpty());
        QCOMPARE(storedOnDisk(QStringLiteral("txtName")), QStringLiteral("Jane"));
        QCOMPARE(storedOnDisk(QStringLiteral("txtAmountL2")), QStringLiteral("12"));
        QCOMPARE(storedOnDisk(QStringLiteral("txtAssets0")), QStringLiteral("Cash"));
        QCOMPARE(messages_.size(), 1);
    }

    void datesRoundTripWithFourDigitYears_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QDate>("date");
        for (const char* locale : {"en_US", "de_DE", "en_GB", "fr_FR", "ja_JP"}) {
            for (const QDate& date :
                 {QDate(2024, 3, 5), QDate(1950, 7, 1), QDate(1929, 12, 31), QDate(2031, 1, 9)}) {
                QTest::addRow("%s %s", locale, qPrintable(date.toString(Qt::ISODate))) << locale << date;
            }
        }
    }
    void datesRoundTripWithFourDigitYears() {
        QFETCH(QString, locale);
        QFETCH(QDate, date);
        QLocale::setDefault(QLocale(locale));
        const QString text = shell::dateToStoreText(date);
        QVERIFY2(text.contains(QString::number(date.year())), qPrintable(text));
        QCOMPARE(shell::dateFromStoreText(text), std::optional<QDate>(date));
    }

    void olderTwoDigitYearFormsAreRead_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        QTest::newRow("en_US 2024") << "en_US"
                                    << "3/5/24" << QDate(2024, 3, 5);
        QTest::newRow("en_US 1950") << "en_US"
                                    << "7/1/50" << QDate(1950, 7, 1);
        QTest::newRow("de_DE 2024") << "de_DE"
                                    << "05.03.24" << QDate(2024, 3, 5);
        QTest::newRow("de_DE 1950") << "de_DE"
                                    << "01.07.50" << QDate(1950, 7, 1);
        QTest::newRow("ISO") << "en_US"
                             << "2024-03-05" << QDate(2024, 3, 5);
    }
    void olderTwoDigitYearFormsAreRead() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(shell::dateFromStoreText(text), std::optional<QDate>(date));
    }

    void textsThatAreNoDateAreRefused() {
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        QVERIFY(!shell::dateFromStoreText(QStringLiteral("yesterday")));
        QVERIFY(!shell::dateFromStoreText(QString()));
        QVERIFY(!shell::dateFromStoreText(QStringLiteral("13/45/2024")));
    }
};

int runSettingsStoreTests(int argc, char** argv) {
    SettingsStoreTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "settings_store_test.moc"
