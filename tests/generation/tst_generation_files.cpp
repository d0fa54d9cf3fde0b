// The generation run's files in a temporary folder that other users share, as /tmp is: links and other
// users' files planted at the run's names, a folder that cannot be used, names that are all taken, a
// template cut off while written, a damaged template.

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>
#include <cstdio>
#include <memory>
#include <optional>

#include "generation/automation.h"
#include "generation/generation_run.h"
#include "generation_fixtures.h"
#include "shell/core/safe_file.h"
#include "tests/common/file_system_faults.h"
#include "tests/common/test_classes.h"
#include "tests/common/test_files.h"

#include <unistd.h>

using namespace generation;

namespace {

const QStringList kEndedAtOnce{"suspend 1", "pointer 11", "pointer 0", "suspend 0"};

using testing::contentOf;
using testing::entriesOf;
using testing::writeFile;

// Everything written on standard error while alive, the process's own descriptor included.
class StandardErrorCapture {
public:
    StandardErrorCapture() {
        file_.open();
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        ::dup2(file_.handle(), STDERR_FILENO);
    }
    QByteArray finish() {
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        file_.seek(0);
        return file_.readAll();
    }

private:
    QTemporaryFile file_;
    int saved_ = -1;
};

}  // namespace

class TestGenerationFiles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void init();
    void cleanup();

    void plantedNamesInSharedFolder_data();
    void plantedNamesInSharedFolder();
    void unusableTemporaryFolderEndsRunAtOnce_data();
    void unusableTemporaryFolderEndsRunAtOnce();
    void nameSearchGivesUp();
    void templateIsWrittenWholeOrNotAtAll();
    void damagedTemplateIsReportedQuietly();

private:
    QString shared(const QString& name) const { return shared_->filePath(name); }

    std::unique_ptr<QTemporaryDir> shared_;  // T, open to everyone like /tmp
    std::unique_ptr<QTemporaryDir> home_;    // the user's own files
};

void TestGenerationFiles::init() {
    shared_ = std::make_unique<QTemporaryDir>();
    home_ = std::make_unique<QTemporaryDir>();
    QVERIFY(shared_->isValid() && home_->isValid());
    testing::setMode(shared_->path(), 01777);
    testing::giveToUser(home_->path());
    qputenv("TEMP", QFile::encodeName(shared_->path()));
}

void TestGenerationFiles::cleanup() {
    setObjectFactory({});
    qunsetenv("TEMP");
}

// A link at one of the run's three names, or another user's file there. The link's target is never
// written, truncated or deleted and nothing is created outside T. A link the user may remove is
// replaced by the program's own file; what the program may not remove makes the step report.
void TestGenerationFiles::plantedNamesInSharedFolder_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("planted");
    QTest::addColumn<QList<int>>("lines");
    QTest::addColumn<QString>("reason");
    const QString workbook = QStringLiteral("vornik11111111.xls");
    for (const QString& name : {QStringLiteral("template.xlt"), QStringLiteral("temp.bmp"), workbook}) {
        for (const char* planted : {"dangling link", "link to the user's file"})
            QTest::addRow("%s, %s", qPrintable(name), planted) << name << planted << QList<int>() << "";
    }
    const QString linkReason = QStringLiteral("a link the program cannot remove");
    const QString fileReason = QStringLiteral("the file belongs to another user");
    QTest::newRow("template.xlt, another user's link")
        << "template.xlt"
        << "another user's link" << QList<int>{108} << linkReason;
    QTest::newRow("template.xlt, another user's file")
        << "template.xlt"
        << "another user's file" << QList<int>{108} << fileReason;
    QTest::newRow("temp.bmp, another user's link")
        << "temp.bmp"
        << "another user's link" << QList<int>{112, 186} << "a link, which is not followed";
    QTest::newRow("temp.bmp, another user's file")
        << "temp.bmp"
        << "another user's file" << QList<int>{112, 186} << fileReason;
    QTest::newRow("workbook name, another user's link")
        << workbook << "another user's link" << QList<int>() << "";
}

void TestGenerationFiles::plantedNamesInSharedFolder() {
    QFETCH(QString, name);
    QFETCH(QString, planted);
    QFETCH(QList<int>, lines);
    QFETCH(QString, reason);
    const bool anotherUser = planted.startsWith(QStringLiteral("another user's"));
    if (anotherUser && !testing::runningAsRoot())
        QSKIP("Files of another user can be planted only when the tests run as root");

    const QString users = home_->filePath(QStringLiteral("budget.xls"));
    if (planted != QStringLiteral("dangling link")) {
        writeFile(users, "the user's own budget");
        testing::giveToUser(users);
        testing::setMode(users, 0640);
    }
    const QString at = shared(name);
    if (planted == QStringLiteral("another user's file"))
        QVERIFY(QFile::copy(users, at));
    else
        QVERIFY(QFile::link(users, at));
    testing::giveToUser(at, anotherUser ? testing::kOtherUser : testing::kOrdinaryUser);
    if (planted == QStringLiteral("another user's file"))
        testing::setMode(at, 0644);  // readable: only its owner makes it unfit
    const QByteArray plantedContent = contentOf(at);
    const QStringList homeBefore = entriesOf(home_->path());

    fixtures::Reports reports;
    fixtures::Recorder recorder;
    GenerationRun run(recorder.handOver());
    run.setFractionSource(fixtures::digits(QStringLiteral("1111111122222222")));
    {
        testing::AsOrdinaryUser user;
        run.PushButton22_Click(fixtures::sampleStatement());
    }

    QCOMPARE(reports.lines, lines);
    if (!lines.isEmpty())
        QVERIFY2(reports.texts.last().contains(reason), qPrintable(reports.texts.last()));
    QCOMPARE(entriesOf(home_->path()), homeBefore);
    if (planted != QStringLiteral("dangling link")) {
        QCOMPARE(contentOf(users), QByteArray("the user's own budget"));
        QCOMPARE(testing::modeOf(users), mode_t(0640));
    }
    // What the user could not remove stays as it was; a link of the user's own was replaced and the
    // file in its place deleted at the end, except at a workbook name, which the run merely passes by.
    const bool stays = anotherUser || name.startsWith(QStringLiteral("vornik"));
    QCOMPARE(shell::pathTaken(at), stays);
    if (stays)
        QCOMPARE(contentOf(at), plantedContent);

    QStringList expected;
    if (stays)
        expected << name;
    if (lines == QList<int>{108}) {
        QCOMPARE(recorder.events, kEndedAtOnce);
        QCOMPARE(run.lastWorkbookPath(), QString());
    } else {
        // The run went on to the end with a workbook of its own.
        QCOMPARE(recorder.events.last(), QStringLiteral("suspend 0"));
        QVERIFY(recorder.events.contains(QStringLiteral("show")));
        QCOMPARE(recorder.picture.isNull(), lines.contains(186));
        QVERIFY(recorder.path != at);
        QVERIFY(QFileInfo(recorder.path).isFile() && !QFileInfo(recorder.path).isSymLink());
        QCOMPARE(QFileInfo(recorder.path).absolutePath(), QFileInfo(shared_->path()).absoluteFilePath());
        expected << QFileInfo(recorder.path).fileName();
    }
    expected.sort();
    QCOMPARE(entriesOf(shared_->path()), expected);
}

// A T that is missing, a file or not writable: one report at line 108 with the reason, and the run
// ends there with the pointer and drawing given back and no preview.
void TestGenerationFiles::unusableTemporaryFolderEndsRunAtOnce_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "none"
                             << "Path not found: '%1' (the folder does not exist)";
    QTest::newRow("a file") << "file"
                            << "Path not found: '%1' (not a folder)";
    QTest::newRow("not writable") << "read-only"
                                  << "Permission denied: '%1' (the folder is read-only)";
}

void TestGenerationFiles::unusableTemporaryFolderEndsRunAtOnce() {
    QFETCH(QString, folder);
    QFETCH(QString, reason);
    const QString temp = shared(folder);
    if (folder == QStringLiteral("file"))
        writeFile(temp, "not a folder");
    if (folder == QStringLiteral("read-only")) {
        QVERIFY(QDir().mkdir(temp));
        testing::giveToUser(temp);
        testing::setMode(temp, 0555);
    }
    qputenv("TEMP", QFile::encodeName(temp));
    const QStringList before = entriesOf(shared_->path());

    fixtures::Reports reports;
    fixtures::Recorder recorder;
    GenerationRun run(recorder.handOver());
    {
        testing::AsOrdinaryUser user;
        run.PushButton22_Click(fixtures::sampleStatement());
    }
    QCOMPARE(reports.lines, QList<int>{108});
    const QString expected =
        reason.arg(temp) + QStringLiteral("\r\nin Tallowmere2021/08/31.Form1.PushButton22_Click at line 108");
    QVERIFY2(reports.texts[0].startsWith(expected), qPrintable(reports.texts[0]));
    QCOMPARE(recorder.events, kEndedAtOnce);
    QCOMPARE(entriesOf(shared_->path()), before);
    if (folder == QStringLiteral("read-only"))
        QCOMPARE(entriesOf(temp), QStringList());
}

// When every name drawn is taken, the search reports at line 158 after 1000 names instead of drawing
// for ever, and nothing is saved over a name the run does not hold.
void TestGenerationFiles::nameSearchGivesUp() {
    const QString taken = shared(QStringLiteral("vornik11111111.xls"));
    writeFile(taken, "taken");
    int draws = 0;
    fixtures::Reports reports;
    fixtures::Recorder recorder;
    GenerationRun run(recorder.handOver());
    run.setFractionSource([&draws] {
        ++draws;
        return 0.01;
    });
    run.PushButton22_Click(fixtures::sampleStatement());

    QCOMPARE(draws, 8 * kWorkbookNameAttempts);
    QVERIFY(!reports.lines.isEmpty());
    QCOMPARE(reports.lines.first(), 158);
    QCOMPARE(reports.lines.count(158), 1);
    const QString expected = QStringLiteral(
                                 "File already exists: '%1' (1000 workbook names in a row were taken)\r\n"
                                 "in Tallowmere2021/08/31.Form1.PushButton22_Click at line 158")
                                 .arg(taken);
    QVERIFY2(reports.texts.first().startsWith(expected), qPrintable(reports.texts.first()));
    QCOMPARE(contentOf(taken), QByteArray("taken"));
    QCOMPARE(entriesOf(shared_->path()), QStringList{"vornik11111111.xls"});
    QCOMPARE(recorder.events.last(), QStringLiteral("suspend 0"));
}

// A template write cut off halfway leaves no template.xlt, which a later run would take for the user's
// own, and no partial file; the run reports at 108 and goes on, as for any other failing step. The
// workbook cannot be saved either (160): its name stays claimed by an empty file, which later reports
// and the preview name, and nothing else is left.
void TestGenerationFiles::templateIsWrittenWholeOrNotAtAll() {
    fixtures::Reports reports;
    fixtures::Recorder recorder;
    GenerationRun run(recorder.handOver());
    {
        testing::FileSizeLimit limit(4096);
        run.PushButton22_Click(fixtures::sampleStatement());
    }
    QVERIFY(reports.lines.size() > 2);
    QCOMPARE(reports.lines.mid(0, 2), (QList<int>{108, 110}));
    QVERIFY2(reports.texts[0].startsWith(
                 QStringLiteral("Path/File access error: '%1' (File too large)").arg(shared("template.xlt"))),
             qPrintable(reports.texts[0]));
    QVERIFY(recorder.events.contains(QStringLiteral("show")));
    QVERIFY(!recorder.path.isEmpty());
    QCOMPARE(QFileInfo(recorder.path).size(), 0);
    QCOMPARE(entriesOf(shared_->path()), QStringList{QFileInfo(recorder.path).fileName()});
    const qsizetype opened = reports.lines.indexOf(170);
    QVERIFY(reports.lines.contains(160) && opened > 0);
    QVERIFY2(reports.texts[opened].startsWith(
                 QStringLiteral("'%1' was not saved, so it cannot be opened\r\n").arg(recorder.path)),
             qPrintable(reports.texts[opened]));
}

// libgsf complains about a damaged file on standard error; the run's own report is all the user gets.
void TestGenerationFiles::damagedTemplateIsReportedQuietly() {
    QFile resource(QStringLiteral(":/CUSTOM/101"));
    QVERIFY(resource.open(QIODevice::ReadOnly));
    QByteArray damaged = resource.readAll();
    // The first sector of the allocation table points far past the end of the file.
    damaged.replace(0x4C, 4, QByteArray::fromHex("ff57ffff"));
    writeFile(shared(QStringLiteral("template.xlt")), damaged);

    fixtures::Reports reports;
    fixtures::Recorder recorder;
    GenerationRun run(recorder.handOver());
    StandardErrorCapture standardError;
    run.PushButton22_Click(fixtures::sampleStatement());
    const QByteArray printed = standardError.finish();

    QVERIFY(!reports.lines.isEmpty());
    QCOMPARE(reports.lines.first(), 110);
    QVERIFY2(reports.texts.first().startsWith(QStringLiteral("Method 'Open' of object 'Workbooks' failed: ")),
             qPrintable(reports.texts.first()));
    QCOMPARE(printed, QByteArray());
}

testing::TestClass generationFilesTests() {
    return testing::testClass<TestGenerationFiles>();
}

#include "tst_generation_files.moc"
