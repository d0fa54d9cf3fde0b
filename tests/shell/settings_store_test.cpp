#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <optional>

#include "shell/core/locale_amount.h"
#include "shell/core/settings_keys.h"
#include "shell/core/settings_store.h"
#include "shell/core/statement.h"
#include "shell/core/stored_statement.h"
#include "shell/core/user_notice.h"
#include "tests/common/file_system_faults.h"
#include "tests/common/test_classes.h"

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
        for (int i = 0; i < shell::kAssetLines; ++i)
            keys << assetDescription(i) << assetAmount(i);
        for (int i = 0; i < shell::kLiabilityLines; ++i)
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

    // Whatever QSettings writes reads back as the same text, however it had to quote or escape it.
    void everyTextReadsBackAsWritten() {
        QStringList texts{
            QStringLiteral("a, b, c"),
            QStringLiteral("@Variant(abc)"),
            QStringLiteral("@@x"),
            QStringLiteral("@"),
            QStringLiteral(" lead"),
            QStringLiteral("trail "),
            QStringLiteral("\"quoted\""),
            QStringLiteral("\"a\", \"b\""),
            QStringLiteral("back\\slash\\"),
            QStringLiteral("semi;colon"),
            QStringLiteral("eq=ual"),
            QStringLiteral("tab\tnew\nline\rcr"),
            QString(QChar(1)) + QStringLiteral("1f") + QChar(0x7f) + QChar(0) + QStringLiteral("7"),
            QStringLiteral("Müller € \u00a0\u202f 😀"),
            QStringLiteral("#hash"),
            QStringLiteral("[bracket]"),
            QStringLiteral("\\x41 \\101 \\q"),
            QStringLiteral("$1,234.50"),
            QString()};
        // And a few hundred more made of the characters that need care.
        const QString alphabet = QStringLiteral(
            " ,;=\"\\@#[]\t\n\r\x01\x1f\x7f"
            "09afAF xXé€😀\u00a0");
        QRandomGenerator random(20240305);
        for (int i = 0; i < 300; ++i) {
            QString text;
            for (int n = random.bounded(12); n > 0; --n) {
                const int at = random.bounded(alphabet.size());
                text += alphabet.at(at).isSurrogate() ? QStringLiteral("😀") : QString(alphabet.at(at));
            }
            texts << text;
        }
        {
            QSettings writer(shell::SettingsStore::fileName(), QSettings::IniFormat);
            writer.beginGroup(shell::SettingsStore::kSection);
            for (qsizetype i = 0; i < texts.size(); ++i)
                writer.setValue(QStringLiteral("k%1").arg(i), texts.at(i));
        }
        const shell::SettingsStore store;
        for (qsizetype i = 0; i < texts.size(); ++i) {
            const QString key = QStringLiteral("k%1").arg(i);
            QVERIFY2(store.value(key) == texts.at(i),
                     qPrintable(key + QLatin1Char(' ') + texts.at(i).toUtf8().toPercentEncoding()));
        }
        QVERIFY(messages_.isEmpty());
    }

    // A value left by a hand edit or another tool is its text, even where QSettings would read a list, a
    // serialised value or a comment, and a later write of another key keeps that text.
    void handEditsAreReadAsTheirText_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("text");
        QTest::newRow("list") << QByteArray("a, b, c") << "a, b, c";
        QTest::newRow("serialised value") << QByteArray("@Variant(garbage)") << "@Variant(garbage)";
        QTest::newRow("byte array") << QByteArray("@ByteArray(xyz)") << "@ByteArray(xyz)";
        QTest::newRow("invalid") << QByteArray("@Invalid()") << "@Invalid()";
        QTest::newRow("rectangle") << QByteArray("@Rect(1 2 3 4)") << "@Rect(1 2 3 4)";
        QTest::newRow("semicolon") << QByteArray("Smith; Jones") << "Smith; Jones";
        QTest::newRow("inner quotes") << QByteArray("He said \"hi\", twice") << "He said \"hi\", twice";
        QTest::newRow("path") << QByteArray("C:\\Users\\me") << "C:\\Users\\me";
        QTest::newRow("blanks around") << QByteArray("  spaced out  ") << "spaced out";
        QTest::newRow("quoted list") << QByteArray("\"a, b\"") << "a, b";
        QTest::newRow("doubled at") << QByteArray("@@home") << "@home";
    }
    void handEditsAreReadAsTheirText() {
        QFETCH(QByteArray, line);
        QFETCH(QString, text);
        QVERIFY(QDir().mkpath(QFileInfo(shell::SettingsStore::fileName()).path()));
        QFile file(shell::SettingsStore::fileName());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Quillberry]\ntxtAssets3=" + line + "\ntxtAssets4=x, y\n");
        file.close();

        shell::SettingsStore store;
        QCOMPARE(store.value(QStringLiteral("txtAssets3")), std::optional<QString>(text));
        QVERIFY(store.write(QStringLiteral("txtName"), QStringLiteral("Jane")));
        QCOMPARE(shell::SettingsStore().value(QStringLiteral("txtAssets3")), std::optional<QString>(text));
        QCOMPARE(shell::SettingsStore().value(QStringLiteral("txtAssets4")), std::optional<QString>("x, y"));
        // The rewrite put it in QSettings' own form, so every reader now sees the text.
        QCOMPARE(storedOnDisk(QStringLiteral("txtAssets3")), text);
        QVERIFY(messages_.isEmpty());
    }

    // A save that fails says why in the system's words, once; the values wait for the next save that works.
    void aFailedSaveNamesTheSystemsReason_data() {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a file in the folder's place") << "file for folder"
                                                      << "Not a directory";
        QTest::newRow("too large for the process") << "file size limit"
                                                   << "File too large";
        QTest::newRow("a read-only file") << "read-only file"
                                          << "Permission denied";
    }
    void aFailedSaveNamesTheSystemsReason() {
        QFETCH(QString, obstacle);
        QFETCH(QString, reason);
        shell::SettingsStore store;
        const auto limitFileSize = [](rlim_t limit) {
            rlimit size{};
            getrlimit(RLIMIT_FSIZE, &size);
            size.rlim_cur = limit;
            setrlimit(RLIMIT_FSIZE, &size);
        };
        rlimit before{};
        getrlimit(RLIMIT_FSIZE, &before);
        std::function<void()> remove;
        std::optional<testing::AsOrdinaryUser> asUser;
        if (obstacle == QStringLiteral("file for folder")) {
            // Even root cannot create the folder where a file stands.
            const QString blocker = configDir_.filePath(QStringLiteral("blocked"));
            QFile block(blocker);
            QVERIFY(block.open(QIODevice::WriteOnly));
            block.close();
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                               blocker + QStringLiteral("/config"));
            remove = [blocker] { QFile::remove(blocker); };
        } else if (obstacle == QStringLiteral("file size limit")) {
            signal(SIGXFSZ, SIG_IGN);
            limitFileSize(8);
            remove = [&] { limitFileSize(before.rlim_cur); };
        } else {
            QVERIFY(store.write(QStringLiteral("txtAssets1"), QStringLiteral("first")));
            const QString file = shell::SettingsStore::fileName();
            QFile::setPermissions(file, QFile::ReadOwner);
            // Root may write any file: the refusal is seen as the ordinary user, who owns the store.
            for (const QString& path : {configDir_.path(), QFileInfo(file).path(), file})
                testing::giveToUser(path);
            asUser.emplace();
            remove = [&asUser, file] {
                asUser.reset();
                QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
            };
        }

        const bool firstSaved = store.write(QStringLiteral("txtName"), QStringLiteral("Jane"));
        const bool secondSaved = store.write(QStringLiteral("txtAmountL2"), QStringLiteral("12"));
        remove();
        QVERIFY(!firstSaved);
        QVERIFY(!secondSaved);
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_.first().startsWith(QStringLiteral("Your entries could not be saved")));
        QVERIFY(messages_.first().contains(QDir::toNativeSeparators(shell::SettingsStore::fileName())));
        QVERIFY2(messages_.first().contains(QStringLiteral("Reason: ")) && messages_.first().contains(reason),
                 qPrintable(messages_.first()));
        QCOMPARE(store.unsaved().size(), 2);
        QCOMPARE(store.read(QStringLiteral("txtName"), QString()), QStringLiteral("Jane"));

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

    // A statement written under each locale, in currency form and as typed, is read back under every
    // locale as the same amounts and date; after one field is written under the reader's locale the
    // whole store is in that locale's forms and still means the same to every reader.
    void aStoredStatementMeansTheSameUnderEveryLocale() {
        const QStringList locales{"en_US", "de_DE", "C",     "fr_FR",     "de_CH",
                                  "en_IN", "ar_EG", "ja_JP", "sr_Latn_RS"};
        const QDate date(2031, 1, 9);
        const std::array<double, 5> amounts{1234.5, -5, 0, 150.32, 9999999.99};
        const auto amountAt = [&amounts](int line) { return amounts[size_t(line) % amounts.size()]; };
        const auto verifyMeaning = [&](const QLocale& reader, const QString& context) {
            const shell::SettingsStore store;
            const auto record = shell::LoadStoredStatement(store, reader);
            QVERIFY2(record, qPrintable(context));
            QVERIFY2(record->date == date, qPrintable(context + record->date.toString(Qt::ISODate)));
            for (int i = 0; i < shell::kAssetLines; ++i) {
                const auto value = shell::parseAmount(record->assetAmounts[size_t(i)], reader);
                QVERIFY2(value && *value == amountAt(i),
                         qPrintable(context + QStringLiteral(" asset %1: ").arg(i) +
                                    record->assetAmounts[size_t(i)]));
            }
            for (int i = 0; i < shell::kLiabilityLines; ++i) {
                const auto value = shell::parseAmount(record->liabilityAmounts[size_t(i)], reader);
                QVERIFY2(value && *value == amountAt(i + 1),
                         qPrintable(context + QStringLiteral(" liability %1: ").arg(i) +
                                    record->liabilityAmounts[size_t(i)]));
            }
        };
        for (const QString& writerName : locales) {
            const QLocale writer(writerName);
            QFile::remove(shell::SettingsStore::fileName());
            QMap<QString, QString> texts{{shell::keys::date(), shell::dateToStoreText(date, writer)}};
            // Even lines in currency form, odd ones as a user types them (no symbol, no grouping).
            const auto typed = [&writer](double value, int line) {
                return line % 2 == 0 ? shell::currencyText(value, writer) : writer.toString(value, 'f', 2);
            };
            for (int i = 0; i < shell::kAssetLines; ++i)
                texts.insert(shell::keys::assetAmount(i), typed(amountAt(i), i));
            for (int i = 0; i < shell::kLiabilityLines; ++i)
                texts.insert(shell::keys::liabilityAmount(i), typed(amountAt(i + 1), i));
            shell::SettingsStore store;
            QVERIFY(shell::storeStatementFields(store, texts, writer));
            QCOMPARE(store.value(shell::keys::locale()), std::optional<QString>(writerName));
            for (const QString& readerName : locales)
                verifyMeaning(QLocale(readerName), writerName + QStringLiteral(" read under ") + readerName);

            // The next field written under other settings puts the stored ones in that locale's forms.
            const QLocale next(locales.at((locales.indexOf(writerName) + 1) % locales.size()));
            QVERIFY(shell::storeStatementFields(store, {{shell::keys::name(), QStringLiteral("N")}}, next));
            QCOMPARE(store.value(shell::keys::locale()), std::optional<QString>(shell::localeTag(next)));
            QCOMPARE(store.value(shell::keys::date()),
                     std::optional<QString>(shell::dateToStoreText(date, next)));
            QCOMPARE(store.value(shell::keys::assetAmount(0)),
                     std::optional<QString>(shell::currencyText(amountAt(0), next)));
            for (const QString& readerName : {writerName, QStringLiteral("C")})
                verifyMeaning(QLocale(readerName), writerName + QStringLiteral(" then ") +
                                                       shell::localeTag(next) +
                                                       QStringLiteral(" read under ") + readerName);
        }
        QVERIFY(messages_.isEmpty());
    }

    void textsThatAreNoDateAreRefused() {
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        QVERIFY(!shell::dateFromStoreText(QStringLiteral("yesterday")));
        QVERIFY(!shell::dateFromStoreText(QString()));
        QVERIFY(!shell::dateFromStoreText(QStringLiteral("13/45/2024")));
    }
};

testing::TestClass settingsStoreTests() {
    return testing::testClass<SettingsStoreTest>();
}

#include "settings_store_test.moc"
