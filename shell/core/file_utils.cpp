#include "shell/core/file_utils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <filesystem>
#include <system_error>

#include "shell/core/error_report.h"

namespace shell {

namespace {
QString& programFolderOverride() {
    static QString folder;
    return folder;
}
}  // namespace

bool FileExists(const QString& path) {
    if (path.isEmpty())
        return false;
    // Whatever the file system can give a modification time for counts, folders included.
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

void DeleteFileQuietly(const QString& path) {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
    if (path.isEmpty())
        return;
    if (QFile::remove(path))
        return;
    try {
        ForceDeleteFile(path);
    } catch (...) {
        // Quiet by contract: a file that cannot go simply stays.
    }
}

void ForceDeleteFile(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile() && !QFileInfo(path).isSymLink()) {
        throw RuntimeError(QStringLiteral("File not found: ") + QDir::toNativeSeparators(path));
    }
    file.setPermissions(file.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser);
    if (!file.remove()) {
        throw RuntimeError(QStringLiteral("Permission denied: ") + QDir::toNativeSeparators(path) +
                           QStringLiteral(" (") + file.errorString() + QLatin1Char(')'));
    }
}

void WriteBytesToFile(const QByteArray& bytes, const QString& path) {
    QFile file(path);
    // Truncate: a longer file left at the path would otherwise keep a stale tail behind the new bytes.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        throw RuntimeError(QStringLiteral("Path/File access error: ") + QDir::toNativeSeparators(path) +
                           QStringLiteral(" (") + file.errorString() + QLatin1Char(')'));
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.close();
        throw RuntimeError(QStringLiteral("Device I/O error: ") + QDir::toNativeSeparators(path) +
                           QStringLiteral(" (") + reason + QLatin1Char(')'));
    }
    file.close();
}

bool sameFile(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty())
        return false;
    if (QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath())
        return true;
    std::error_code error;
    const bool same =
        std::filesystem::equivalent(std::filesystem::path(QFile::encodeName(a).toStdString()),
                                    std::filesystem::path(QFile::encodeName(b).toStdString()), error);
    return !error && same;
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
