#include "generation/export_file.h"

#include <QDir>
#include <QFileInfo>

#include "shell/core/error_report.h"

namespace generation {

ExportFile::ExportFile(const QString& path) : path_(path) {}

void ExportFile::fail(const QString& reason) const {
    throw shell::RuntimeError(
        QStringLiteral("Cannot write '%1': %2").arg(QDir::toNativeSeparators(path_), reason));
}

void ExportFile::open() {
    if (path_.isEmpty())
        throw shell::RuntimeError(QStringLiteral("No file name was given"));
    const QFileInfo target(path_);
    const QFileInfo folder(target.absolutePath());
    if (!folder.exists())
        fail(QStringLiteral("the folder '%1' does not exist")
                 .arg(QDir::toNativeSeparators(folder.filePath())));
    if (!folder.isDir())
        fail(QStringLiteral("'%1' is not a folder").arg(QDir::toNativeSeparators(folder.filePath())));
    if (target.isDir())
        fail(QStringLiteral("it is a folder"));
    // The fresh file is made in the folder, so a folder closed to the user fails even for a new name;
    // saying so is clearer than the bare reason.
    if (!folder.isWritable())
        fail(QStringLiteral("the folder '%1' cannot be written")
                 .arg(QDir::toNativeSeparators(folder.filePath())));
    try {
        file_.emplace(shell::followUserLink(target.absoluteFilePath()), shell::NewFile::Placement::Replace);
    } catch (const shell::RuntimeError& error) {
        fail(error.description());
    }
}

void ExportFile::write(const QByteArray& bytes) {
    try {
        file_.value().write(bytes);
    } catch (const shell::RuntimeError& error) {
        fail(error.description());
    }
}

void ExportFile::commit() {
    try {
        file_.value().commit();
    } catch (const shell::RuntimeError& error) {
        fail(error.description());
    }
}

void writeExportFile(const QString& path, const QByteArray& bytes) {
    ExportFile file(path);
    file.open();
    file.write(bytes);
    file.commit();
}

}  // namespace generation
