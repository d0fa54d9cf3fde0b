#include "generation/temporary_folder.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>

#include "shell/core/error_report.h"

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

}  // namespace generation
