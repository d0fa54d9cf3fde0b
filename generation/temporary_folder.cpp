#include "generation/temporary_folder.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "shell/core/error_report.h"
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

TemplateFile examineTemplatePath(const QString& path) {
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0) {
        if (errno == ENOENT)
            return TemplateFile::Free;
        shell::raiseFileError(errno, path);
    }
    if (S_ISLNK(info.st_mode)) {
        if (::unlink(native.constData()) != 0) {
            const int error = errno;
            throw shell::RuntimeError(
                shell::fileErrorText(error, path,
                                     QStringLiteral("a link the program cannot remove: ") +
                                         QString::fromStdString(std::generic_category().message(error))));
        }
        return TemplateFile::Free;
    }
    if (!S_ISREG(info.st_mode))
        throw shell::RuntimeError(shell::fileErrorText(EINVAL, path, QStringLiteral("not a regular file")));
    if (info.st_uid != ::geteuid()) {
        throw shell::RuntimeError(
            shell::fileErrorText(EACCES, path, QStringLiteral("the file belongs to another user")));
    }
    return TemplateFile::Users;
#else
    return QFile::exists(path) ? TemplateFile::Users : TemplateFile::Free;
#endif
}

}  // namespace generation
