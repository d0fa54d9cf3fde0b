#pragma once

// Writing files so that nothing the user owns is lost and nothing is written through a link, even in a
// folder that other local users can write to (/tmp). Every function here throws shell::FileError, whose
// description names the kind of failure and the path, and the cause where the kind does not already say
// it: "Permission denied: '/home/ann/ro/new.xls' (the folder '/home/ann/ro' is read-only)".

#include <QByteArray>
#include <QFile>
#include <QString>
#include <memory>

#include "shell/core/error_report.h"
#include "shell/core/native_path.h"

namespace shell {

// A failed file operation: the system's error number, the path as shown, and the cause.
class FileError : public RuntimeError {
public:
    FileError(int error, const QString& path, const QString& cause);
    int error() const { return error_; }
    const QString& path() const { return path_; }
    // The cause in a few words: the program's own, or the system's ("No space left on device").
    const QString& cause() const { return cause_; }

private:
    int error_;
    QString path_;
    QString cause_;
};

// The description of a failed file operation on path: "<kind>: '<path>' (<cause>)", the cause left out
// where it would only repeat the kind ("Permission denied: '<path>'").
QString fileErrorText(int error, const QString& path);
QString fileErrorText(int error, const QString& path, const QString& cause);
[[noreturn]] void raiseFileError(int error, const QString& path);
[[noreturn]] void raiseFileError(int error, const QString& path, const QString& cause);
// The system's own words for an error number, in English like every message of the program.
QString systemCause(int error);

// True when anything at all is at the path: a file, a folder, a link, a dangling link included.
bool pathTaken(const QString& path);

// Throws unless the folder exists, is a folder (a link to a folder counts) and files can be created in it.
void requireWritableFolder(const QString& folder);

// Writes all the bytes, going on after a signal that only interrupted the call; a signal that asks the
// job to stop (shell/core/interruption.h) ends the write with that error. Throws FileError for path.
void writeAllTo(int fd, const QByteArray& bytes, const QString& path);

// A new file in a folder, open for writing, that has no name until it is given one, so that nothing of
// it is left if the program dies first (O_TMPFILE). Where the file system has no unnamed files, it is
// made under a leftover name (shell/core/leftovers.h) that a later run removes. Destroying it before it
// is named removes it.
class FreshFile {
public:
    // Makes every fresh file a named one, as on a file system without unnamed files (tests).
    static void setUnnamedFilesAllowed(bool allowed);

    // folderFd: an open descriptor of the folder; shownTarget names the file the content is meant for,
    // in errors.
    FreshFile(int folderFd, const QString& shownTarget);
    ~FreshFile();
    FreshFile(const FreshFile&) = delete;
    FreshFile& operator=(const FreshFile&) = delete;

    int fd() const { return fd_; }
    void write(const QByteArray& bytes) { writeAllTo(fd_, bytes, shownTarget_); }
    // Flushes the content to the disk.
    void sync();
    // Gives the file the name in its folder; false when the name is taken. It stays open.
    bool linkAs(const QByteArray& name);
    // Gives the file a fresh leftover name in its folder and returns it: the caller now owns that name.
    QByteArray linkUnderLeftoverName();

private:
    int folderFd_;
    QString shownTarget_;
    int fd_ = -1;
    QByteArray visibleName_;  // the leftover name of a file that could not be made without one
};

// A file written under a fresh name in its target's folder and put in place by commit(), so that the
// target is either the whole new file or what it was before. The target is never opened, so a link at
// the target is never written through.
//
// - Replace: commit() renames over whatever is at the target (a link is replaced itself, its target is
//   left alone). A regular file there must be writable by the user (a read-only file is refused, like a
//   write would be) and its permission bits, and where the system allows its owner and group, pass to
//   the new file.
// - Exclusive: commit() fails with "File already exists" if anything is at the target by then.
//
// Destroying an uncommitted NewFile removes the fresh file; nothing else is touched.
class NewFile {
public:
    enum class Placement { Replace, Exclusive };

    NewFile(const QString& target, Placement placement);
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    void write(const QByteArray& bytes);
    // Flushes the data to the disk (fsync), then puts the file in place and flushes the folder.
    void commit();

private:
    QString target_;
    QByteArray name_;  // the target's name in its folder
    Placement placement_;
    int folderFd_ = -1;
    std::unique_ptr<FreshFile> fresh_;
};

// The bytes as the whole new content of path (NewFile, Replace).
void replaceFile(const QString& path, const QByteArray& bytes);
// The bytes as a new file at path, which must be free (NewFile, Exclusive).
void createNewFile(const QString& path, const QByteArray& bytes);

// Claims a free path by creating it empty, exclusively and without following links. False when
// anything is there already, a dangling link included; throws for any other failure.
bool reserveNewFile(const QString& path);

// The content of a regular file of the user's own, read without following a link: a link, another
// user's file or anything but a regular file is refused.
QByteArray readOwnFile(const QString& path);

// Opens a regular file of the user's own for reading without following a link; the caller closes it.
int openOwnFile(const QString& path);

}  // namespace shell
