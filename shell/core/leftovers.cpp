#include "shell/core/leftovers.h"

#include <QFile>
#include <QList>
#include <QRandomGenerator>
#include <cerrno>
#include <optional>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace shell {

namespace {

struct Maker {
    QByteArray boot;  // eight hex digits of the boot's id
    qint64 pid = 0;
    QByteArray start;  // the process's start time, in clock ticks since the boot

    bool operator==(const Maker&) const = default;
};

QByteArray prefixOf(LeftoverKind kind) {
    return kind == LeftoverKind::File ? QByteArray(".quillberry-part-") : QByteArray("quillberry-work-");
}

QByteArray readSmallFile(const QByteArray& path) {
    QFile file(QFile::decodeName(path));
    return file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) ? file.read(4096) : QByteArray();
}

QByteArray currentBoot() {
    static const QByteArray boot = [] {
        QByteArray id = readSmallFile("/proc/sys/kernel/random/boot_id").trimmed();
        id.replace('-', QByteArray());
        return id.size() >= 8 ? id.left(8) : QByteArray();
    }();
    return boot;
}

// The start time of a running process from /proc/<pid>/stat, whose 22nd field it is; the second field
// (the name in parentheses) may itself hold blanks and parentheses, so the count starts after its end.
// Nothing when the process does not exist; an empty text when it cannot be told.
std::optional<QByteArray> startTimeOf(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        if (!QFile::exists(QStringLiteral("/proc/self/stat")))
            return QByteArray();
        return std::nullopt;
    }
    const QByteArray stat = file.read(4096);
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return QByteArray();
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    constexpr int kStartTimeAfterName = 22 - 3;
    return fields.size() > kStartTimeAfterName ? fields.at(kStartTimeAfterName) : QByteArray();
}

// Worked out once per process; a child made by fork() works out its own.
const Maker& thisProcess() {
    static Maker self;
    if (self.pid != ::getpid())
        self = Maker{currentBoot(), ::getpid(), startTimeOf(::getpid()).value_or(QByteArray())};
    return self;
}

std::optional<Maker> parse(const QByteArray& name, LeftoverKind kind) {
    const QByteArray prefix = prefixOf(kind);
    if (!name.startsWith(prefix))
        return std::nullopt;
    const QList<QByteArray> parts = name.mid(prefix.size()).split('-');
    if (parts.size() != 4 || parts.at(0).size() != 8 || parts.at(2).isEmpty() || parts.at(3).isEmpty())
        return std::nullopt;
    bool numeric = false;
    const qint64 pid = parts.at(1).toLongLong(&numeric);
    if (!numeric || pid <= 0)
        return std::nullopt;
    return Maker{parts.at(0), pid, parts.at(2)};
}

// Empties and removes a folder of this user's without following a link; a folder inside it stays, and
// so does the folder then.
bool removeFolder(int parent, const QByteArray& name) {
    const int fd = ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray inner(entry->d_name);
        if (inner != "." && inner != "..")
            ::unlinkat(fd, inner.constData(), 0);
    }
    ::closedir(dir);
    return ::unlinkat(parent, name.constData(), AT_REMOVEDIR) == 0;
}

}  // namespace

bool removeFolderWithFiles(const QByteArray& folder) {
    return removeFolder(AT_FDCWD, folder);
}

QByteArray leftoverName(LeftoverKind kind) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const Maker& self = thisProcess();
    QByteArray name = prefixOf(kind) + (self.boot.isEmpty() ? QByteArray("00000000") : self.boot) + '-' +
                      QByteArray::number(self.pid) + '-' +
                      (self.start.isEmpty() ? QByteArray("0") : self.start) + '-';
    for (int i = 0; i < 8; ++i)
        name += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)];
    return name;
}

bool madeByEndedProcess(const QByteArray& name, LeftoverKind kind) {
    const auto maker = parse(name, kind);
    const Maker& self = thisProcess();
    // Without the boot's id or a start time nothing can be proved.
    if (!maker || self.boot.isEmpty() || self.start.isEmpty() || maker->boot == "00000000" ||
        maker->start == "0")
        return false;
    if (maker->boot != self.boot)
        return true;
    if (*maker == self)
        return false;
    const auto start = startTimeOf(maker->pid);
    if (!start)
        return true;
    // The same id now belongs to a process that started at another time: the maker has ended.
    return !start->isEmpty() && *start != maker->start;
}

int removeStaleLeftovers(const QByteArray& folder, LeftoverKind kind) {
    const int fd = ::open(folder.isEmpty() ? "." : folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return 0;
    }
    QList<QByteArray> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (madeByEndedProcess(name, kind))
            stale << name;
    }
    int removed = 0;
    for (const QByteArray& name : stale) {
        struct stat info {};
        if (::fstatat(fd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0 || info.st_uid != ::geteuid())
            continue;
        if (kind == LeftoverKind::File && S_ISREG(info.st_mode))
            removed += ::unlinkat(fd, name.constData(), 0) == 0 ? 1 : 0;
        else if (kind == LeftoverKind::Folder && S_ISDIR(info.st_mode))
            removed += removeFolder(fd, name) ? 1 : 0;
    }
    ::closedir(dir);
    return removed;
}

}  // namespace shell
