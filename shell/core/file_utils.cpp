#include "shell/core/file_utils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <cerrno>
#include <map>
#include <utility>

#include "shell/core/error_report.h"
#include "shell/core/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace shell {

namespace {
QString& programFolderOverride() {
    static QString folder;
    return folder;
}

// A file is the program's own while the path still names the very file it made: same device and inode.
using FileIdentity = std::pair<dev_t, ino_t>;

FileIdentity identityOf(const struct stat& info) {
    return {info.st_dev, info.st_ino};
}

std::map<QString, FileIdentity>& ownFiles() {
    static std::map<QString, FileIdentity> files;
    return files;
}
}  // namespace

bool FileExists(const QString& path) {
    if (path.isEmpty())
        return false;
    // Whatever the file system can give a modification time for counts, folders included.
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

bool FileExists(const NativePath& path) {
    struct stat info {};
    return !path.isEmpty() && ::stat(path.c_str(), &info) == 0;
}

void DeleteFileQuietly(const QString& path) {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
    try {
        ForceDeleteFile(path);
    } catch (...) {
        // Quiet by contract: a file that cannot go simply stays.
    }
}

void ForceDeleteFile(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (path.isEmpty() || ::lstat(native.constData(), &info) != 0)
        raiseFileError(path.isEmpty() ? ENOENT : errno, path);
    if (S_ISDIR(info.st_mode))
        raiseFileError(EISDIR, path);
    if (::unlink(native.constData()) == 0) {
        ownFiles().erase(path);
        return;
    }
    const int refused = errno;
    const auto own = ownFiles().find(path);
    if (!S_ISREG(info.st_mode) || own == ownFiles().end() || own->second != identityOf(info))
        raiseFileError(refused, path);
    // Some file systems (shares that map the read-only attribute) refuse to delete a read-only file.
    // The descriptor pins the file checked above, so no mode is changed through a link.
    const int fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    struct stat opened {};
    if (fd < 0 || ::fstat(fd, &opened) != 0 || identityOf(opened) != identityOf(info)) {
        if (fd >= 0)
            ::close(fd);
        raiseFileError(refused, path);
    }
    const bool writable = ::fchmod(fd, opened.st_mode | S_IWUSR) == 0;
    const bool deleted = writable && ::unlink(native.constData()) == 0;
    const int error = deleted ? 0 : errno;
    if (writable && !deleted)
        ::fchmod(fd, opened.st_mode & 07777);
    ::close(fd);
    if (!deleted)
        raiseFileError(error, path);
    ownFiles().erase(path);
}

void rememberOwnFile(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode))
        ownFiles()[path] = identityOf(info);
}

void WriteBytesToFile(const QByteArray& bytes, const QString& path) {
    replaceFile(path, bytes);
}

bool sameFile(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty())
        return false;
    if (QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath())
        return true;
    return sameFile(NativePath(a), NativePath(b));
}

bool sameFile(const NativePath& a, const NativePath& b) {
    if (a.isEmpty() || b.isEmpty())
        return false;
    struct stat first {};
    struct stat second {};
    if (::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0)
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    return a == b;
}

QString LocaleDecimalSeparator() {
    const QString half = QLocale().toString(1.0 / 2.0).trimmed();
    return half.size() >= 2 ? half.mid(1, 1) : QStringLiteral(".");
}

QString ToLocaleDecimal(const QString& text) {
    const QString separator = LocaleDecimalSeparator();
    QString result = text;
    result.replace(QLatin1Char('.'), separator);
    result.replace(QLatin1Char(','), separator);
    return result;
}

QString programFolder() {
    if (!programFolderOverride().isEmpty())
        return programFolderOverride();
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

void setProgramFolder(const QString& folder) {
    QString cleaned = folder;
    while (cleaned.size() > 1 && cleaned.endsWith(QLatin1Char('/')))
        cleaned.chop(1);
    programFolderOverride() = cleaned;
}

}  // namespace shell
