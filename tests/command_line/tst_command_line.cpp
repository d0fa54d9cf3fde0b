// The program as a script runs it: `quillberry` started as a process with no display at all (no DISPLAY,
// no WAYLAND_DISPLAY, no QT_QPA_PLATFORM), on a store holding the sample statement. Each row is one
// command line: its exit code, its lines on standard error, and exactly which files it leaves behind
// (no partial file, no temporary file, no folder made). The exported files are read back independently:
// the workbook by the engine's reader, the PDF by poppler's tools.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include <unistd.h>

#include "entry/sample_data.h"
#include "shell/core/locale_amount.h"
#include "shell/core/product.h"
#include "shell/core/settings_keys.h"
#include "shell/core/settings_store.h"
#include "spreadsheet/renderer.h"
#include "spreadsheet/workbook_reader.h"

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QStringList errorLines;
};

enum class Setup { None, OldFile, ReadOnlyFile, FolderAtTarget, AmountNoAmount, UnreachableDisplay };

QString tool(const QString& program, const QStringList& arguments, QString* errors = nullptr) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        return {};
    if (errors)
        *errors = QString::fromUtf8(process.readAllStandardError());
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString infoEntry(const QString& info, const QString& key) {
    const QRegularExpression line(QStringLiteral("^%1:\\s*(.*)$").arg(key),
                                  QRegularExpression::MultilineOption);
    return line.match(info).captured(1).trimmed();
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

Q_DECLARE_METATYPE(Setup)

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void exits_data();
    void exits();
    void exportedFilesHoldTheStatement();

private:
    void writeStore(const QString& key = {}, const QString& value = {});
    Result run(QStringList arguments, Setup setup = Setup::None) const;
    QStringList leftBehind() const;
    QString out(const QString& name) const { return dir_->filePath(name); }

    std::unique_ptr<QTemporaryDir> home_;  // the user's settings and TEMP
    std::unique_ptr<QTemporaryDir> dir_;   // where the files go
    QString missingTools_;
};

void TestCommandLine::initTestCase() {
    for (const char* name : {"pdfinfo", "pdftotext"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty())
            missingTools_ = QStringLiteral("%1 (poppler-utils) is not installed").arg(QLatin1String(name));
}

void TestCommandLine::init() {
    home_ = std::make_unique<QTemporaryDir>();
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(home_->isValid() && dir_->isValid());
    QVERIFY(QDir(home_->path()).mkpath(QStringLiteral("temp")));
    writeStore();
}

// The store as a user leaves it after loading the sample: plain amounts, a US date.
void TestCommandLine::writeStore(const QString& key, const QString& value) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const auto record = entry::sample::sampleStatement(QDate(2021, 3, 5));
    const QString org = shell::product::kOrganisation;
    QSettings store(home_->filePath(QStringLiteral("config/%1/%1.conf").arg(org)), QSettings::IniFormat);
    store.beginGroup(shell::SettingsStore::kSection);
    namespace keys = shell::keys;
    store.setValue(keys::name(), record.name);
    store.setValue(keys::date(), shell::dateToStoreText(record.date, us));
    for (int i = 0; i < shell::kAssetLines; ++i) {
        store.setValue(keys::assetDescription(i), record.assetDescriptions[size_t(i)]);
        store.setValue(keys::assetAmount(i), record.assetAmounts[size_t(i)]);
    }
    for (int i = 0; i < shell::kLiabilityLines; ++i) {
        store.setValue(keys::liabilityDescription(i), record.liabilityDescriptions[size_t(i)]);
        store.setValue(keys::liabilityAmount(i), record.liabilityAmounts[size_t(i)]);
    }
    if (!key.isEmpty())
        store.setValue(key, value);
    store.sync();
    QCOMPARE(store.status(), QSettings::NoError);
}

Result TestCommandLine::run(QStringList arguments, Setup setup) const {
    for (QString& argument : arguments)
        argument.replace(QStringLiteral("%dir%"), dir_->path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LANGUAGE"})
        environment.remove(QString::fromLatin1(name));
    if (setup == Setup::UnreachableDisplay)
        environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":97"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home_->filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("TEMP"), home_->filePath(QStringLiteral("temp")));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(QB_PROGRAM_PATH), arguments);
    Result result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.errorLines = QString::fromUtf8(process.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
    return result;
}

// Every file and folder under the output folder, folders with a trailing slash.
QStringList TestCommandLine::leftBehind() const {
    QStringList names;
    QDirIterator it(dir_->path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        names << QDir(dir_->path()).relativeFilePath(it.filePath()) +
                     QString(it.fileInfo().isDir() ? QStringLiteral("/") : QString());
    }
    names.sort();
    return names;
}

void TestCommandLine::exits_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");        // a pattern for standard output
    QTest::addColumn<QStringList>("problems");  // one pattern for each line on standard error
    QTest::addColumn<QStringList>("files");     // what the output folder holds afterwards

    const QString exportFailed = QStringLiteral(" \\(in \\S+\\.Export\\.ExportStatement at line \\d+\\)$");
    QTest::newRow("help") << QStringList{"--help"} << Setup::None << 0
                          << "--export-xls <file>.*\\n.*--export-pdf <file>.*\\n.*--export-png <file>"
                          << QStringList{} << QStringList{};
    QTest::newRow("version")
        << QStringList{"--version"} << Setup::None << 0
        << QStringLiteral("^Quillberry %1\\n$").arg(QRegularExpression::escape(QB_VERSION)) << QStringList{}
        << QStringList{};
    QTest::newRow("unknown option") << QStringList{"--print"} << Setup::None << 2 << ""
                                    << QStringList{"^quillberry: Unknown option 'print'\\. See --help\\.$"}
                                    << QStringList{};
    QTest::newRow("argument without option")
        << QStringList{"statement.pdf"} << Setup::None << 2 << ""
        << QStringList{"^quillberry: Unexpected argument 'statement.pdf'\\. See --help\\.$"} << QStringList{};
    QTest::newRow("option without file")
        << QStringList{"--export-pdf"} << Setup::None << 2 << ""
        << QStringList{"^quillberry: Missing value after '--export-pdf'\\."} << QStringList{};
    QTest::newRow("option twice") << QStringList{"--export-pdf", "%dir%/a.pdf", "--export-pdf", "%dir%/b.pdf"}
                                  << Setup::None << 2 << ""
                                  << QStringList{"^quillberry: --export-pdf is given more than once\\.$"}
                                  << QStringList{};

    QTest::newRow("all three") << QStringList{"--export-xls", "%dir%/s.xls", "--export-pdf", "%dir%/s.pdf",
                                              "--export-png=%dir%/s.png"}
                               << Setup::None << 0 << "" << QStringList{}
                               << QStringList{"s.pdf", "s.png", "s.xls"};
    QTest::newRow("one, replacing a file") << QStringList{"--export-pdf", "%dir%/s.pdf"} << Setup::OldFile
                                           << 0 << "" << QStringList{} << QStringList{"s.pdf"};
    QTest::newRow("unreachable display")
        << QStringList{"--export-png", "%dir%/s.png"} << Setup::UnreachableDisplay << 0 << "" << QStringList{}
        << QStringList{"s.png"};

    QTest::newRow("missing folder") << QStringList{"--export-pdf", "%dir%/missing/s.pdf"} << Setup::None << 1
                                    << ""
                                    << QStringList{"^quillberry: Cannot write '\\S+/missing/s\\.pdf': the folder "
                                                   "'\\S+/missing' does not exist" +
                                                   exportFailed}
                                    << QStringList{};
    QTest::newRow("one bad destination writes nothing")
        << QStringList{"--export-xls", "%dir%/s.xls", "--export-pdf", "%dir%/missing/s.pdf"} << Setup::None
        << 1 << "" << QStringList{"does not exist" + exportFailed} << QStringList{};
    QTest::newRow("each bad destination is told")
        << QStringList{"--export-pdf", "%dir%/missing/s.pdf", "--export-png", "%dir%/s.png"}
        << Setup::FolderAtTarget << 1 << ""
        << QStringList{"s\\.pdf': the folder .* does not exist" + exportFailed,
                       "s\\.png': it is a folder" + exportFailed}
        << QStringList{"s.png/"};
    QTest::newRow("folder that takes no files")
        << QStringList{"--export-pdf", "/proc/quillberry.pdf"} << Setup::None << 1 << ""
        << QStringList{"^quillberry: Cannot write '/proc/quillberry\\.pdf': " + QStringLiteral(".+") +
                       exportFailed}
        << QStringList{};
    QTest::newRow("read-only file") << QStringList{"--export-pdf", "%dir%/s.pdf"} << Setup::ReadOnlyFile << 1
                                    << "" << QStringList{"s\\.pdf': .*not writable" + exportFailed}
                                    << QStringList{"s.pdf"};
    QTest::newRow("one file named twice")
        << QStringList{"--export-pdf", "%dir%/s", "--export-png", "%dir%/./s"} << Setup::None << 1 << ""
        << QStringList{"is named for two exports" + exportFailed} << QStringList{};
    QTest::newRow("stored amount that is no amount")
        << QStringList{"--export-pdf", "%dir%/s.pdf"} << Setup::AmountNoAmount << 1 << ""
        << QStringList{"txtAmountAssets3 \"lots\" is no amount \\(in \\S+\\.Export\\.LoadStoredStatement at line "
                       "140\\)$"}
        << QStringList{};
}

void TestCommandLine::exits() {
    QFETCH(QStringList, arguments);
    QFETCH(Setup, setup);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QStringList, problems);
    QFETCH(QStringList, files);

    const QByteArray old("what was there before");
    if (setup == Setup::OldFile || setup == Setup::ReadOnlyFile) {
        if (setup == Setup::ReadOnlyFile && ::geteuid() == 0)
            QSKIP("root writes read-only files");
        QFile file(out(QStringLiteral("s.pdf")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(old);
        file.close();
        if (setup == Setup::ReadOnlyFile)
            QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    }
    if (setup == Setup::FolderAtTarget)
        QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("s.png")));
    if (setup == Setup::AmountNoAmount)
        writeStore(shell::keys::assetAmount(3), QStringLiteral("lots"));

    const Result result = run(arguments, setup);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(QRegularExpression(output).match(result.out).hasMatch(), qPrintable(result.out));
    if (output.isEmpty())
        QCOMPARE(result.out, QString());
    QVERIFY2(result.errorLines.size() == problems.size(), qPrintable(result.errorLines.join(u'\n')));
    for (int i = 0; i < problems.size(); ++i)
        QVERIFY2(QRegularExpression(problems[i]).match(result.errorLines[i]).hasMatch(),
                 qPrintable(result.errorLines[i]));
    QCOMPARE(leftBehind(), files);
    // The job keeps its working files to itself.
    QCOMPARE(QDir(home_->filePath(QStringLiteral("temp"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());

    if (setup == Setup::ReadOnlyFile) {
        QCOMPARE(readAll(out(QStringLiteral("s.pdf"))), old);
        return;
    }
    for (const QString& name : files) {
        if (name.endsWith(u"pdf"))
            QVERIFY(readAll(out(name)).startsWith("%PDF-"));
        if (name.endsWith(u"png"))
            QCOMPARE(QImageReader(out(name)).format(), QByteArray("png"));
    }
}

void TestCommandLine::exportedFilesHoldTheStatement() {
    if (!missingTools_.isEmpty())
        QSKIP(qPrintable(missingTools_ + QStringLiteral(" (scripts/install-deps.sh installs it)")));
    const Result result =
        run({"--export-xls", out("s.xls"), "--export-pdf", out("s.pdf"), "--export-png", out("s.png")});
    QCOMPARE(result.exitCode, 0);

    // The workbook: the statement in its cells, saved as a workbook (no longer a template).
    const spreadsheet::Workbook workbook = spreadsheet::readWorkbookFile(out("s.xls"));
    QVERIFY(!workbook.isTemplate);
    const spreadsheet::Worksheet& sheet = workbook.sheets.at(size_t(workbook.activeSheetIndex()));
    QCOMPARE(*sheet.cell({1, 0})->text(), QStringLiteral("John Doe"));
    QCOMPARE(*sheet.cell({5, 1})->number(), 150.32);
    QCOMPARE(sheet.window.activeCell, (spreadsheet::CellRef{5, 1}));

    // The PDF: its information as a reader shows it, read without any repair of the cross-reference
    // (poppler says so on standard error), and the stored statement with its totals on the page.
    QString complaints;
    const QString info = tool(QStringLiteral("pdfinfo"), {out("s.pdf")}, &complaints);
    QCOMPARE(complaints, QString());
    QCOMPARE(infoEntry(info, QStringLiteral("Title")), QStringLiteral("Personal Financial Statement"));
    QCOMPARE(infoEntry(info, QStringLiteral("Author")), QStringLiteral("John Doe"));
    QCOMPARE(infoEntry(info, QStringLiteral("Creator")), QStringLiteral("Quillberry"));
    QVERIFY(infoEntry(info, QStringLiteral("Producer")).startsWith(u"Qt "));
    QVERIFY(!infoEntry(info, QStringLiteral("CreationDate")).isEmpty());
    QCOMPARE(infoEntry(info, QStringLiteral("Pages")), QStringLiteral("1"));
    const QString text = tool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), out("s.pdf"), "-"});
    for (const char* shown : {"John Doe", "3/5/2021", "19,750", "16,875"})
        QVERIFY2(text.contains(QLatin1String(shown)), shown);

    // The picture: the sheet's used range exactly as the engine draws it from the exported workbook.
    const QImage picture(out("s.png"));
    const QImage expected =
        spreadsheet::renderRange(workbook, workbook.activeSheetIndex(), *sheet.usedRange());
    QCOMPARE(picture.size(), expected.size());
    QCOMPARE(picture.convertToFormat(QImage::Format_RGB32), expected.convertToFormat(QImage::Format_RGB32));
}

QTEST_MAIN(TestCommandLine)
#include "tst_command_line.moc"
