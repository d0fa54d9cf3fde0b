#include "generation/temporary_folder.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>

#include "shell/core/error_report.h"
#include "shell/core/leftovers.h"
#include "shell/core/safe_file.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace generation {

namespace {

QString privateFolder() {
    const QString base = QDir::tempPath();
#ifdef Q_OS_UNIX
    const QString folder = base + QStringLiteral("/quillberry-") + QString::number(::getuid());
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        throw shell::RuntimeError(QStringLiteral("Cannot create the temporary folder '%1': %2")
                                      .arg(folder, QString::fromLocal8Bit(strerror(errno))));
    }
    // The shared temporary folder lets anyone create names in it: take the folder only when it is a
    // real folder of our own, and keep it closed to everyone else.
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
        throw shell::RuntimeError(
            QStringLiteral("The temporary folder '%1' does not belong to this user").arg(folder));
    }
    if ((info.st_mode & 077) != 0 && ::chmod(native.constData(), 0700) != 0) {
        throw shell::RuntimeError(
            QStringLiteral("Cannot make the temporary folder '%1' private").arg(folder));
    }
    return folder;
#else
    const QString folder = base + QStringLiteral("/quillberry");
    if (!QDir().mkpath(folder))
        throw shell::RuntimeError(QStringLiteral("Cannot create the temporary folder '%1'").arg(folder));
    return folder;
#endif
}

}  // namespace

QString temporaryFolder() {
    const QString temp = qEnvironmentVariable("TEMP");
    if (!temp.isEmpty())
        return temp;
    return privateFolder();
}

QString temporaryPath(const QString& fileName) {
    QString folder = temporaryFolder();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + fileName;
}

void requireUsableTemporaryFolder() {
    shell::requireWritableFolder(temporaryFolder());
}

TemplateFile examineTemplatePath(const QString& path, LinkAtTemplatePath link) {
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0) {
        if (errno == ENOENT)
            return TemplateFile::Free;
        shell::raiseFileError(errno, path);
    }
    if (S_ISLNK(info.st_mode)) {
        if (link == LinkAtTemplatePath::Leave)
            return TemplateFile::Free;
        if (::unlink(native.constData()) != 0) {
            const int error = errno;
            shell::raiseFileError(
                error, path,
                QStringLiteral("a link the program cannot remove: ") + shell::systemCause(error));
        }
        return TemplateFile::Free;
    }
    if (S_ISDIR(info.st_mode))
        shell::raiseFileError(EISDIR, path, QStringLiteral("a folder has the template's name"));
    if (!S_ISREG(info.st_mode))
        shell::raiseFileError(EINVAL, path, QStringLiteral("not a regular file"));
    if (info.st_uid != ::geteuid())
        shell::raiseFileError(EACCES, path, QStringLiteral("the file belongs to another user"));
    return TemplateFile::Users;
#else
    return QFile::exists(path) ? TemplateFile::Users : TemplateFile::Free;
#endif
}

void removeLeftoversInTemporaryFolder() {
    shell::removeStaleLeftovers(QFile::encodeName(temporaryFolder()), shell::LeftoverKind::File);
}

WorkFolder::WorkFolder() {
    const QByteArray base = QFile::encodeName(QDir::tempPath());
    shell::removeStaleLeftovers(base, shell::LeftoverKind::Folder);
    for (int attempt = 0; path_.isEmpty(); ++attempt) {
        const QByteArray folder = base + '/' + shell::leftoverName(shell::LeftoverKind::Folder);
        if (::mkdir(folder.constData(), 0700) == 0)
            path_ = QFile::decodeName(folder);
        else if (errno != EEXIST || attempt > 100)
            shell::raiseFileError(
                errno, QFile::decodeName(folder),
                QStringLiteral("no working folder can be made: ") + shell::systemCause(errno));
    }
}

WorkFolder::~WorkFolder() {
    shell::removeFolderWithFiles(QFile::encodeName(path_));
}

QString WorkFolder::filePath(const QString& name) const {
    return path_ + QLatin1Char('/') + name;
}

}  // namespace generation
