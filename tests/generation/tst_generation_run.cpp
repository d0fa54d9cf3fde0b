// The generation run behind "Start Creating Template", with the windows replaced by a recorder.

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

#include "generation/application.h"
#include "generation/automation.h"
#include "generation/generation_run.h"
#include "generation/run_progress.h"
#include "generation/temporary_folder.h"
#include "generation_fixtures.h"
#include "shell/core/error_report.h"
#include "spreadsheet/renderer.h"
#include "spreadsheet/typed_entry.h"
#include "spreadsheet/workbook_reader.h"
#include "tests/common/test_classes.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace generation;
using fixtures::digits;
using fixtures::Recorder;

namespace {

// Clock in milliseconds and the share reached; a negative share is the run's end.
using ProgressSteps = QList<QPair<int, int>>;

double numberAt(const spreadsheet::Workbook& workbook, int row, int column) {
    const auto* cell = workbook.sheets[0].cell({row, column});
    if (!cell || !cell->isNumber())
        return -1;
    return *cell->number();
}

QString textAt(const spreadsheet::Workbook& workbook, int row, int column) {
    const auto* cell = workbook.sheets[0].cell({row, column});
    return cell && cell->isText() ? *cell->text() : QString();
}

}  // namespace

class TestGenerationRun : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void init() {
        temp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(temp_->isValid());
        qputenv("TEMP", QFile::encodeName(temp_->path()));
    }
    void cleanup() {
        setObjectFactory({});
        qunsetenv("TEMP");
        qunsetenv("TMPDIR");
    }

    void sampleStatementEndToEnd();
    void nameIsDrawnAnewWhilePathExists();
    void existingTemplateIsUsedThenDeleted();
    void unreadableTemplateIsReportedAndRunGoesOn();
    void withoutSpreadsheetApplicationEveryDependentLineReports();
    void withoutTempUsesPrivateFolder();
    void pictureTooLargeLeavesWorkbookSavedAndPreviewWithoutPicture();
    void progressShowsOnlyForALongRun_data();
    void progressShowsOnlyForALongRun();

private:
    std::unique_ptr<QTemporaryDir> temp_;
};

void TestGenerationRun::sampleStatementEndToEnd() {
    fixtures::Reports reports;
    Recorder recorder;
    GenerationRun run(recorder.handOver());
    const QDateTime started = QDateTime::currentDateTimeUtc().addSecs(-1);
    run.PushButton22_Click(fixtures::sampleStatement());
    const QDateTime ended = QDateTime::currentDateTimeUtc().addSecs(1);
    QCOMPARE(reports.texts, QStringList{});

    QCOMPARE(recorder.events, (QStringList{"suspend 1", "pointer 11", "pointer 11", "pointer 0", "picture",
                                           "path", "rearm", "show", "hide", "suspend 0"}));
    QCOMPARE(QFileInfo(recorder.path).absolutePath(), QFileInfo(temp_->path()).absoluteFilePath());
    QVERIFY2(QRegularExpression(QStringLiteral("/vornik[1-9]{8}\\.xls$")).match(recorder.path).hasMatch(),
             qPrintable(recorder.path));
    QVERIFY(QFile::exists(recorder.path));
    QVERIFY(!QFile::exists(temp_->filePath(QStringLiteral("template.xlt"))));
    QVERIFY(!QFile::exists(temp_->filePath(QStringLiteral("temp.bmp"))));

    const auto saved = spreadsheet::readWorkbookFile(recorder.path);
    QVERIFY(!saved.isTemplate);
    // Made from the template and saved by this run: both times are the run's, not the template's.
    for (const QDateTime& stamp : {saved.properties.created, saved.properties.lastSaved})
        QVERIFY2(stamp >= started && stamp <= ended, qPrintable(stamp.toString(Qt::ISODate)));
    QCOMPARE(textAt(saved, 1, 0), QStringLiteral("John Doe"));
    QCOMPARE(numberAt(saved, 2, 0), spreadsheet::dateSerial(QDate(2021, 3, 5), false));
    QCOMPARE(textAt(saved, 5, 0), QStringLiteral("Cash - checking accounts"));
    QCOMPARE(numberAt(saved, 5, 1), 150.32);
    QCOMPARE(numberAt(saved, 13, 1), 15000.0);
    QCOMPARE(textAt(saved, 24, 0), QStringLiteral("Other liabilities (specify)"));
    QCOMPARE(numberAt(saved, 24, 1), 798.41);
    QVERIFY(qFuzzyCompare(numberAt(saved, 16, 1), 19749.79));
    QVERIFY(qFuzzyCompare(numberAt(saved, 25, 1), 2875.14));
    QVERIFY(qFuzzyCompare(numberAt(saved, 27, 1), 16874.65));
    QCOMPARE(saved.sheets[0].window.activeCell, (spreadsheet::CellRef{5, 1}));

    const auto used = saved.sheets[0].usedRange();
    QVERIFY(used.has_value());
    const QImage expected = spreadsheet::renderRange(saved, 0, *used);
    QCOMPARE(recorder.picture.size(), expected.size());
    QCOMPARE(QGuiApplication::clipboard()->image().size(), expected.size());

    // A second run draws a new name and leaves the first workbook to the preview that owns it.
    Recorder second;
    GenerationRun again(second.handOver());
    again.PushButton22_Click(fixtures::sampleStatement());
    QVERIFY(second.path != recorder.path);
    QVERIFY(QFile::exists(second.path));
    QCOMPARE(reports.texts, QStringList{});
}

void TestGenerationRun::nameIsDrawnAnewWhilePathExists() {
    for (const auto* taken : {"vornik11111111.xls", "vornik22222222.xls"}) {
        QFile file(temp_->filePath(QString::fromLatin1(taken)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("taken");
    }
    fixtures::Reports reports;
    Recorder recorder;
    GenerationRun run(recorder.handOver());
    run.setFractionSource(digits(QStringLiteral("111111112222222293939393")));
    run.PushButton22_Click(fixtures::sampleStatement());
    QCOMPARE(reports.texts, QStringList{});
    QCOMPARE(recorder.path, temp_->filePath(QStringLiteral("vornik93939393.xls")));
    QCOMPARE(run.lastWorkbookPath(), recorder.path);
    QFile kept(temp_->filePath(QStringLiteral("vornik11111111.xls")));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("taken"));
}

void TestGenerationRun::existingTemplateIsUsedThenDeleted() {
    const QString templ =
        fixtures::writeWorkbook(temp_->path(), QStringLiteral("template.xlt"), [](auto& wb) {
            wb.sheets[0].cellForWriting({0, 0}).value = QStringLiteral("A template of my own");
            wb.sheets[0].cellForWriting({40, 3}).value = 1.0;
        });
    fixtures::Reports reports;
    Recorder recorder;
    GenerationRun run(recorder.handOver());
    run.PushButton22_Click(fixtures::sampleStatement());
    QCOMPARE(reports.texts, QStringList{});
    QVERIFY(!QFile::exists(templ));
    const auto saved = spreadsheet::readWorkbookFile(recorder.path);
    QCOMPARE(textAt(saved, 0, 0), QStringLiteral("A template of my own"));
    QCOMPARE(textAt(saved, 1, 0), QStringLiteral("John Doe"));
    QCOMPARE(recorder.picture.size(), spreadsheet::renderRange(saved, 0, {{0, 0}, {40, 3}}).size());
}

void TestGenerationRun::unreadableTemplateIsReportedAndRunGoesOn() {
    QFile garbage(temp_->filePath(QStringLiteral("template.xlt")));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(19456, '\x5a'));
    garbage.close();
    fixtures::Reports reports;
    Recorder recorder;
    GenerationRun run(recorder.handOver());
    run.PushButton22_Click(fixtures::sampleStatement());

    QVERIFY(!reports.lines.isEmpty());
    QCOMPARE(reports.lines.first(), 110);
    QVERIFY(
        reports.texts.first().contains(QStringLiteral("in Tallowmere2021/08/31.Form1.PushButton22_Click ")));
    QVERIFY(reports.texts.first().contains(QStringLiteral("Method 'Open' of object 'Workbooks' failed")));
    for (int line : {118, 120, 124, 126, 134, 136, 140, 160, 164, 170, 186})
        QVERIFY2(reports.lines.contains(line), qPrintable(QString::number(line)));
    // No workbook was saved: its claimed name holds nothing.
    QCOMPARE(QFileInfo(recorder.path).size(), 0);
    QVERIFY(!QFile::exists(garbage.fileName()));
    QVERIFY(recorder.picture.isNull());
    QVERIFY(recorder.events.contains(QStringLiteral("show")));
    QCOMPARE(recorder.events.last(), QStringLiteral("suspend 0"));
}

void TestGenerationRun::withoutSpreadsheetApplicationEveryDependentLineReports() {
    setObjectFactory([](const QString&) { return std::shared_ptr<Application>(); });
    fixtures::Reports reports;
    Recorder recorder;
    GenerationRun run(recorder.handOver());
    run.PushButton22_Click(fixtures::sampleStatement());

    QList<int> expected{104, 110, 118, 120};
    for (int i = 0; i < shell::kAssetLines; ++i)
        expected << 124 << 126;
    for (int i = 0; i < shell::kLiabilityLines; ++i)
        expected << 134 << 136;
    expected << 140 << 142 << 160 << 162 << 164 << 166 << 170 << 174;
    expected << 100 << 102 << 104;  // the picture export's own reports
    expected << 178 << 180 << 182 << 186;
    QCOMPARE(reports.lines, expected);
    QVERIFY(reports.texts.at(0).startsWith(QStringLiteral("ActiveX component can't create object")));
    QVERIFY(
        reports.texts.at(expected.indexOf(100)).contains(QStringLiteral(".Excel1.saveCellsActivesheet ")));
    // No workbook was saved: its claimed name holds nothing.
    QCOMPARE(QFileInfo(recorder.path).size(), 0);
    QVERIFY(!QFile::exists(temp_->filePath(QStringLiteral("template.xlt"))));
}

void TestGenerationRun::withoutTempUsesPrivateFolder() {
#ifdef Q_OS_UNIX
    qunsetenv("TEMP");
    qputenv("TMPDIR", QFile::encodeName(temp_->path()));
    const QString privateFolder = temp_->filePath(QStringLiteral("quillberry-%1").arg(::getuid()));
    // A folder left open to others by an earlier program is closed again before use.
    QVERIFY(QDir().mkdir(privateFolder));
    QVERIFY(::chmod(QFile::encodeName(privateFolder).constData(), 0777) == 0);

    fixtures::Reports reports;
    Recorder recorder;
    GenerationRun run(recorder.handOver());
    run.PushButton22_Click(fixtures::sampleStatement());
    QCOMPARE(reports.texts, QStringList{});
    QCOMPARE(QFileInfo(recorder.path).absolutePath(), privateFolder);
    QVERIFY(QFile::exists(recorder.path));
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(privateFolder).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0700u);
    QCOMPARE(QDir(privateFolder).entryList(QDir::Files), QStringList{QFileInfo(recorder.path).fileName()});

    // A name planted in the shared folder that leads elsewhere is refused, not followed.
    QVERIFY(QDir(privateFolder).removeRecursively());
    QTemporaryDir elsewhere;
    QVERIFY(QFile::link(elsewhere.path(), privateFolder));
    bool refused = false;
    try {
        temporaryFolder();
    } catch (const shell::RuntimeError&) {
        refused = true;
    }
    QVERIFY(refused);
#else
    QSKIP("The private folder's permissions are checked on Unix only");
#endif
}

void TestGenerationRun::pictureTooLargeLeavesWorkbookSavedAndPreviewWithoutPicture() {
    // One value far down makes a used range whose picture would take hundreds of megabytes.
    fixtures::writeWorkbook(temp_->path(), QStringLiteral("template.xlt"), [](auto& wb) {
        wb.sheets[0].cellForWriting({0, 0}).value = QStringLiteral("A tall template");
        wb.sheets[0].cellForWriting({59999, 7}).value = 1.0;
    });
    // A picture an earlier run left on the clipboard is not taken for this one's.
    QGuiApplication::clipboard()->setImage(QImage(40, 30, QImage::Format_RGB32));
    fixtures::Reports reports;
    Recorder recorder;
    GenerationRun run(recorder.handOver());
    run.PushButton22_Click(fixtures::sampleStatement());

    QVERIFY(!reports.lines.isEmpty());
    QCOMPARE(reports.lines.first(), 110);
    QVERIFY2(reports.texts.first().contains(QStringLiteral(".Excel1.saveCellsActivesheet ")),
             qPrintable(reports.texts.first()));
    QVERIFY2(reports.texts.first().contains(QStringLiteral("The picture is too large: A1:H60000 is ")),
             qPrintable(reports.texts.first()));
    // Nothing else of the run fails but loading the picture that was never written.
    QVERIFY(
        std::all_of(reports.lines.begin() + 1, reports.lines.end(), [](int line) { return line == 186; }));
    QVERIFY(!QFile::exists(temp_->filePath(QStringLiteral("temp.bmp"))));
    const auto saved = spreadsheet::readWorkbookFile(recorder.path);
    QCOMPARE(textAt(saved, 1, 0), QStringLiteral("John Doe"));
    QCOMPARE(numberAt(saved, 59999, 7), 1.0);
    QVERIFY(recorder.picture.isNull());
    QVERIFY(recorder.events.contains(QStringLiteral("show")));
    QCOMPARE(recorder.events.last(), QStringLiteral("suspend 0"));
}

void TestGenerationRun::progressShowsOnlyForALongRun_data() {
    // Each step: the clock in milliseconds, then the share reached; -1 for the run's end.
    QTest::addColumn<ProgressSteps>("steps");
    QTest::addColumn<QList<int>>("shown");
    using Steps = ProgressSteps;
    QTest::newRow("within a second: nothing")
        << Steps{{10, 10}, {500, 60}, {999, 100}, {999, -1}} << QList<int>{};
    QTest::newRow("long: shown after a second, then taken away")
        << Steps{{10, 10}, {1000, 40}, {1050, 50}, {1100, 60}, {1300, 100}, {1300, -1}}
        << QList<int>{40, 60, 100, -1};
    QTest::newRow("never backwards") << Steps{{1200, 70}, {1400, 30}, {1400, -1}} << QList<int>{70, 70, -1};
}

void TestGenerationRun::progressShowsOnlyForALongRun() {
    QFETCH(ProgressSteps, steps);
    QFETCH(QList<int>, shown);
    qint64 now = 0;
    QList<int> seen;
    RunProgress progress([&](int percent) { seen << percent; }, [&] { return now; });
    for (const auto& [clock, percent] : steps) {
        now = clock;
        if (percent < 0)
            progress.finish();
        else
            progress.reach(percent);
    }
    QCOMPARE(seen, shown);
}

testing::TestClass generationRunTests() {
    return testing::testClass<TestGenerationRun>();
}

#include "tst_generation_run.moc"
