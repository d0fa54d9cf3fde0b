#pragma once

// A file the user asked for (an exported workbook, PDF or picture), written so that it appears whole or
// not at all: what the name stands for is worked out as a shell's redirection does (shell::TargetFile),
// a file's new content goes to a fresh unnamed file beside it, which takes the name only when all of it
// is on disk, and a device or pipe is written into directly. A failure leaves whatever was at the name
// before untouched, and never a part-written file or a new folder.
//
// Every error reads "Cannot write '<name>': <cause>".

#include <QByteArray>
#include <QString>
#include <vector>

#include "shell/core/native_path.h"
#include "shell/core/target_file.h"

namespace generation {

class ExportFile {
public:
    explicit ExportFile(const shell::NativePath& path,
                        shell::TargetFile::ReadOnlyFile readOnly = shell::TargetFile::ReadOnlyFile::Refuse);
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;

    // Works out what the name stands for and whether it can be written; makes nothing. Throws
    // shell::RuntimeError naming the file and the reason: the folder does not exist, the name is a
    // folder, the file or folder cannot be written.
    void open();
    void write(const QByteArray& bytes);
    // Puts the content in place for good. Throws shell::RuntimeError when it cannot.
    void commit();

    QString shown() const { return target_.shown(); }
    bool sameAs(const ExportFile& other) const { return target_.sameAs(other.target_); }

private:
    friend void commitAll(const std::vector<ExportFile*>& files);
    [[noreturn]] void fail(const QString& cause) const;
    template <typename Step>
    void guarded(Step step);

    shell::TargetFile target_;
};

// Opens, writes and commits in one go.
void writeExportFile(const shell::NativePath& path, const QByteArray& bytes);

// Puts every file in place, or none: files first, devices and pipes last (what was written into one
// cannot be taken back). When one cannot be put in place, or a signal asks the job to stop, every file
// already in place gets its old content back, and the error names each file and what became of it.
void commitAll(const std::vector<ExportFile*>& files);

}  // namespace generation
