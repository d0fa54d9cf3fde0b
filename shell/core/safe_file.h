#pragma once

// Writing files so that nothing the user owns is lost and nothing is written through a link, even in a
// folder that other local users can write to (/tmp). Every function here throws shell::RuntimeError
// whose description names the kind of failure, the path and the file system's own reason, as in
// "Permission denied: '/home/ann/ro/old.xls' (Permission denied)".

#include <QByteArray>
#include <QFile>
#include <QString>

namespace shell {

// The description of a failed file operation on path: "<kind>: '<path>' (<the system's reason>)".
QString fileErrorText(int error, const QString& path);
// The same with a reason of the program's own, where the system's would mislead.
QString fileErrorText(int error, const QString& path, const QString& reason);
[[noreturn]] void raiseFileError(int error, const QString& path);

// True when anything at all is at the path: a file, a folder, a link, a dangling link included.
bool pathTaken(const QString& path);

// Throws unless the folder exists, is a folder (a link to a folder counts) and files can be created in it.
void requireWritableFolder(const QString& folder);

// A file written under a fresh name in its target's folder and put in place by commit(), so that the
// target is either the whole new file or what it was before. The fresh file is created exclusively and
// without following links; the target is never opened, so a link at the target is never written through.
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

    // The fresh file, open for writing (for writers that want a device, QPdfWriter or QImageWriter).
    QFile& device() { return file_; }
    void write(const QByteArray& bytes);
    // Flushes the data to the disk (fsync), then puts the file in place and flushes the folder.
    void commit();

private:
    void discard() noexcept;

    QString target_;
    QString fresh_;
    Placement placement_;
    int fd_ = -1;
    QFile file_;
};

// The bytes as the whole new content of path (NewFile, Replace).
void replaceFile(const QString& path, const QByteArray& bytes);
// The bytes as a new file at path, which must be free (NewFile, Exclusive).
void createNewFile(const QString& path, const QByteArray& bytes);

// Claims a free path by creating it empty, exclusively and without following links. False when
// anything is there already, a dangling link included; throws for any other failure.
bool reserveNewFile(const QString& path);

// Copies source over target through a NewFile (Replace): on any failure the target stays exactly as it
// was, mode included, and no partial file is left. A link at source is not followed.
void copyFileReplacing(const QString& source, const QString& target);

// The file a path chosen by the user stands for: a link to an existing file leads to that file, which
// is then replaced while the link stays; any other path is itself.
QString followUserLink(const QString& path);

// The content of a regular file of the user's own, read without following a link: a link, another
// user's file or anything but a regular file is refused.
QByteArray readOwnFile(const QString& path);

}  // namespace shell
