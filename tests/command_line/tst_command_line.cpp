// The program as a script runs it: `quillberry` started as a process with no display at all (no DISPLAY,
// no WAYLAND_DISPLAY, no QT_QPA_PLATFORM), on a store holding the sample statement. Each row is one
// command line: its exit code, its lines on standard error, and exactly which files it leaves behind
// (no partial file, no temporary file, no folder made, nothing in TEMP or TMPDIR). The exported files are
// read back independently: the workbook by the engine's reader, the PDF by poppler's tools.
//
// Rows that need the file system to refuse something run the program as an ordinary user when the suite
// runs as root; rows that need strace skip, saying so, where it is missing.

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>
#include <memory>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "entry/sample_data.h"
#include "shell/core/leftovers.h"
#include "shell/core/locale_amount.h"
#include "shell/core/product.h"
#include "shell/core/settings_keys.h"
#include "shell/core/settings_store.h"
#include "spreadsheet/renderer.h"
#include "spreadsheet/workbook_reader.h"
#include "tests/common/oracles.h"
#include "tests/common/test_files.h"

namespace {

struct Result {
    int exitCode = -1;
    int signal = 0;  // the signal that ended the program, if one did
    QByteArray out;
    QStringList errorLines;
};

// How a row runs the program.
struct RunOptions {
    bool asUser = false;                             // as the ordinary user when the suite runs as root
    QString standardOutput;                          // a file standard output goes to
    rlim_t fileSizeLimit = 0;                        // ulimit -f, in bytes
    std::function<void(qint64 pid)> whileRunning;    // called once the program runs
    QString locale = QStringLiteral("en_US.UTF-8");  // LANG and LC_ALL of the run
};

enum class Setup {
    None,
    OldFile,
    FolderAtTarget,
    AmountNoAmount,
    UnreachableDisplay,
    FullOutput,
    ClosedOutput,
    PlatformInEnvironment,
    FolderAtTemplate,
    LongText,
};

constexpr uid_t kOrdinaryUser = 65534;

bool runningAsRoot() {
    return ::geteuid() == 0;
}

// Gives a whole tree to the ordinary user, so that the program run as that user can use it.
void giveTreeToUser(const QString& root) {
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    QStringList paths{root};
    while (it.hasNext())
        paths << it.next();
    for (const QString& path : paths)
        if (::lchown(QFile::encodeName(path).constData(), kOrdinaryUser, kOrdinaryUser) != 0)
            qFatal("cannot give %s to the ordinary user", qPrintable(path));
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

mode_t typeOf(const QByteArray& path) {
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0 ? info.st_mode & S_IFMT : 0;
}

ino_t inodeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

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

// The reading end of a pipe, on a thread of its own: reads everything, or closes at once, or holds the
// pipe open without reading, its buffer made as small as the system allows.
class PipeReader {
public:
    enum class Mode { ReadAll, CloseAtOnce, Stall };
    PipeReader(const QString& path, Mode mode) {
        thread_ = std::thread([this, path, mode] {
            const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                return;
            if (mode == Mode::Stall) {
                ::fcntl(fd, F_SETPIPE_SZ, 4096);
                capacity_ = ::fcntl(fd, F_GETPIPE_SZ);
                stalled_ = fd;
                return;
            }
            char buffer[65536];
            for (ssize_t got; mode == Mode::ReadAll && (got = ::read(fd, buffer, sizeof buffer)) > 0;)
                received_.append(buffer, got);
            ::close(fd);
        });
    }
    ~PipeReader() {
        if (thread_.joinable())
            thread_.join();
        if (stalled_ >= 0)
            ::close(stalled_);
    }
    // Stall: true once the writer has filled the pipe, and so waits in its write.
    bool full() const {
        int queued = 0;
        return stalled_ >= 0 && ::ioctl(stalled_, FIONREAD, &queued) == 0 && queued >= capacity_;
    }
    QByteArray received() {
        if (thread_.joinable())
            thread_.join();
        return received_;
    }

private:
    std::thread thread_;
    std::atomic<int> capacity_{0};
    std::atomic<int> stalled_{-1};
    QByteArray received_;
};

}  // namespace

Q_DECLARE_METATYPE(Setup)

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void exits_data();
    void exits();
    void targets_data();
    void targets();
    void unreadableStoreExportsNothing_data();
    void unreadableStoreExportsNothing();
    void allOrNoneWhenALaterFileCannotTakeItsName();
    void aSignalTakesBackWhatTheExportMade_data();
    void aSignalTakesBackWhatTheExportMade();
    void leftoversOfKilledExportsGo();
    void exportedFilesHoldTheStatement();
    void storedStatementMeansTheSameUnderAnyLocale_data();
    void storedStatementMeansTheSameUnderAnyLocale();
    void exportsSeeOneStatementAtATime();
    void historyCommands();
    void twoProgramsAndAKilledOneLoseNothing();

private:
    void writeStore(const QString& key = {}, const QString& value = {});
    Result run(QStringList arguments, Setup setup = Setup::None, const RunOptions& options = {}) const;
    QStringList leftBehind() const;
    // What the job's working folders and T hold afterwards: nothing.
    void verifyNothingLeftInTemporaryFolders() const;
    QString out(const QString& name) const { return dir_->filePath(name); }
    QString historyPath() const {
        return home_->filePath(QStringLiteral(".local/share/%1/%2/history.sqlite")
                                   .arg(shell::product::kOrganisation, shell::product::kName));
    }
    // The history's rows as --export-history writes them to CSV, the header first; empty when it fails.
    QStringList historyRows() const;
    // The sample statement of that date, exported as a workbook to the output folder.
    QString statementWorkbook(QDate date);
    QString storePath() const {
        return home_->filePath(QStringLiteral("config/%1/%1.conf").arg(shell::product::kOrganisation));
    }

    std::unique_ptr<QTemporaryDir> home_;  // the user's settings and TEMP
    std::unique_ptr<QTemporaryDir> dir_;   // where the files go
    QString missingTools_;
};

void TestCommandLine::initTestCase() {
    missingTools_ = testing::missingPrograms({QStringLiteral("pdfinfo"), QStringLiteral("pdftotext")});
}

void TestCommandLine::init() {
    home_ = std::make_unique<QTemporaryDir>();
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(home_->isValid() && dir_->isValid());
    QVERIFY(QDir(home_->path()).mkpath(QStringLiteral("temp")));
    QVERIFY(QDir(home_->path()).mkpath(QStringLiteral("tmp")));
    QVERIFY(QDir(home_->path()).mkpath(QStringLiteral("runtime")));
    QVERIFY(QFile::setPermissions(home_->filePath(QStringLiteral("runtime")),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
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

Result TestCommandLine::run(QStringList arguments, Setup setup, const RunOptions& options) const {
    const bool asUser = options.asUser && runningAsRoot();
    if (asUser) {
        giveTreeToUser(home_->path());
        giveTreeToUser(dir_->path());
    }
    for (QString& argument : arguments)
        argument.replace(QStringLiteral("%dir%"), dir_->path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LANGUAGE"})
        environment.remove(QString::fromLatin1(name));
    if (setup == Setup::UnreachableDisplay)
        environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":97"));
    if (setup == Setup::PlatformInEnvironment)
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home_->filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("TEMP"), home_->filePath(QStringLiteral("temp")));
    environment.insert(QStringLiteral("TMPDIR"), home_->filePath(QStringLiteral("tmp")));
    environment.insert(QStringLiteral("HOME"), home_->path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_->filePath(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("LANG"), options.locale);
    environment.insert(QStringLiteral("LC_ALL"), options.locale);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dir_->path());
    if (!options.standardOutput.isEmpty())
        process.setStandardOutputFile(options.standardOutput);
    const rlim_t limit = options.fileSizeLimit;
    const bool closeOutput = setup == Setup::ClosedOutput;
    process.setChildProcessModifier([asUser, limit, closeOutput] {
        if (closeOutput)
            ::close(STDOUT_FILENO);
        if (limit != 0) {
            const rlimit fileSize{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &fileSize);
        }
        if (asUser &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kOrdinaryUser) != 0 || ::setuid(kOrdinaryUser) != 0))
            ::_exit(125);
    });
    // An argument written with \xNN escapes reaches the program as those bytes, which QProcess cannot
    // pass: bash's printf turns them into bytes.
    const bool bytes = std::any_of(arguments.begin(), arguments.end(),
                                   [](const QString& a) { return a.contains(QStringLiteral("\\x")); });
    if (bytes) {
        arguments.prepend(QStringLiteral(QB_PROGRAM_PATH));
        arguments.prepend(QStringLiteral(
            "p=$1; shift; n=$#; while [ $n -gt 0 ]; do set -- \"$@\" \"$(printf '%b' \"$1\")\"; shift; "
            "n=$((n-1)); done; exec env LC_ALL=en_US.UTF-8 \"$p\" \"$@\""));
        // The shell itself runs without that locale, which the machine need not have installed.
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        process.setProcessEnvironment(environment);
        arguments.insert(1, QStringLiteral("bash"));
        arguments.prepend(QStringLiteral("-c"));
        process.start(QStringLiteral("/bin/bash"), arguments);
    } else {
        process.start(QStringLiteral(QB_PROGRAM_PATH), arguments);
    }
    Result result;
    if (!process.waitForStarted(60000))
        return result;
    if (options.whileRunning)
        options.whileRunning(process.processId());
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    if (process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    else
        result.signal = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.errorLines = QString::fromUtf8(process.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
    return result;
}

void TestCommandLine::verifyNothingLeftInTemporaryFolders() const {
    for (const char* folder : {"temp", "tmp"})
        QCOMPARE(QDir(home_->filePath(QString::fromLatin1(folder)))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 QStringList());
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
                          << "--export-xls <file>[\\s\\S]*--export-pdf <file>[\\s\\S]*--export-png "
                             "<file>[\\s\\S]*--history[\\s\\S]*"
                             "--record[\\s\\S]*--import-history <file>[\\s\\S]*--export-history <file>"
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
    QTest::newRow("one file named twice")
        << QStringList{"--export-pdf", "%dir%/s", "--export-png", "%dir%/./s"} << Setup::None << 1 << ""
        << QStringList{"/\\./s' is named for two exports \\(as '\\S+/s' too\\)" + exportFailed}
        << QStringList{};
    QTest::newRow("stored amount that is no amount")
        << QStringList{"--export-pdf", "%dir%/s.pdf"} << Setup::AmountNoAmount << 1 << ""
        << QStringList{"txtAmountAssets3 \"lots\" is no amount \\(in \\S+\\.Export\\.LoadStoredStatement at line "
                       "140\\)$"}
        << QStringList{};

    // The grammar holds for every option that takes a value: an option where the value belongs is a
    // mistake; "=" names a file that begins with "-".
    QTest::newRow("option where a file name belongs")
        << QStringList{"--export-xls", "--export-pdf", "x.pdf"} << Setup::None << 2 << ""
        << QStringList{"^quillberry: Missing value after '--export-xls': '--export-pdf' is an option\\. For a "
                       "file of that name, write --export-xls=--export-pdf or \\./--export-pdf\\. See --help\\.$"}
        << QStringList{};
    QTest::newRow("option where Qt's value belongs")
        << QStringList{"-platform", "-reverse", "--export-png", "%dir%/s.png"} << Setup::None << 2 << ""
        << QStringList{"^quillberry: Missing value after '-platform': '-reverse' is an option"}
        << QStringList{};
    QTest::newRow("file name beginning with a dash") << QStringList{"--export-pdf=-s.pdf"} << Setup::None << 0
                                                     << "" << QStringList{} << QStringList{"-s.pdf"};
    QTest::newRow("version onto a full disk")
        << QStringList{"--version"} << Setup::FullOutput << 1 << ""
        << QStringList{"^quillberry: Cannot write the output: No space left on device$"} << QStringList{};
    QTest::newRow("version with standard output closed")
        << QStringList{"--version"} << Setup::ClosedOutput << 1 << ""
        << QStringList{"^quillberry: Cannot write the output: standard output is closed$"} << QStringList{};
    // Nothing the program opens takes the closed descriptor's number and gets the export written into it.
    QTest::newRow("export to standard output while it is closed")
        << QStringList{"--export-pdf", "-", "--export-png", "%dir%/s.png"} << Setup::ClosedOutput << 1 << ""
        << QStringList{"^quillberry: Cannot write '-': standard output is closed" + exportFailed}
        << QStringList{};
    QTest::newRow("help onto a full disk")
        << QStringList{"--help"} << Setup::FullOutput << 1 << ""
        << QStringList{"^quillberry: Cannot write the output: No space left on device$"} << QStringList{};
    // An export draws offscreen, whatever platform is asked for, with or without a display.
    QTest::newRow("platform option with an export")
        << QStringList{"-platform", "xcb", "--export-png", "%dir%/s.png"} << Setup::None << 0 << ""
        << QStringList{} << QStringList{"s.png"};
    QTest::newRow("platform in the environment with an export")
        << QStringList{"--export-png", "%dir%/s.png"} << Setup::PlatformInEnvironment << 0 << ""
        << QStringList{} << QStringList{"s.png"};
    QTest::newRow("folder at the template's name")
        << QStringList{"--export-pdf", "%dir%/s.pdf"} << Setup::FolderAtTemplate << 1 << ""
        << QStringList{"^quillberry: Path/File access error: '\\S+/template\\.xlt' \\(a folder has the template's "
                       "name\\)" +
                       exportFailed}
        << QStringList{};
    // The store keeps the whole text; the workbook cannot, so nothing is written.
    QTest::newRow("text longer than a cell holds")
        << QStringList{"--export-xls", "%dir%/s.xls"} << Setup::LongText << 1 << ""
        << QStringList{"^quillberry: txtAssets3 holds 40,000 characters, more than the 32,767 a cell holds \\(in "
                       "\\S+\\.Export\\.ExportStatement at line 100\\)$"}
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
    if (setup == Setup::OldFile)
        writeBytes(out(QStringLiteral("s.pdf")), old);
    if (setup == Setup::FolderAtTarget)
        QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("s.png")));
    if (setup == Setup::AmountNoAmount)
        writeStore(shell::keys::assetAmount(3), QStringLiteral("lots"));
    if (setup == Setup::FolderAtTemplate)
        QVERIFY(QDir(home_->path()).mkpath(QStringLiteral("temp/template.xlt")));
    const QString longText(40000, QLatin1Char('x'));
    if (setup == Setup::LongText)
        writeStore(shell::keys::assetDescription(3), longText);

    RunOptions options;
    if (setup == Setup::FullOutput)
        options.standardOutput = QStringLiteral("/dev/full");
    const Result result = run(arguments, setup, options);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(QRegularExpression(output).match(QString::fromUtf8(result.out)).hasMatch(),
             result.out.constData());
    if (output.isEmpty())
        QCOMPARE(result.out, QByteArray());
    QVERIFY2(result.errorLines.size() == problems.size(), qPrintable(result.errorLines.join(u'\n')));
    for (int i = 0; i < problems.size(); ++i)
        QVERIFY2(QRegularExpression(problems[i]).match(result.errorLines[i]).hasMatch(),
                 qPrintable(result.errorLines[i]));
    QCOMPARE(leftBehind(), files);
    if (setup == Setup::FolderAtTemplate)
        QVERIFY(QDir(home_->path()).rmdir(QStringLiteral("temp/template.xlt")));
    // The job keeps its working files to itself.
    verifyNothingLeftInTemporaryFolders();
    if (setup == Setup::LongText) {
        QSettings store(storePath(), QSettings::IniFormat);
        QCOMPARE(store.value(QStringLiteral("Quillberry/") + shell::keys::assetDescription(3)).toString(),
                 longText);
    }
    for (const QString& name : files) {
        if (name.endsWith(u"pdf"))
            QVERIFY(readAll(out(name)).startsWith("%PDF-"));
        if (name.endsWith(u"png"))
            QCOMPARE(QImageReader(out(name)).format(), QByteArray("png"));
    }
}

// What can be at a name on the command line, and what an export does there: a regular file or a free
// name is replaced whole by a rename, anything else is written into or refused, never renamed over,
// deleted or made anew. Every row ends with nothing of the work left beside the user's files.
void TestCommandLine::targets_data() {
    QTest::addColumn<QStringList>("arguments");  // %dir% the output folder, \xNN a byte
    QTest::addColumn<QString>("at");             // what is put at the names first
    QTest::addColumn<bool>("asUser");            // run as the ordinary user
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("problem");  // a pattern for the one line on standard error, or none
    QTest::addColumn<QString>("outcome");  // what the row then looks at

    const QString failed = QStringLiteral(" \\(in \\S+\\.Export\\.ExportStatement at line \\d+\\)$");
    const auto row = [&](const char* name, QStringList arguments, const char* at, bool asUser, int exitCode,
                         const QString& problem, const char* outcome) {
        QTest::newRow(name) << arguments << QString::fromLatin1(at) << asUser << exitCode
                            << (problem.isEmpty() ? problem : problem + failed)
                            << QString::fromLatin1(outcome);
    };
    row("standard output as -", {"--export-pdf", "-"}, "", false, 0, {}, "pdf on standard output");
    row("standard output by its device", {"--export-pdf", "/dev/stdout"}, "", false, 0, {},
        "pdf on standard output");
    row("standard output twice", {"--export-pdf", "-", "--export-png", "/dev/stdout"}, "", false, 1,
        QStringLiteral("'/dev/stdout' is named for two exports \\(as '-' too\\)"), "nothing");
    row("pipe", {"--export-png", "%dir%/pipe"}, "pipe", false, 0, {}, "png through the pipe");
    row("character device", {"--export-xls", "%dir%/null"}, "null device", false, 0, {}, "device stays");
    row("dangling link", {"--export-pdf", "%dir%/link.pdf"}, "dangling link", false, 0, {},
        "made through the link");
    row("loop of links", {"--export-pdf", "%dir%/loop.pdf"}, "link loop", false, 1,
        QStringLiteral("^quillberry: Cannot write '\\S+/loop\\.pdf': its links form a loop"), "nothing");
    row("one file through a linked folder",
        {"--export-xls", "%dir%/d/a.xls", "--export-pdf", "%dir%/e/a.xls"}, "linked folder", false, 1,
        QStringLiteral("'\\S+/e/a\\.xls' is named for two exports \\(as '\\S+/d/a\\.xls' too\\)"), "nothing");
    row("one file under two hard links", {"--export-xls", "%dir%/a.xls", "--export-pdf", "%dir%/b.pdf"},
        "hard link", false, 1,
        QStringLiteral("'\\S+/b\\.pdf' is named for two exports \\(as '\\S+/a\\.xls' too\\)"), "old content");
    row("name that is no UTF-8", {"--export-xls", "%dir%/\\xff\\xfe.xls"}, "", false, 0, {}, "byte name");
    row("socket", {"--export-pdf", "%dir%/socket"}, "socket", false, 1,
        QStringLiteral(
            "^quillberry: Cannot write '\\S+/socket': it is a socket, which cannot be written as a file"),
        "nothing");
    row("read-only file", {"--export-pdf", "%dir%/s.pdf"}, "read-only file", true, 1,
        QStringLiteral("^quillberry: Cannot write '\\S+/s\\.pdf': the file is read-only"), "old content");
    row("new name in a read-only folder", {"--export-pdf", "%dir%/ro/s.pdf"}, "read-only folder", true, 1,
        QStringLiteral("^quillberry: Cannot write '\\S+/ro/s\\.pdf': the folder '\\S+/ro' is read-only"),
        "nothing");
    row("file in a read-only folder", {"--export-pdf", "%dir%/ro/old.pdf"}, "read-only folder", true, 0, {},
        "written in place");
    // The limit lets the job's own files through (the template is 19,456 bytes) but not the PDF.
    row("file-size limit", {"--export-pdf", "%dir%/s.pdf"}, "file, size limit", false, 1,
        QStringLiteral("^quillberry: Cannot write '\\S+/s\\.pdf': File too large"), "old content");
    row("full device after a file", {"--export-xls", "%dir%/s.xls", "--export-pdf", "/dev/full"}, "old files",
        false, 1,
        QStringLiteral(
            "^quillberry: Cannot write '/dev/full': No space left on device; '\\S+/s\\.xls' has its "
            "old content again"),
        "old content");
    row("pipe closed by its reader after two files",
        {"--export-xls", "%dir%/s.xls", "--export-pdf", "%dir%/s.pdf", "--export-png", "%dir%/pipe"},
        "old files, closing pipe", false, 1,
        QStringLiteral(
            "^quillberry: Cannot write '\\S+/pipe': Broken pipe; '\\S+/s\\.xls' and '\\S+/s\\.pdf' have "
            "their old content again"),
        "old content");
}

void TestCommandLine::targets() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, at);
    QFETCH(bool, asUser);
    QFETCH(int, exitCode);
    QFETCH(QString, problem);
    QFETCH(QString, outcome);

    const QByteArray old("what was there before");
    const QByteArray folder = QFile::encodeName(dir_->path());
    std::optional<PipeReader> reader;
    RunOptions options;
    options.asUser = asUser;
    if (at == QStringLiteral("null device")) {
        // A device node of the row's own where root could replace it; elsewhere the system's, which an
        // ordinary user cannot replace.
        if (runningAsRoot())
            QCOMPARE(::mknod((folder + "/null").constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
        else
            arguments.last() = QStringLiteral("/dev/null");
    } else if (at == QStringLiteral("pipe") || at == QStringLiteral("old files, closing pipe")) {
        QCOMPARE(::mkfifo((folder + "/pipe").constData(), 0600), 0);
        reader.emplace(out(QStringLiteral("pipe")), at == QStringLiteral("pipe")
                                                        ? PipeReader::Mode::ReadAll
                                                        : PipeReader::Mode::CloseAtOnce);
    } else if (at == QStringLiteral("dangling link")) {
        QVERIFY(QFile::link(QStringLiteral("made.pdf"), out(QStringLiteral("link.pdf"))));
    } else if (at == QStringLiteral("link loop")) {
        QVERIFY(QFile::link(QStringLiteral("loop.pdf"), out(QStringLiteral("loop.pdf"))));
    } else if (at == QStringLiteral("linked folder")) {
        QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("d")));
        QVERIFY(QFile::link(QStringLiteral("d"), out(QStringLiteral("e"))));
    } else if (at == QStringLiteral("hard link")) {
        writeBytes(out(QStringLiteral("a.xls")), old);
        QCOMPARE(::link((folder + "/a.xls").constData(), (folder + "/b.pdf").constData()), 0);
    } else if (at == QStringLiteral("socket")) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, (folder + "/socket").constData(), sizeof address.sun_path);
        QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    } else if (at == QStringLiteral("read-only file")) {
        writeBytes(out(QStringLiteral("s.pdf")), old);
        QVERIFY(QFile::setPermissions(out(QStringLiteral("s.pdf")), QFileDevice::ReadOwner));
    } else if (at == QStringLiteral("read-only folder")) {
        QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("ro")));
        writeBytes(out(QStringLiteral("ro/old.pdf")), old);
    } else if (at == QStringLiteral("file, size limit")) {
        writeBytes(out(QStringLiteral("s.pdf")), old);
        options.fileSizeLimit = 20480;
    }
    if (at.startsWith(QStringLiteral("old files"))) {
        writeBytes(out(QStringLiteral("s.xls")), old);
        writeBytes(out(QStringLiteral("s.pdf")), old);
    }
    const QStringList before = leftBehind();
    const ino_t inPlace = inodeOf(out(QStringLiteral("ro/old.pdf")));
    if (at == QStringLiteral("read-only folder")) {
        if (asUser && runningAsRoot())
            giveTreeToUser(dir_->path());
        QVERIFY(
            QFile::setPermissions(out(QStringLiteral("ro")), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }

    const Result result = run(arguments, Setup::None, options);
    QFile::setPermissions(out(QStringLiteral("ro")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(result.errorLines.size() == (problem.isEmpty() ? 0 : 1),
             qPrintable(result.errorLines.join(u'\n')));
    if (!problem.isEmpty())
        QVERIFY2(QRegularExpression(problem).match(result.errorLines.first()).hasMatch(),
                 qPrintable(result.errorLines.first()));
    verifyNothingLeftInTemporaryFolders();
    const QByteArray streamed = reader ? reader->received() : QByteArray();

    QStringList made = leftBehind();
    if (outcome == QStringLiteral("pdf on standard output")) {
        QVERIFY(result.out.startsWith("%PDF-"));
        QVERIFY(result.out.trimmed().endsWith("%%EOF"));
    } else {
        QCOMPARE(result.out, QByteArray());
    }
    if (outcome == QStringLiteral("png through the pipe")) {
        QVERIFY(streamed.startsWith("\x89PNG"));
        QCOMPARE(typeOf(folder + "/pipe"), mode_t(S_IFIFO));
    } else if (outcome == QStringLiteral("device stays")) {
        if (runningAsRoot())
            QCOMPARE(typeOf(folder + "/null"), mode_t(S_IFCHR));
    } else if (outcome == QStringLiteral("made through the link")) {
        QCOMPARE(typeOf(folder + "/link.pdf"), mode_t(S_IFLNK));
        QVERIFY(readAll(out(QStringLiteral("made.pdf"))).startsWith("%PDF-"));
        QVERIFY(made.removeOne(QStringLiteral("made.pdf")));
    } else if (outcome == QStringLiteral("byte name")) {
        QVERIFY(testing::bytesAt(folder + "/\xff\xfe.xls").startsWith("\xD0\xCF\x11\xE0"));
        // Qt's own listing and removal cannot name it.
        QCOMPARE(::unlink((folder + "/\xff\xfe.xls").constData()), 0);
        made = leftBehind();
    } else if (outcome == QStringLiteral("written in place")) {
        QVERIFY(readAll(out(QStringLiteral("ro/old.pdf"))).startsWith("%PDF-"));
        QCOMPARE(inodeOf(out(QStringLiteral("ro/old.pdf"))), inPlace);
    } else if (outcome == QStringLiteral("old content")) {
        for (const QString& name : before)
            if (!name.endsWith(QLatin1Char('/')) && name != QStringLiteral("pipe"))
                QCOMPARE(readAll(out(name)), old);
    }
    // Nothing made but what the row looks for, and nothing of the work beside it.
    QCOMPARE(made, before);
}

// A store that cannot be read makes the command line write nothing, at once and in one line that
// speaks of the command line; the store and the user's files stay exactly as they were.
void TestCommandLine::unreadableStoreExportsNothing_data() {
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("reason");
    QTest::newRow("bytes that are no text") << "binary"
                                            << "its contents are not UTF-8 text";
    QTest::newRow("a line of no kind") << "bad line"
                                       << "line 3 is neither a section, a comment nor a key with its value";
    QTest::newRow("a section never closed") << "unclosed"
                                            << "line 1 opens a section without closing it";
    QTest::newRow("a folder in its place") << "folder"
                                           << "Is a directory";
    QTest::newRow("no permission to read") << "no permission"
                                           << "Permission denied";
    QTest::newRow("a pipe in its place") << "pipe"
                                         << "it is not an ordinary file";
}

void TestCommandLine::unreadableStoreExportsNothing() {
    QFETCH(QString, damage);
    QFETCH(QString, reason);
    const QString store = storePath();
    QVERIFY(QFile::remove(store));
    if (damage == QStringLiteral("folder"))
        QVERIFY(QDir().mkdir(store));
    else if (damage == QStringLiteral("pipe"))
        QCOMPARE(::mkfifo(QFile::encodeName(store).constData(), 0600), 0);
    else
        writeBytes(store, damage == QStringLiteral("binary") ? QByteArray("[Quillberry]\ntxtName=M\xfcller\n")
                          : damage == QStringLiteral("bad line")
                              ? QByteArray("[Quillberry]\ntxtName=Jane\nJane Roe\n")
                          : damage == QStringLiteral("unclosed")
                              ? QByteArray("[Quillberry\ntxtName=Jane\n")
                              : QByteArray("[Quillberry]\ntxtName=Jane\n"));
    if (damage == QStringLiteral("no permission"))
        QVERIFY(QFile::setPermissions(store, {}));
    const QByteArray old("the user's own statement");
    writeBytes(out(QStringLiteral("s.xls")), old);
    struct stat before {};
    ::lstat(QFile::encodeName(store).constData(), &before);

    RunOptions options;
    options.asUser = damage == QStringLiteral("no permission");
    QElapsedTimer clock;
    clock.start();
    const Result result = run({"--export-xls", "%dir%/s.xls"}, Setup::None, options);
    QVERIFY2(clock.elapsed() < 30000, "the export waited on the store");
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.errorLines.size(), 1);
    const QString expected =
        QStringLiteral(
            "quillberry: The stored statement cannot be read from the settings file '%1' (%2), so "
            "nothing was exported; the file was left as it is.")
            .arg(store, reason);
    QCOMPARE(result.errorLines.first(), expected);
    QCOMPARE(readAll(out(QStringLiteral("s.xls"))), old);
    QCOMPARE(leftBehind(), QStringList{"s.xls"});
    struct stat after {};
    ::lstat(QFile::encodeName(store).constData(), &after);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(QDir(QFileInfo(store).path())
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList{QFileInfo(store).fileName()});
    verifyNothingLeftInTemporaryFolders();
}

// The third of three files fails at its very last step (its rename, made to fail by strace): the first
// two, already in place, get their old content back, and the one line names each.
void TestCommandLine::allOrNoneWhenALaterFileCannotTakeItsName() {
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty())
        QSKIP("strace is not installed (scripts/install-deps.sh installs it)");
    const QStringList names{"s.xls", "s.pdf", "s.png"};
    for (const QString& name : names)
        writeBytes(out(name), "old " + name.toLatin1());
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home_->filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("TEMP"), home_->filePath(QStringLiteral("temp")));
    environment.insert(QStringLiteral("TMPDIR"), home_->filePath(QStringLiteral("tmp")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_->filePath(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start(
        strace, {"-f", "-o", "/dev/null", "-e", "trace=renameat2", "-e", "inject=renameat2:error=EIO:when=3",
                 QStringLiteral(QB_PROGRAM_PATH), "--export-xls", out("s.xls"), "--export-pdf", out("s.pdf"),
                 "--export-png", out("s.png")});
    QVERIFY(process.waitForFinished(60000));
    if (process.exitCode() != 1 && process.readAllStandardError().contains("ptrace"))
        QSKIP("strace cannot trace here");
    QCOMPARE(process.exitCode(), 1);
    const QStringList lines =
        QString::fromUtf8(process.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(
        lines.first().startsWith(QStringLiteral("quillberry: Cannot write '%1': Input/output error; '%2' and "
                                                "'%3' have their old content again (in ")
                                     .arg(out("s.png"), out("s.xls"), out("s.pdf"))),
        qPrintable(lines.first()));
    for (const QString& name : names)
        QCOMPARE(readAll(out(name)), "old " + name.toLatin1());
    QCOMPARE(leftBehind(), (QStringList{"s.pdf", "s.png", "s.xls"}));
    verifyNothingLeftInTemporaryFolders();
}

// SIGINT, SIGTERM or SIGHUP while the export works: what it made goes, the files it replaced get their
// old content back, and the program ends by the signal, as a shell expects.
void TestCommandLine::aSignalTakesBackWhatTheExportMade_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("stalled");  // false: waiting for the pipe's reader; true: in the pipe's write
    QTest::newRow("SIGTERM while the last file is written") << int(SIGTERM) << true;
    QTest::newRow("SIGHUP while the last file is written") << int(SIGHUP) << true;
    QTest::newRow("SIGINT while waiting for a reader") << int(SIGINT) << false;
}

void TestCommandLine::aSignalTakesBackWhatTheExportMade() {
    QFETCH(int, signal);
    QFETCH(bool, stalled);
    const QByteArray old("the user's own statement");
    writeBytes(out(QStringLiteral("s.xls")), old);
    QCOMPARE(::mkfifo(QFile::encodeName(out(QStringLiteral("pipe"))).constData(), 0600), 0);
    std::optional<PipeReader> reader;
    if (stalled)
        reader.emplace(out(QStringLiteral("pipe")), PipeReader::Mode::Stall);
    RunOptions options;
    options.whileRunning = [&](qint64 pid) {
        // Stalled: once the pipe is full, the export waits in its write with the workbook already in place.
        for (int i = 0; i < 3000 && stalled && !reader->full(); ++i)
            QThread::msleep(10);
        if (!stalled)
            QThread::msleep(300);
        ::kill(pid_t(pid), signal);
    };
    const Result result =
        run({"--export-xls", "%dir%/s.xls", "--export-pdf", "%dir%/pipe"}, Setup::None, options);
    QCOMPARE(result.signal, signal);
    QCOMPARE(result.exitCode, -1);
    if (stalled) {
        QCOMPARE(result.errorLines.size(), 1);
        QVERIFY2(
            result.errorLines.first().contains(QStringLiteral("interrupted; '%1' has its old content again")
                                                   .arg(out(QStringLiteral("s.xls")))),
            qPrintable(result.errorLines.first()));
    }
    reader.reset();
    QCOMPARE(readAll(out(QStringLiteral("s.xls"))), old);
    QCOMPARE(leftBehind(), (QStringList{"pipe", "s.xls"}));
    verifyNothingLeftInTemporaryFolders();
}

// What a killed export left (its files beside the user's, its working folder) goes with the next export
// that looks there; what a running one holds, and what only looks alike, stays.
void TestCommandLine::leftoversOfKilledExportsGo() {
    const QByteArray folder = QFile::encodeName(dir_->path());
    const QByteArray tmp = QFile::encodeName(home_->filePath(QStringLiteral("tmp")));
    int channel[2];
    QCOMPARE(::pipe(channel), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        const QByteArray file = folder + '/' + shell::leftoverName(shell::LeftoverKind::File);
        const QByteArray work = tmp + '/' + shell::leftoverName(shell::LeftoverKind::Folder);
        ::close(::open(file.constData(), O_CREAT | O_WRONLY, 0600));
        ::mkdir(work.constData(), 0700);
        ::close(::open((work + "/statement.xls").constData(), O_CREAT | O_WRONLY, 0600));
        [[maybe_unused]] const ssize_t sent = ::write(channel[1], "made", 4);
        ::_exit(0);
    }
    ::close(channel[1]);
    char done[4];
    QCOMPARE(::read(channel[0], done, sizeof done), ssize_t(4));
    ::close(channel[0]);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    const QString running = QFile::decodeName(shell::leftoverName(shell::LeftoverKind::File));
    writeBytes(out(running), "in use");
    writeBytes(out(QStringLiteral(".quillberry-part-mine")), "the user's");
    QCOMPARE(leftBehind().size(), 3);
    QCOMPARE(QDir(QFile::decodeName(tmp)).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);

    const Result result = run({"--export-pdf", "%dir%/s.pdf"});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(leftBehind(), (QStringList{running, ".quillberry-part-mine", "s.pdf"}));
    verifyNothingLeftInTemporaryFolders();
}

void TestCommandLine::exportedFilesHoldTheStatement() {
    QB_REQUIRE_TOOLS(missingTools_);
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

// A statement stored under one regional setting and exported under another: the amounts and the date
// are what they were when stored. A store that records no locale is read under today's settings.
void TestCommandLine::storedStatementMeansTheSameUnderAnyLocale_data() {
    QTest::addColumn<QString>("written");  // the locale recorded with the fields, "" for none
    QTest::addColumn<QString>("amount");   // asset line 0 as stored
    QTest::addColumn<QString>("today");    // the export's LANG and LC_ALL
    QTest::addColumn<double>("value");
    const auto row = [](const char* name, const char* written, const char* amount, const char* today,
                        double value) {
        QTest::newRow(name) << QString::fromLatin1(written) << QString::fromUtf8(amount)
                            << QString::fromLatin1(today) << value;
    };
    row("US raw, read in Germany", "en_US", "1.234", "de_DE.UTF-8", 1.23);
    row("US currency, read by cron's C", "en_US", "$1,234.50", "C", 1234.5);
    row("US negative, read in France", "en_US", "($5.00)", "fr_FR.UTF-8", -5);
    row("German raw, read in the US", "de_DE", "1.234", "en_US.UTF-8", 1234);
    row("German currency, read in Switzerland", "de_DE", "1.234,50\u00a0€", "de_CH.UTF-8", 1234.5);
    row("C, read in Germany", "C", "1234.50", "de_DE.UTF-8", 1234.5);
    row("Swiss, read in India", "de_CH", "1’234.50\u00a0CHF", "en_IN.UTF-8", 1234.5);
    row("nothing recorded, read in Germany", "", "1.234", "de_DE.UTF-8", 1234);
    row("nothing recorded, read in the US", "", "1.234", "en_US.UTF-8", 1.23);
}

void TestCommandLine::storedStatementMeansTheSameUnderAnyLocale() {
    QFETCH(QString, written);
    QFETCH(QString, amount);
    QFETCH(QString, today);
    QFETCH(double, value);
    const QDate date(2021, 3, 5);
    const QLocale writer = written.isEmpty() ? QLocale(today.section(u'.', 0, 0)) : QLocale(written);
    writeStore(shell::keys::assetAmount(0), amount);
    {
        QSettings store(storePath(), QSettings::IniFormat);
        store.beginGroup(shell::SettingsStore::kSection);
        store.setValue(shell::keys::date(), shell::dateToStoreText(date, writer));
        if (!written.isEmpty())
            store.setValue(shell::keys::locale(), written);
    }
    RunOptions options;
    options.locale = today;
    const Result result = run({"--export-xls", out("s.xls")}, Setup::None, options);
    QCOMPARE(result.errorLines, QStringList());
    QCOMPARE(result.exitCode, 0);
    const spreadsheet::Workbook workbook = spreadsheet::readWorkbookFile(out("s.xls"));
    const spreadsheet::Worksheet& sheet = workbook.sheets.at(size_t(workbook.activeSheetIndex()));
    QCOMPARE(*sheet.cell({5, 1})->number(), value);
    QCOMPARE(*sheet.cell({6, 1})->number(), 80.46);  // a sample amount, with a point wherever it is read
    QCOMPARE(*sheet.cell({2, 0})->number(), double(QDate(1899, 12, 30).daysTo(date)));
}

// The main window loads the sample again and again over another statement typed field by field, while
// exports read the store from other processes: no export may show the sample's name with an amount that
// is not the sample's (the name is the first field the sample sets).
void TestCommandLine::exportsSeeOneStatementAtATime() {
    QProcess writer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home_->filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("TMPDIR"), home_->filePath(QStringLiteral("tmp")));
    writer.setProcessEnvironment(environment);
    writer.start(QStringLiteral(QB_FORM1_CHILD), {QStringLiteral("sample"), QStringLiteral("12")});
    QVERIFY(writer.waitForStarted());

    std::array<double, shell::kAssetLines + shell::kLiabilityLines> sample{};
    for (size_t i = 0; i < entry::sample::kAssetAmounts.size(); ++i)
        sample[i] = QByteArray(entry::sample::kAssetAmounts[i].data()).toDouble();
    for (size_t i = 0; i < entry::sample::kLiabilityAmounts.size(); ++i)
        sample[shell::kAssetLines + i] = QByteArray(entry::sample::kLiabilityAmounts[i].data()).toDouble();
    int exports = 0;
    int samples = 0;
    int torn = 0;
    while (writer.state() != QProcess::NotRunning && exports < 60) {
        const QString file = out(QStringLiteral("r%1.xls").arg(exports));
        const Result result = run({"--export-xls", file});
        QCOMPARE(result.errorLines, QStringList());
        QCOMPARE(result.exitCode, 0);
        ++exports;
        const spreadsheet::Workbook workbook = spreadsheet::readWorkbookFile(file);
        const spreadsheet::Worksheet& sheet = workbook.sheets.at(size_t(workbook.activeSheetIndex()));
        if (*sheet.cell({1, 0})->text() != QStringLiteral("John Doe"))
            continue;
        ++samples;
        for (int line = 0; line < shell::kAssetLines + shell::kLiabilityLines; ++line) {
            const int row = line < shell::kAssetLines ? 5 + line : 19 + line - shell::kAssetLines;
            if (*sheet.cell({row, 1})->number() != sample[size_t(line)]) {
                ++torn;
                break;
            }
        }
        QFile::remove(file);
    }
    writer.kill();
    writer.waitForFinished();
    qInfo("%d exports, %d of them the sample, %d torn", exports, samples, torn);
    QCOMPARE(torn, 0);
    QVERIFY2(samples > 0 && samples < exports, "the exports never met both statements");
}

QStringList TestCommandLine::historyRows() const {
    const QString csv = home_->filePath(QStringLiteral("history.csv"));
    const Result result = run({"--export-history", csv});
    if (result.exitCode != 0 || !result.errorLines.isEmpty())
        return result.errorLines;
    QStringList rows = QString::fromUtf8(readAll(csv)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QFile::remove(csv);
    return rows;
}

QString TestCommandLine::statementWorkbook(QDate date) {
    const QString name = out(date.toString(Qt::ISODate) + QStringLiteral(".xls"));
    writeStore(shell::keys::date(),
               shell::dateToStoreText(date, QLocale(QLocale::English, QLocale::UnitedStates)));
    if (run({"--export-xls", name}).exitCode != 0)
        qFatal("cannot export %s", qPrintable(name));
    return name;
}

// The history from a script: --record records the stored statement (a date already recorded is
// replaced), --import-history records statement workbooks, all of them or none, --export-history writes
// it; nothing is printed on success. A damaged history is told, kept byte for byte, and nothing is done.
void TestCommandLine::historyCommands() {
    const QString header = QStringLiteral("date,name,total_assets,total_liabilities,net_worth");
    Result result = run({"--record"});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray());
    QCOMPARE(result.errorLines, QStringList());
    QCOMPARE(historyRows(), (QStringList{header, "2021-03-05,John Doe,19749.79,2875.14,16874.65"}));
    writeStore(shell::keys::name(), QStringLiteral("Jane Doe"));
    QCOMPARE(run({"--record"}).exitCode, 0);
    QCOMPARE(historyRows(), (QStringList{header, "2021-03-05,Jane Doe,19749.79,2875.14,16874.65"}));

    const QString earlier = statementWorkbook(QDate(2019, 12, 31));
    const QString notes = out(QStringLiteral("notes.xls"));
    writeBytes(notes, "notes");
    result = run({"--import-history", earlier, notes});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.errorLines.size(), 2);
    QVERIFY2(
        result.errorLines[0].startsWith(QStringLiteral("quillberry: '%1' is no statement: It is no Excel "
                                                       "97-2003 workbook")
                                            .arg(notes)),
        qPrintable(result.errorLines[0]));
    QCOMPARE(result.errorLines[1], QStringLiteral("quillberry: Nothing was imported."));
    QCOMPARE(historyRows().size(), 2);
    QCOMPARE(run({"--import-history", earlier}).exitCode, 0);
    QCOMPARE(historyRows(), (QStringList{header, "2019-12-31,John Doe,19749.79,2875.14,16874.65",
                                         "2021-03-05,Jane Doe,19749.79,2875.14,16874.65"}));

    // Exports that cannot be made write nothing.
    const QStringList before = leftBehind();
    result = run({"--export-history", "%dir%/h.txt"});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.errorLines.size() == 1 && result.errorLines[0].contains(u"use .csv, .xls or .pdf"),
             qPrintable(result.errorLines.join(u'\n')));
    result = run({"--export-history", "%dir%/missing/h.xls"});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.errorLines.size() == 1 && result.errorLines[0].contains(u"does not exist"),
             qPrintable(result.errorLines.join(u'\n')));
    QCOMPARE(leftBehind(), before);

    // A damaged history: every command tells it and leaves the file as it was.
    const QByteArray damaged = QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\x5a');
    QFile::remove(historyPath() + QStringLiteral("-wal"));
    QFile::remove(historyPath() + QStringLiteral("-shm"));
    writeBytes(historyPath(), damaged);
    for (const QStringList& arguments : {QStringList{"--record"}, QStringList{"--import-history", earlier},
                                         QStringList{"--export-history", "%dir%/h.csv"}}) {
        result = run(arguments);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.errorLines.size() == 1 && result.errorLines[0].contains(u"is damaged") &&
                     result.errorLines[0].contains(u"kept as it is"),
                 qPrintable(result.errorLines.join(u'\n')));
        QCOMPARE(readAll(historyPath()), damaged);
    }
    QCOMPARE(leftBehind(), before);
    verifyNothingLeftInTemporaryFolders();
}

// Two programs importing at once lose nothing; a program killed in the middle of an import leaves the
// history whole, its statements there all together or not at all.
void TestCommandLine::twoProgramsAndAKilledOneLoseNothing() {
    QStringList odd{"--import-history"}, even{"--import-history"};
    for (int month = 1; month <= 6; ++month)
        (month % 2 ? odd : even) << statementWorkbook(QDate(2020, month, 28));
    for (const int delay : {0, 100, 250, 500}) {
        RunOptions options;
        options.whileRunning = [delay](qint64 pid) {
            QThread::msleep(ulong(delay));
            ::kill(pid_t(pid), SIGKILL);
        };
        const Result killed = run(odd, Setup::None, options);
        const int rows = int(historyRows().size());  // the header and the statements
        QVERIFY2(killed.exitCode == 0 ? rows == 4 : rows == 1 || rows == 4,
                 qPrintable(QStringLiteral("killed after %1 ms: %2 rows").arg(delay).arg(rows)));
    }
    Result second;
    std::thread other([&] { second = run(even); });
    const Result first = run(odd);
    other.join();
    QCOMPARE(first.errorLines, QStringList());
    QCOMPARE(second.errorLines, QStringList());
    QCOMPARE(historyRows().size(), 7);
}

QTEST_MAIN(TestCommandLine)
#include "tst_command_line.moc"
