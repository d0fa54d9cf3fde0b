// Files the user names for the program to write, as a shell's redirection takes them: one table of what
// can be at the name against what the program does there, acted out as an ordinary user (root passes
// every permission). Each row copies a 100 KB workbook to the name, as the preview's save does, and
// then looks at what the name holds, its mode and inode, and whether anything was left in the folder.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "shell/core/leftovers.h"
#include "shell/core/native_path.h"
#include "shell/core/target_file.h"
#include "tests/common/error_of.h"
#include "tests/common/file_system_faults.h"
#include "tests/common/test_classes.h"
#include "tests/common/test_files.h"

namespace {

using testing::contentOf;
using testing::entriesOf;
using testing::writeFile;

const QByteArray kOld("the user's own statement");

struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    mode_t type = 0;
    bool operator==(const Identity&) const = default;
};

Identity identityOf(const QByteArray& path, bool follow = false) {
    struct stat info {};
    if ((follow ? ::stat(path.constData(), &info) : ::lstat(path.constData(), &info)) != 0)
        return {};
    return {info.st_dev, info.st_ino, info.st_mode & S_IFMT};
}

void writeAt(const QByteArray& path, const QByteArray& bytes) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size())
        qFatal("cannot write %s", path.constData());
    ::close(fd);
}

// Reads a pipe to its end on a thread of its own, from the moment it is made.
class PipeReader {
public:
    explicit PipeReader(const QByteArray& path) {
        thread_ = std::thread([this, path] {
            const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
            char buffer[65536];
            for (ssize_t got; fd >= 0 && (got = ::read(fd, buffer, sizeof buffer)) > 0;)
                received_.append(buffer, got);
            if (fd >= 0)
                ::close(fd);
        });
    }
    ~PipeReader() { finish(); }
    QByteArray finish() {
        if (thread_.joinable())
            thread_.join();
        return received_;
    }

private:
    std::thread thread_;
    QByteArray received_;
};

}  // namespace

Q_DECLARE_METATYPE(shell::TargetFile::ReadOnlyFile)

class TargetFileTest : public QObject {
    Q_OBJECT

private slots:
    void targets_data();
    void targets();
    void rollBackGivesTheOldContentBack_data();
    void rollBackGivesTheOldContentBack();
    void oneFileUnderTwoNames();
    void leftoversOfEndedProcessesOnly();
    void namesComeBackAsTheirBytes();
};

void TargetFileTest::targets_data() {
    using ReadOnly = shell::TargetFile::ReadOnlyFile;
    QTest::addColumn<QString>("at");         // what is at the name before
    QTest::addColumn<int>("folderMode");     // of the folder holding the name
    QTest::addColumn<ReadOnly>("readOnly");  // whether the user confirmed replacing a read-only file
    QTest::addColumn<QString>("fault");      // "cut off": a file-size limit; "vanished", "link": the source
    QTest::addColumn<QString>("error");      // a pattern for the error, %1 the name; empty: it is written
    QTest::addColumn<QString>("how");        // "renamed", "in place", "streamed", "" (refused)

    const auto row = [](const char* name, const char* at, int folderMode, ReadOnly readOnly,
                        const char* fault, const char* error, const char* how) {
        QTest::newRow(name) << at << folderMode << readOnly << fault << error << how;
    };
    const ReadOnly refuse = ReadOnly::Refuse;
    const ReadOnly replace = ReadOnly::Replace;
    row("new name", "nothing", 0755, refuse, "", "", "renamed");
    row("file", "file", 0755, refuse, "", "", "renamed");
    row("read-only file", "read-only file", 0755, refuse, "",
        "^Permission denied: '%1' \\(the file is read-only\\)$", "");
    row("read-only file, replacing confirmed", "read-only file", 0755, replace, "", "", "renamed");
    row("file in a read-only folder", "file", 0555, refuse, "", "", "in place");
    row("read-only file in a read-only folder", "read-only file", 0555, replace, "",
        "^Permission denied: '%1' \\(the file is read-only, and so is its folder '\\S+/out'\\)$", "");
    row("new name in a read-only folder", "nothing", 0555, refuse, "",
        "^Permission denied: '%1' \\(the folder '\\S+/out' is read-only\\)$", "");
    row("folder missing", "missing folder", 0755, refuse, "",
        "^Path not found: '%1' \\(the folder '\\S+/out/missing' does not exist\\)$", "");
    row("folder at the name", "folder", 0755, refuse, "",
        "^Path/File access error: '%1' \\(it is a folder\\)$", "");
    row("link to a file", "link to file", 0755, refuse, "", "", "renamed");
    row("dangling link", "dangling link", 0755, refuse, "", "", "renamed");
    row("loop of links", "link loop", 0755, refuse, "",
        "^Path/File access error: '%1' \\(its links form a loop\\)$", "");
    row("pipe", "fifo", 0755, refuse, "", "", "streamed");
    row("character device", "null device", 0755, refuse, "", "", "streamed");
    row("socket", "socket", 0755, refuse, "",
        "^Path/File access error: '%1' \\(it is a socket, which cannot be written as a file\\)$", "");
    row("name that is no UTF-8", "non-UTF-8 name", 0755, refuse, "", "", "renamed");
    row("file cut off by a size limit", "file", 0755, refuse, "cut off",
        "^Path/File access error: '%1' \\(File too large\\)$", "");
    row("file in a read-only folder cut off", "file", 0555, refuse, "cut off",
        "^Path/File access error: '%1' \\(File too large\\)$", "");
    row("workbook vanished", "file", 0755, refuse, "vanished", "^File not found: '%2'$", "");
    row("workbook is a link", "file", 0755, refuse, "link",
        "^Path/File access error: '%2' \\(a link, which is not followed\\)$", "");
}

void TargetFileTest::targets() {
    QFETCH(QString, at);
    QFETCH(int, folderMode);
    QFETCH(shell::TargetFile::ReadOnlyFile, readOnly);
    QFETCH(QString, fault);
    QFETCH(QString, error);
    QFETCH(QString, how);

    QTemporaryDir dir;
    const QByteArray base = QFile::encodeName(dir.path());
    const QByteArray folder = base + "/out";
    QVERIFY(QDir().mkdir(QFile::decodeName(folder)));
    QByteArray name = folder + "/target.xls";
    QByteArray holder = name;  // the file whose content the name stands for
    const QString source = dir.filePath(QStringLiteral("vornik12345678.xls"));
    QByteArray workbook(100 * 1024, '\0');
    for (qsizetype i = 0; i < workbook.size(); ++i)
        workbook[i] = char(i * 7);
    writeFile(source, workbook);
    if (fault == QStringLiteral("link")) {
        QVERIFY(QFile::rename(source, source + QStringLiteral(".real")));
        QVERIFY(QFile::link(source + QStringLiteral(".real"), source));
    }

    std::optional<PipeReader> reader;
    if (at == QStringLiteral("file") || at == QStringLiteral("read-only file")) {
        writeFile(QFile::decodeName(name), kOld);
        testing::setMode(QFile::decodeName(name), at == QStringLiteral("file") ? 0640 : 0444);
    } else if (at == QStringLiteral("folder")) {
        QVERIFY(QDir().mkdir(QFile::decodeName(name)));
    } else if (at == QStringLiteral("link to file")) {
        holder = base + "/real.xls";
        writeFile(QFile::decodeName(holder), kOld);
        testing::setMode(QFile::decodeName(holder), 0640);
        QCOMPARE(::symlink("../real.xls", name.constData()), 0);
    } else if (at == QStringLiteral("dangling link")) {
        holder = base + "/created.xls";
        QCOMPARE(::symlink("../created.xls", name.constData()), 0);
    } else if (at == QStringLiteral("link loop")) {
        QCOMPARE(::symlink("target.xls", name.constData()), 0);
    } else if (at == QStringLiteral("fifo")) {
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
    } else if (at == QStringLiteral("null device")) {
        name = holder = "/dev/null";
    } else if (at == QStringLiteral("socket")) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, name.constData(), sizeof address.sun_path);
        QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    } else if (at == QStringLiteral("missing folder")) {
        name = holder = folder + "/missing/target.xls";
    } else if (at == QStringLiteral("non-UTF-8 name")) {
        name = holder = folder + "/\xff\xfe statement.xls";
    }
    for (const QByteArray& path : {base, folder, name, holder, QFile::encodeName(source)})
        if (!path.startsWith("/dev/"))
            testing::giveToUser(QFile::decodeName(path));
    if (fault == QStringLiteral("vanished"))
        QVERIFY(QFile::remove(source));
    const Identity before = identityOf(holder, true);
    const mode_t modeBefore = testing::modeOf(QFile::decodeName(holder));
    testing::setMode(QFile::decodeName(folder), mode_t(folderMode));
    const QStringList entriesBefore = entriesOf(QFile::decodeName(folder));
    if (at == QStringLiteral("fifo"))
        reader.emplace(name);

    QString reported;
    {
        testing::AsOrdinaryUser user;
        std::optional<testing::FileSizeLimit> limit;
        if (fault == QStringLiteral("cut off"))
            limit.emplace(4096);
        shell::TargetFile target(shell::NativePath::fromBytes(name), readOnly);
        reported = testing::errorOf([&] { shell::copyFileTo(source, target); });
    }
    testing::setMode(QFile::decodeName(folder), 0755);
    const QByteArray streamed = reader ? reader->finish() : QByteArray();

    const QString shownName = shell::NativePath::fromBytes(name).shown();
    const QString expected = QRegularExpression::escape(shownName);
    error.replace(QStringLiteral("%1"), expected)
        .replace(QStringLiteral("%2"), QRegularExpression::escape(source));
    QVERIFY2(error.isEmpty() ? reported.isEmpty() : QRegularExpression(error).match(reported).hasMatch(),
             qPrintable(reported));
    QStringList entriesAfter = entriesOf(QFile::decodeName(folder));
    if (at == QStringLiteral("nothing") && how == QStringLiteral("renamed"))
        entriesAfter.removeOne(QStringLiteral("target.xls"));
    if (at == QStringLiteral("non-UTF-8 name"))
        entriesAfter.removeOne(QFile::decodeName(name.mid(folder.size() + 1)));
    // Nothing of the work is left beside the user's files.
    QCOMPARE(entriesAfter, entriesBefore);

    const Identity after = identityOf(holder, true);
    // Qt's own folder removal cannot name what is no UTF-8.
    const auto removeByteName = qScopeGuard([&] {
        if (at == QStringLiteral("non-UTF-8 name"))
            ::unlink(name.constData());
    });
    if (how == QStringLiteral("renamed")) {
        QCOMPARE(testing::bytesAt(holder), workbook);
        if (before.type != 0) {
            QVERIFY(after.inode != before.inode);
            QCOMPARE(testing::modeOf(QFile::decodeName(holder)), modeBefore);
        }
        // A link stays a link; what it leads to took the content.
        if (holder != name)
            QCOMPARE(identityOf(name).type, mode_t(at.contains(u"link") ? S_IFLNK : S_IFREG));
    } else if (how == QStringLiteral("in place")) {
        QCOMPARE(testing::bytesAt(holder), workbook);
        QCOMPARE(after, before);
        QCOMPARE(testing::modeOf(QFile::decodeName(holder)), modeBefore);
    } else if (how == QStringLiteral("streamed")) {
        // Written into, never renamed over, deleted or made anew.
        QCOMPARE(after, before);
        if (at == QStringLiteral("fifo"))
            QCOMPARE(streamed, workbook);
    } else if (before.type == S_IFREG) {
        // Refused or failed: the old file as it was, inode, content and mode.
        QCOMPARE(after, before);
        QCOMPARE(testing::bytesAt(holder), kOld);
        QCOMPARE(testing::modeOf(QFile::decodeName(holder)), modeBefore);
    } else {
        QCOMPARE(after, before);
    }
}

// Until finish(), every kind of file can be given its old content back: the old file itself (its inode,
// mode and content), or nothing where there was nothing; a device cannot.
// Where the file system has no unnamed files, the fresh file has a leftover name from the start; both
// ways leave the same.
void TargetFileTest::rollBackGivesTheOldContentBack_data() {
    QTest::addColumn<QString>("at");
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<bool>("unnamed");
    for (const bool unnamed : {true, false}) {
        const char* how = unnamed ? "unnamed fresh file" : "named fresh file";
        QTest::addRow("file, %s", how) << "file" << 0755 << unnamed;
        QTest::addRow("read-only file, %s", how) << "read-only file" << 0755 << unnamed;
        QTest::addRow("new name, %s", how) << "nothing" << 0755 << unnamed;
    }
    QTest::newRow("written in place") << "file" << 0555 << true;
}

void TargetFileTest::rollBackGivesTheOldContentBack() {
    QFETCH(QString, at);
    QFETCH(int, folderMode);
    QFETCH(bool, unnamed);
    shell::FreshFile::setUnnamedFilesAllowed(unnamed);
    const auto allowAgain = qScopeGuard([] { shell::FreshFile::setUnnamedFilesAllowed(true); });
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + QStringLiteral("/target.pdf");
    if (at != QStringLiteral("nothing")) {
        writeFile(path, kOld);
        testing::setMode(path, at == QStringLiteral("file") ? 0640 : 0444);
    }
    for (const QString& each : {dir.path(), folder, path})
        testing::giveToUser(each);
    const Identity before = identityOf(QFile::encodeName(path));
    const mode_t mode = testing::modeOf(path);
    testing::setMode(folder, mode_t(folderMode));
    const QStringList entries = entriesOf(folder);
    {
        testing::AsOrdinaryUser user;
        shell::TargetFile target(path, shell::TargetFile::ReadOnlyFile::Replace);
        QCOMPARE(testing::errorOf([&] {
                     target.write("new ");
                     target.write("content");
                 }),
                 QString());
        // Before it takes the name, the new content lies beside the old only under a leftover name.
        QStringList beside = entriesOf(folder);
        for (const QString& entry : entries)
            beside.removeOne(entry);
        QCOMPARE(beside.size(), unnamed ? 0 : 1);
        QVERIFY(beside.isEmpty() || beside.first().startsWith(QStringLiteral(".quillberry-part-")));
        QCOMPARE(testing::errorOf([&] { target.commit(); }), QString());
        QCOMPARE(contentOf(path), QByteArray("new content"));
        QCOMPARE(target.existed(), at != QStringLiteral("nothing"));
        QCOMPARE(testing::errorOf([&] { target.rollBack(); }), QString());
    }
    testing::setMode(folder, 0755);
    QCOMPARE(identityOf(QFile::encodeName(path)), before);
    QCOMPARE(entriesOf(folder), entries);
    if (before.type != 0) {
        QCOMPARE(contentOf(path), kOld);
        QCOMPARE(testing::modeOf(path), mode);
    }

    // finish() lets the old content go and leaves nothing else.
    QCOMPARE(testing::errorOf([&] {
                 shell::TargetFile target(path, shell::TargetFile::ReadOnlyFile::Replace);
                 target.write("kept");
                 target.commit();
                 target.finish();
             }),
             QString());
    QCOMPARE(contentOf(path), QByteArray("kept"));
    QStringList withTarget = entries;
    if (!withTarget.contains(QStringLiteral("target.pdf")))
        withTarget << QStringLiteral("target.pdf");
    QCOMPARE(entriesOf(folder), withTarget);
}

// Before anything is written, two names are seen to be one file: through a link to its folder, "..",
// "." and a hard link, and one device by two names; different files are different.
void TargetFileTest::oneFileUnderTwoNames() {
    QTemporaryDir dir;
    const QString d = dir.filePath(QStringLiteral("d"));
    QVERIFY(QDir().mkdir(d));
    QVERIFY(QFile::link(d, dir.filePath(QStringLiteral("e"))));
    writeFile(d + QStringLiteral("/old.xls"), kOld);
    QCOMPARE(::link(QFile::encodeName(d + QStringLiteral("/old.xls")).constData(),
                    QFile::encodeName(d + QStringLiteral("/hard.xls")).constData()),
             0);
    const auto same = [](const QString& a, const QString& b) {
        shell::TargetFile first(a);
        shell::TargetFile second(b);
        first.prepare();
        second.prepare();
        return first.sameAs(second);
    };
    QVERIFY(same(d + QStringLiteral("/a.xls"), dir.filePath(QStringLiteral("e/a.xls"))));
    QVERIFY(same(d + QStringLiteral("/a.xls"), d + QStringLiteral("/../d/./a.xls")));
    QVERIFY(same(d + QStringLiteral("/old.xls"), dir.filePath(QStringLiteral("e/hard.xls"))));
    QVERIFY(same(QStringLiteral("/dev/null"), QStringLiteral("/dev/../dev/null")));
    QVERIFY(!same(d + QStringLiteral("/a.xls"), d + QStringLiteral("/A.xls")));
    QVERIFY(!same(d + QStringLiteral("/a.xls"), d + QStringLiteral("/old.xls")));
    QVERIFY(!same(QStringLiteral("/dev/null"), d + QStringLiteral("/null")));
}

// What a killed run leaves goes with the next one that looks, but only what it can prove was made by a
// process that has ended, belongs to the user and is of the kind looked for.
void TargetFileTest::leftoversOfEndedProcessesOnly() {
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    // A process that makes a leftover file and a leftover folder with a file in it, then ends.
    int channel[2];
    QCOMPARE(::pipe(channel), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        const QByteArray file = shell::leftoverName(shell::LeftoverKind::File);
        const QByteArray work = shell::leftoverName(shell::LeftoverKind::Folder);
        const int fd = ::open((folder + '/' + file).constData(), O_CREAT | O_WRONLY, 0600);
        ::close(fd);
        ::mkdir((folder + '/' + work).constData(), 0700);
        ::close(::open((folder + '/' + work + "/statement.xls").constData(), O_CREAT | O_WRONLY, 0600));
        const QByteArray names = file + '\n' + work + '\n';
        [[maybe_unused]] const ssize_t sent = ::write(channel[1], names.constData(), size_t(names.size()));
        ::_exit(0);
    }
    ::close(channel[1]);
    QByteArray names(4096, '\0');
    names.truncate(::read(channel[0], names.data(), size_t(names.size())));
    ::close(channel[0]);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    const QList<QByteArray> made = names.trimmed().split('\n');
    QCOMPARE(made.size(), 2);

    // This process's own, a name that only looks alike, and another user's stay.
    const QByteArray mine = shell::leftoverName(shell::LeftoverKind::File);
    writeFile(QFile::decodeName(folder + '/' + mine), "in use");
    QByteArray lookalike = made.at(0);
    lookalike.replace("part", "parts");
    writeFile(QFile::decodeName(folder + '/' + lookalike), "the user's");
    QByteArray others = made.at(0) + "x";
    writeFile(QFile::decodeName(folder + '/' + others), "another user's");
    testing::giveToUser(QFile::decodeName(folder + '/' + others), testing::kOtherUser);

    QVERIFY(shell::madeByEndedProcess(made.at(0), shell::LeftoverKind::File));
    QVERIFY(!shell::madeByEndedProcess(made.at(0), shell::LeftoverKind::Folder));
    QVERIFY(!shell::madeByEndedProcess(mine, shell::LeftoverKind::File));
    QCOMPARE(shell::removeStaleLeftovers(folder, shell::LeftoverKind::File),
             testing::runningAsRoot() ? 1 : 2);
    QCOMPARE(shell::removeStaleLeftovers(folder, shell::LeftoverKind::Folder), 1);
    QStringList expected{QFile::decodeName(mine), QFile::decodeName(lookalike)};
    if (testing::runningAsRoot())
        expected << QFile::decodeName(others);
    expected.sort();
    QCOMPARE(entriesOf(dir.path()), expected);
}

// A name's bytes survive the option parser and the dialog, and messages show every byte.
void TargetFileTest::namesComeBackAsTheirBytes() {
    const QList<QByteArray> names{"plain.xls",       "M\xc3\xbcller.xls", "\xff\xfe.xls",
                                  "a\xc3(.xls",      "\xed\xa0\x80.xls",  "emoji \xf0\x9f\x98\x80.xls",
                                  "\xf4\x90\x80\x80"};
    for (const QByteArray& bytes : names)
        QCOMPARE(shell::unescapedArgument(shell::escapedArgument(bytes)), bytes);
    QCOMPARE(shell::NativePath::fromBytes("\xff line\nbreak").shown(),
             QStringLiteral("\\xff line\\x0abreak"));
    QCOMPARE(shell::NativePath::fromBytes("M\xc3\xbcller").shown(), QStringLiteral("Müller"));

    // A dialog shows such a name with U+FFFD; the one entry that reads so gives its bytes back.
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    writeAt(folder + "/\xff.xls", "one");
    QCOMPARE(shell::NativePath(dir.path() + QStringLiteral("/\uFFFD.xls")).bytes(), folder + "/\xff.xls");
    // Two entries that read alike: the name stays as typed rather than picking one.
    writeAt(folder + "/\xfe.xls", "two");
    QCOMPARE(shell::NativePath(dir.path() + QStringLiteral("/\uFFFD.xls")).bytes(),
             folder + "/\xef\xbf\xbd.xls");
    for (const char* name : {"/\xff.xls", "/\xfe.xls"})
        ::unlink((folder + name).constData());
}

testing::TestClass targetFileTests() {
    return testing::testClass<TargetFileTest>();
}

#include "target_file_test.moc"
