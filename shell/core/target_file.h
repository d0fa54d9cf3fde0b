#pragma once

// A file the user names for the program to write: an exported workbook, PDF or picture, a saved copy of
// the workbook. The name is taken as the shell takes a redirection's:
//
// - a regular file, or a name that is free, is replaced through a fresh file in its folder that takes
//   the name only when it is complete (the old file keeps its mode, and where the system allows its
//   owner and group). A link leads to its file, which is replaced while the link stays; a dangling
//   link leads to the name it holds, which is created.
// - a regular file the user may write, in a folder where no file can be created, is written in place:
//   its old bytes are kept until the new ones are complete and are put back when the write fails.
// - a character device, a pipe, a terminal, or "-" (standard output) is written into directly and is
//   never renamed over, deleted or made anew.
// - a folder, a socket, a block device and a loop of links are refused.
//
// Nothing is made before the content is written, and nothing the user had is gone before commit() has
// put all of the new content in place; until finish(), rollBack() gives the old content back.

#include <sys/stat.h>
#include <sys/types.h>
#include <QByteArray>
#include <QString>
#include <memory>

#include "shell/core/native_path.h"
#include "shell/core/safe_file.h"

namespace shell {

class TargetFile {
public:
    // Whether a regular file the user may not write is replaced: only when the user has confirmed it
    // (and the folder allows it); a rename then keeps its mode.
    enum class ReadOnlyFile { Refuse, Replace };
    enum class Kind { File, FileInPlace, Stream };

    explicit TargetFile(NativePath name, ReadOnlyFile readOnly = ReadOnlyFile::Refuse);
    ~TargetFile();
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;

    // Works out what the name stands for and whether it can be written, and makes nothing. A device or
    // a pipe is opened here (a pipe waits for its reader, as a shell's redirection does). Throws
    // FileError naming the file, and the folder when the folder is the cause.
    void prepare();

    // The new content, in one or more pieces. A file's goes straight into a fresh unnamed file.
    void write(const QByteArray& bytes);
    // Puts the new content in place. The old content stays at hand until finish().
    void commit();
    // Gives the old content back after commit(); for a device or pipe there is nothing to give back.
    // Throws FileError when it cannot.
    void rollBack();
    // Lets the old content go.
    void finish();

    // True when both names lead to one file: the same folder and name once links and ".." are
    // resolved, or the same device and inode.
    bool sameAs(const TargetFile& other) const;

    const NativePath& name() const { return name_; }
    // The name for messages.
    QString shown() const { return name_.shown(); }
    Kind kind() const { return kind_; }
    // Whether a file was at the name before (what rollBack() then gives back).
    bool existed() const { return existed_; }
    bool canRollBack() const { return kind_ != Kind::Stream; }

private:
    struct State;
    void resolveFile(const NativePath& path, const struct stat* info);
    void openStream(const NativePath& path);
    [[noreturn]] void fail(int error, const QString& cause = {}) const;
    QString shownFolder() const;

    NativePath name_;
    ReadOnlyFile readOnly_;
    Kind kind_ = Kind::File;
    bool prepared_ = false;
    bool existed_ = false;
    NativePath folder_;    // the resolved folder of a file
    QByteArray fileName_;  // its name in that folder
    dev_t device_ = 0;     // identity of what is at the name (when something is)
    ino_t inode_ = 0;
    std::unique_ptr<State> state_;
};

// Makes sure the descriptors of standard input, output and error are open before the program opens
// anything, so that no file the program opens takes the number of a closed one and has an export to
// "-" written into it: a closed one is opened on /dev/null and remembered as closed. Call first thing.
void guardStandardStreams();
// Whether standard output was closed when the program started.
bool standardOutputClosed();

// Copies the file at source (a regular file of the user's own, not a link) to the target.
void copyFileTo(const QString& source, TargetFile& target);

}  // namespace shell
