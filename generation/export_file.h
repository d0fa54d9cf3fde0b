#pragma once

// A file the user asked for (an exported workbook, PDF or picture), written so that it appears whole or
// not at all: the bytes go to a fresh file beside it, which takes the file's name only when all of them
// are on disk. A failure leaves whatever was at the path before untouched, and never a part-written file
// or a new folder. A link the user names leads to its file, which is replaced while the link stays.

#include <QByteArray>
#include <QString>
#include <optional>

#include "shell/core/safe_file.h"

namespace generation {

class ExportFile {
public:
    explicit ExportFile(const QString& path);
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;

    // Makes the fresh file. Throws shell::RuntimeError naming the path and the reason: the folder
    // does not exist, the path is a folder, the file or folder cannot be written.
    void open();
    void write(const QByteArray& bytes);
    // The fresh file takes the file's name. Throws shell::RuntimeError when it cannot.
    void commit();

    const QString& path() const { return path_; }

private:
    [[noreturn]] void fail(const QString& reason) const;

    QString path_;
    std::optional<shell::NewFile> file_;
};

// Opens, writes and commits in one go.
void writeExportFile(const QString& path, const QByteArray& bytes);

}  // namespace generation
