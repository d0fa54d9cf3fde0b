#include "shell/core/settings_store_failure.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <vector>

#include "shell/core/settings_store_file.h"

namespace shell {

namespace {

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// Creates the folder and its parents as a save does; the reason when one cannot be created.
QString createFolder(const QString& folder) {
    QStringList missing;
    QString path = QDir::cleanPath(folder);
    struct stat info {};
    while (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        if (errno != ENOENT) {
            if (errno == ENOTDIR)
                break;  // a file stands where a folder should; found below
            return QStringLiteral("the folder %1 cannot be reached: %2")
                .arg(shown(path), systemReason(errno));
        }
        missing.prepend(path);
        const QString parent = QFileInfo(path).path();
        if (parent == path)
            break;
        path = parent;
    }
    // The nearest existing ancestor must be a folder.
    if (::stat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISDIR(info.st_mode))
        return QStringLiteral("%1 is a file, not a folder: %2").arg(shown(path), systemReason(ENOTDIR));
    for (const QString& step : missing) {
        if (::mkdir(QFile::encodeName(step).constData(), 0700) != 0 && errno != EEXIST) {
            return QStringLiteral("the folder %1 cannot be created: %2")
                .arg(shown(step), systemReason(errno));
        }
    }
    return {};
}

// Writes a file of the new contents' size beside the settings file, as the atomic save does, and
// flushes it: lack of space or quota shows here. The file is removed again.
QString tryWriteBeside(const QString& folder, qint64 bytesToWrite) {
    QByteArray pattern = QFile::encodeName(folder + QStringLiteral("/.quillberry-save-XXXXXX"));
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return QStringLiteral("no file can be created in %1: %2").arg(shown(folder), systemReason(errno));
    int failure = 0;
    const std::vector<char> block(65536, ' ');
    for (qint64 left = std::max<qint64>(bytesToWrite, 1); left > 0 && failure == 0;) {
        const auto chunk = static_cast<size_t>(std::min<qint64>(left, static_cast<qint64>(block.size())));
        const ssize_t n = ::write(fd, block.data(), chunk);
        if (n < 0 && errno != EINTR)
            failure = errno;
        else if (n > 0)
            left -= n;
    }
    if (failure == 0 && ::fsync(fd) != 0)
        failure = errno;
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    ::unlink(pattern.constData());
    if (failure != 0)
        return QStringLiteral("it cannot be written in %1: %2").arg(shown(folder), systemReason(failure));
    return {};
}

}  // namespace

QString saveFailureReason(const QString& fileName, qint64 bytesToWrite) {
    const QString folder = QFileInfo(fileName).absolutePath();
    if (QString reason = createFolder(folder); !reason.isEmpty())
        return reason;

    const QByteArray path = QFile::encodeName(fileName);
    struct stat info {};
    if (::stat(path.constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return QStringLiteral("a folder has its name: %1").arg(systemReason(EISDIR));
        const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            return QStringLiteral("the file cannot be opened for writing: %1").arg(systemReason(errno));
        ::close(fd);
    }
    if (QString reason = tryWriteBeside(folder, bytesToWrite); !reason.isEmpty())
        return reason;
    return {};
}

}  // namespace shell
