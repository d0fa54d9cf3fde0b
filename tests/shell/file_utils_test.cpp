#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include "shell/core/error_report.h"
#include "shell/core/file_utils.h"
#include "shell/ui/window_colours.h"

class FileUtilsTest : public QObject {
    Q_OBJECT

private slots:
    void fileExistsAnswersWithoutThrowing() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("a.bin"));
        QVERIFY(!shell::FileExists(file));
        QVERIFY(!shell::FileExists(QString()));
        QVERIFY(!shell::FileExists(dir.filePath(QStringLiteral("missing/deeper/x"))));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY(shell::FileExists(file));
        QVERIFY(shell::FileExists(dir.path()));
    }

    void deleteFileQuietlyRemovesReadOnlyAndIgnoresMissing() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("ro.txt"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
        f.close();
        QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner));
        shell::DeleteFileQuietly(file);
        QVERIFY(!QFile::exists(file));
        shell::DeleteFileQuietly(file);  // missing: no throw, nothing shown
        shell::DeleteFileQuietly(QString());
    }

    void forceDeleteFileThrowsForMissingFile() {
        QTemporaryDir dir;
        QVERIFY_THROWS_EXCEPTION(shell::RuntimeError,
                                 shell::ForceDeleteFile(dir.filePath(QStringLiteral("none"))));
    }

    void writeBytesToFileWritesExactlyTheBytes() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("out.bin"));
        const QByteArray bytes = QByteArray::fromHex("0001ff616263");
        shell::WriteBytesToFile(bytes, file);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), bytes);
        f.close();
        // A longer file at the path must not leave a stale tail behind the new bytes.
        shell::WriteBytesToFile(QByteArray(100, 'z'), file);
        shell::WriteBytesToFile(bytes, file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), bytes);
    }

    void writeBytesToFileReportsTheReason() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("no/such/folder/out.bin"));
        try {
            shell::WriteBytesToFile("abc", file);
            QFAIL("no error for a path in a missing folder");
        } catch (const shell::RuntimeError& error) {
            QVERIFY(error.description().contains(QStringLiteral("out.bin")));
        }
    }

    void setSystemBackColorsRecoloursFramesAndLabelsOnly() {
        QWidget form;
        auto* frame = new QGroupBox(&form);
        auto* label = new QLabel(frame);
        auto* check = new QCheckBox(frame);
        auto* box = new QLineEdit(frame);
        auto* button = new QPushButton(&form);
        const QColor boxBefore = box->palette().color(QPalette::Base);
        const QColor buttonBefore = button->palette().color(QPalette::Button);
        for (QWidget* w :
             {static_cast<QWidget*>(&form), static_cast<QWidget*>(frame), static_cast<QWidget*>(label),
              static_cast<QWidget*>(button), static_cast<QWidget*>(box)}) {
            shell::setBackColour(w, Qt::white);
        }
        shell::SetSystemBackColors(&form);
        const QColor face = shell::buttonFaceColour();
        QVERIFY(face != QColor(Qt::white));
        QCOMPARE(shell::backColour(&form), face);
        QCOMPARE(shell::backColour(frame), face);
        QCOMPARE(shell::backColour(label), face);
        QCOMPARE(shell::backColour(check), face);
        QCOMPARE(shell::backColour(box), QColor(Qt::white));
        QCOMPARE(shell::backColour(button), QColor(Qt::white));
        QCOMPARE(box->palette().color(QPalette::Base), boxBefore);
        QCOMPARE(button->palette().color(QPalette::Button), buttonBefore);
    }

    void toLocaleDecimal_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("separator");
        QTest::newRow("en_US") << "en_US"
                               << ".";
        QTest::newRow("de_DE") << "de_DE"
                               << ",";
        QTest::newRow("fr_FR") << "fr_FR"
                               << ",";
    }
    void toLocaleDecimal() {
        QFETCH(QString, locale);
        QFETCH(QString, separator);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(shell::LocaleDecimalSeparator(), separator);
        QCOMPARE(shell::ToLocaleDecimal(QStringLiteral("12.0")), QStringLiteral("12") + separator + "0");
        QCOMPARE(shell::ToLocaleDecimal(QStringLiteral("12,0")),
                 shell::ToLocaleDecimal(QStringLiteral("12.0")));
        bool ok = false;
        QCOMPARE(QLocale().toDouble(shell::ToLocaleDecimal(QStringLiteral("12.0")), &ok), 12.0);
        QVERIFY(ok);
        QLocale::setDefault(QLocale::c());
    }
};

int runFileUtilsTests(int argc, char** argv) {
    FileUtilsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "file_utils_test.moc"
