// The whole job as a user does it: sample data, "Start Creating Template", the preview, back, again.

#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/program.h"
#include "entry/form1.h"
#include "preview/form2.h"
#include "shell/core/shutdown.h"
#include "shell/ui/message_boxes.h"
#include "spreadsheet/renderer.h"
#include "spreadsheet/workbook_reader.h"
#include "spreadsheet/workbook_writer.h"

namespace {

void click(QWidget* window, const char* button) {
    auto* pushButton = window->findChild<QPushButton*>(QString::fromLatin1(button));
    QVERIFY2(pushButton, button);
    pushButton->click();
}

// What an independent reader sees in the generated workbook, one "row: values" line per row.
QStringList readWithXlrd(const QString& path) {
    const QString script = QStringLiteral(
        "import sys, xlrd\n"
        "s = xlrd.open_workbook(sys.argv[1], formatting_info=True).sheet_by_index(0)\n"
        "print(s.name)\n"
        "for r in range(s.nrows):\n"
        "    print('%d: %s' % (r + 1, ' | '.join(str(s.cell_value(r, c)) for c in range(s.ncols))))\n");
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return {QString::fromUtf8(python.readAllStandardError())};
    return QString::fromUtf8(python.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The created and last-saved times an independent reader (gnumeric) finds in a workbook, in UTC.
QList<QDateTime> documentTimesWithGnumeric(const QString& path, const QString& folder) {
    const QString converted = QDir(folder).filePath(QStringLiteral("properties.gnumeric"));
    QProcess convert;
    convert.start(QStringLiteral("ssconvert"), {path, converted});
    if (!convert.waitForFinished(60000) || convert.exitCode() != 0)
        return {};
    QProcess unzip;
    unzip.start(QStringLiteral("zcat"), {converted});
    if (!unzip.waitForFinished(60000))
        return {};
    const QString meta = QString::fromUtf8(unzip.readAllStandardOutput());
    QList<QDateTime> times;
    for (const char* element : {"meta:creation-date", "dc:date"}) {
        const QRegularExpression pattern(QStringLiteral("<%1>([^<]+)</%1>").arg(QLatin1String(element)));
        times << QDateTime::fromString(pattern.match(meta).captured(1), Qt::ISODate);
    }
    return times;
}

}  // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void init() {
        QFile::remove(shell::SettingsStore::fileName());
        temp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(temp_->isValid());
        qputenv("TEMP", QFile::encodeName(temp_->path()));
        reports_.clear();
        programEnds_ = 0;
        shell::setEndProgramHandler([this](int) { ++programEnds_; });
        shell::MessageBoxes::setHandler([this](const shell::MessageRequest& request) {
            reports_ << request.text;
            return shell::MessageAnswer::Ok;
        });
    }
    void cleanup() {
        shell::MessageBoxes::setHandler({});
        shell::setEndProgramHandler({});
        qunsetenv("TEMP");
    }

    void startOnSettledStoreWritesNothing();
    void sampleDataThenGenerate();
    void backThenAnotherRun();
    void existingTemplateIsUsedThenDeleted();
    void unreadableTemplateIsReported();

private:
    QString tempFile(const QString& name) const { return temp_->filePath(name); }

    std::unique_ptr<QTemporaryDir> temp_;
    QStringList reports_;
    int programEnds_ = 0;
};

namespace {
// What a rewrite of the settings file changes: a synced store replaces the file (a new inode) and
// stamps it anew.
struct FileIdentity {
    ino_t inode = 0;
    timespec modified{};
    off_t size = 0;
    bool operator==(const FileIdentity& other) const {
        return inode == other.inode && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec && size == other.size;
    }
};

FileIdentity identityOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {info.st_ino, info.st_mtim, info.st_size};
}

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
}  // namespace

void TestEndToEnd::startOnSettledStoreWritesNothing() {
    const QString store = shell::SettingsStore::fileName();
    {
        app::Program first;
        first.start();
        click(&first.mainWindow(), "PushButton7");  // plain amounts such as "150.32" are stored
    }
    QVERIFY(contentsOf(store).contains("txtAmountAssets0=150.32"));
    {
        // A restore that reformats a value stores what the box now shows.
        app::Program second;
        second.start();
    }
    QVERIFY(contentsOf(store).contains("txtAmountAssets0=$150.32"));
    const FileIdentity settled = identityOf(store);
    const QByteArray settledText = contentsOf(store);
    QVERIFY(settled.inode != 0);
    {
        app::Program third;
        third.start();
        QCOMPARE(third.mainWindow().statement().assetAmounts[0], QStringLiteral("$150.32"));
    }
    QVERIFY(identityOf(store) == settled);
    QCOMPARE(contentsOf(store), settledText);
    QCOMPARE(reports_, QStringList{});
    QCOMPARE(programEnds_, 0);
}

void TestEndToEnd::sampleDataThenGenerate() {
    app::Program program;
    program.start();
    click(&program.mainWindow(), "PushButton7");
    const QDateTime started = QDateTime::currentDateTimeUtc().addSecs(-1);
    click(&program.mainWindow(), "PushButton22");
    const QDateTime ended = QDateTime::currentDateTimeUtc().addSecs(1);
    QCOMPARE(reports_, QStringList{});

    QVERIFY(program.previewLoaded());
    preview::Form2& form2 = program.preview();
    QVERIFY(form2.isVisible());
    QVERIFY(program.mainWindow().isHidden());
    QVERIFY(program.mainWindow().updatesEnabled());
    QCOMPARE(program.mainWindow().mousePointer(), shell::MousePointer::Default);
    QVERIFY(!form2.firstShowDue());

    QVERIFY(QFile::exists(form2.excelFile()));
    QCOMPARE(QFileInfo(form2.excelFile()).absolutePath(), QFileInfo(temp_->path()).absoluteFilePath());
    QVERIFY(!QFile::exists(tempFile(QStringLiteral("template.xlt"))));
    QVERIFY(!QFile::exists(tempFile(QStringLiteral("temp.bmp"))));

    const auto saved = spreadsheet::readWorkbookFile(form2.excelFile());
    const QImage expected = spreadsheet::renderRange(saved, 0, *saved.sheets[0].usedRange());
    QCOMPARE(form2.view().picture().size(), expected.size());

    const QStringList rows = readWithXlrd(form2.excelFile());
    QVERIFY2(rows.size() > 28, qPrintable(rows.join(QLatin1Char('\n'))));
    QCOMPARE(rows[0], QStringLiteral("Personal Finance Statement"));
    QCOMPARE(rows[2], QStringLiteral("2: John Doe | "));
    QCOMPARE(rows[6], QStringLiteral("6: Cash - checking accounts | 150.32"));
    QCOMPARE(rows[14], QStringLiteral("14: Real estate (market value) | 15000.0"));
    QCOMPARE(rows[17], QStringLiteral("17: Total Assets | 19749.79"));
    QCOMPARE(rows[26], QStringLiteral("26: Total Liabilities | 2875.14"));
    QCOMPARE(rows[28], QStringLiteral("28: Net Worth | 16874.65"));

    // The document properties carry the time of the run as created and last-saved times.
    const QList<QDateTime> times = documentTimesWithGnumeric(form2.excelFile(), temp_->path());
    QCOMPARE(times.size(), 2);
    for (const QDateTime& time : times)
        QVERIFY2(time >= started && time <= ended, qPrintable(time.toString(Qt::ISODate)));
}

void TestEndToEnd::backThenAnotherRun() {
    app::Program program;
    program.start();
    click(&program.mainWindow(), "PushButton7");
    click(&program.mainWindow(), "PushButton22");
    QVERIFY(program.previewLoaded());
    preview::Form2& form2 = program.preview();
    const QString first = form2.excelFile();
    // The sheet is too tall to zoom in past the view's limit, so zoom out.
    click(&form2, "PushButton2");
    QCOMPARE(form2.view().zoom(), 0.75f);

    click(&form2, "PushButton8");  // < Back
    QVERIFY(!QFile::exists(first));
    QVERIFY(program.mainWindow().isVisible());
    QVERIFY(form2.isHidden());

    click(&program.mainWindow(), "PushButton22");
    QCOMPARE(reports_, QStringList{});
    QCOMPARE(&program.preview(), &form2);
    QVERIFY(form2.isVisible());
    QVERIFY(program.mainWindow().isHidden());
    QVERIFY(form2.excelFile() != first);
    QVERIFY(QFile::exists(form2.excelFile()));
    QCOMPARE(form2.view().zoom(), 1.0f);
    QVERIFY(!form2.view().picture().isNull());
}

void TestEndToEnd::existingTemplateIsUsedThenDeleted() {
    spreadsheet::Workbook own;
    own.addSheet(QStringLiteral("Mine"));
    own.sheets[0].cellForWriting({0, 0}).value = QStringLiteral("My own layout");
    own.sheets[0].cellForWriting({30, 2}).value = 1.0;
    spreadsheet::writeWorkbookFile(own, tempFile(QStringLiteral("template.xlt")));

    app::Program program;
    program.start();
    click(&program.mainWindow(), "PushButton7");
    click(&program.mainWindow(), "PushButton22");
    QCOMPARE(reports_, QStringList{});
    QVERIFY(!QFile::exists(tempFile(QStringLiteral("template.xlt"))));
    const QStringList rows = readWithXlrd(program.preview().excelFile());
    QVERIFY2(rows.size() > 2, qPrintable(rows.join(QLatin1Char('\n'))));
    QCOMPARE(rows[0], QStringLiteral("Mine"));
    QVERIFY(rows[1].startsWith(QStringLiteral("1: My own layout")));
    QVERIFY(rows[2].startsWith(QStringLiteral("2: John Doe")));
}

void TestEndToEnd::unreadableTemplateIsReported() {
    QFile garbage(tempFile(QStringLiteral("template.xlt")));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(600, '\xff'));
    garbage.close();

    app::Program program;
    program.start();
    click(&program.mainWindow(), "PushButton22");
    QVERIFY(!reports_.isEmpty());
    QVERIFY2(reports_.first().contains(
                 QStringLiteral("in Tallowmere2021/08/31.Form1.PushButton22_Click at line 110")),
             qPrintable(reports_.first()));
    // The run went on to the end: the preview came up without a picture, the main window went away.
    QVERIFY(program.previewLoaded());
    QVERIFY(program.preview().isVisible());
    QVERIFY(program.preview().view().picture().isNull());
    QVERIFY(program.mainWindow().isHidden());
    QVERIFY(!QFile::exists(garbage.fileName()));
    // The workbook was not saved: the preview holds its name, an empty claim, which closing removes.
    const QString workbook = program.preview().excelFile();
    QCOMPARE(QFileInfo(workbook).size(), 0);
    QVERIFY(program.preview().close());
    QVERIFY(!QFile::exists(workbook));
}

QTEST_MAIN(TestEndToEnd)
#include "tst_end_to_end.moc"
