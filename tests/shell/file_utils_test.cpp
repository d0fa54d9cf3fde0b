#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <optional>

#include "shell/core/error_report.h"
#include "shell/core/file_utils.h"
#include "shell/core/safe_file.h"
#include "shell/ui/window_colours.h"
#include "tests/common/error_of.h"
#include "tests/common/file_system_faults.h"
#include "tests/common/test_classes.h"
#include "tests/common/test_files.h"

namespace {

using testing::contentOf;
using testing::entriesOf;
using testing::writeFile;

using testing::errorOf;

}  // namespace

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

    // What the program deletes, it deletes without following a link and without changing the mode of a
    // file it did not make.
    void deletingNeverChangesModesOfOthers_data() {
        QTest::addColumn<bool>("own");
        QTest::addColumn<bool>("link");
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<bool>("gone");
        QTest::newRow("user's read-only file, read-only folder") << false << false << 0555 << false;
        QTest::newRow("own read-only file, read-only folder") << true << false << 0555 << false;
        QTest::newRow("user's read-only file") << false << false << 0755 << true;
        QTest::newRow("link to a user's file") << false << true << 0755 << true;
    }
    void deletingNeverChangesModesOfOthers() {
        QFETCH(bool, own);
        QFETCH(bool, link);
        QFETCH(int, folderMode);
        QFETCH(bool, gone);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("t"));
        QVERIFY(QDir().mkdir(folder));
        const QString users = dir.filePath(QStringLiteral("users.txt"));
        const QString path = folder + QStringLiteral("/temp.bmp");
        writeFile(link ? users : path, "kept");
        if (link)
            QVERIFY(QFile::link(users, path));
        for (const QString& each : {dir.path(), folder, users, path})
            testing::giveToUser(each);
        const QString file = link ? users : path;
        testing::setMode(file, 0444);
        testing::setMode(folder, mode_t(folderMode));
        {
            testing::AsOrdinaryUser user;
            if (own)
                shell::rememberOwnFile(path);
            shell::DeleteFileQuietly(path);
        }
        testing::setMode(folder, 0755);
        QCOMPARE(shell::pathTaken(path), !gone);
        // What stays, the file itself or the file a removed link named, keeps its mode and content.
        if (shell::pathTaken(file)) {
            QCOMPARE(testing::modeOf(file), mode_t(0444));
            QCOMPARE(contentOf(file), QByteArray("kept"));
        }
        QCOMPARE(shell::pathTaken(users), link);
    }

    // Files the program makes in a shared folder: an exclusive creation counts anything at the path as
    // taken and never creates a file at a link's destination; a replacement replaces the link itself.
    void newFilesNeverFollowLinks_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("dangling");
        for (const char* how : {"create", "reserve", "replace"}) {
            QTest::addRow("%s, dangling link", how) << QString::fromLatin1(how) << true;
            QTest::addRow("%s, link to a user's file", how) << QString::fromLatin1(how) << false;
        }
    }
    void newFilesNeverFollowLinks() {
        QFETCH(QString, how);
        QFETCH(bool, dangling);
        QTemporaryDir shared;
        QTemporaryDir home;
        const QString users = home.filePath(QStringLiteral("budget.xls"));
        if (!dangling)
            writeFile(users, "the user's");
        const QString path = shared.filePath(QStringLiteral("template.xlt"));
        QVERIFY(QFile::link(users, path));

        QString error;
        bool reserved = true;
        if (how == QStringLiteral("create"))
            error = errorOf([&] { shell::createNewFile(path, "new"); });
        else if (how == QStringLiteral("reserve"))
            reserved = shell::reserveNewFile(path);
        else
            error = errorOf([&] { shell::replaceFile(path, "new"); });

        QCOMPARE(entriesOf(home.path()), dangling ? QStringList() : QStringList{"budget.xls"});
        if (!dangling)
            QCOMPARE(contentOf(users), QByteArray("the user's"));
        QCOMPARE(entriesOf(shared.path()), QStringList{"template.xlt"});
        if (how == QStringLiteral("replace")) {
            QCOMPARE(error, QString());
            QVERIFY(!QFileInfo(path).isSymLink());
            QCOMPARE(contentOf(path), QByteArray("new"));
        } else {
            QVERIFY(QFileInfo(path).isSymLink());
            QVERIFY(!reserved || error == QStringLiteral("File already exists: '%1'").arg(path));
            QVERIFY(!reserved || how == QStringLiteral("create"));
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

testing::TestClass fileUtilsTests() {
    return testing::testClass<FileUtilsTest>();
}

#include "file_utils_test.moc"
