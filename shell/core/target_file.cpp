#include "shell/core/target_file.h"

#include <QFile>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <limits>

#include "shell/core/interruption.h"
#include "shell/core/leftovers.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace shell {

namespace {

// The old content of a file written in place is held in memory while the new one is written.
constexpr qint64 kMaxInPlaceSize = qint64(256) * 1024 * 1024;
constexpr int kMaxLinks = 40;

const QByteArray kStandardOutput("-");

bool& outputClosedAtStart() {
    static bool closed = false;
    return closed;
}

QString folderText(const QString& folder, const QString& what) {
    return QStringLiteral("the folder '%1' %2").arg(folder, what);
}

// Reads the whole of a regular file from its start.
bool readWhole(int fd, qint64 size, QByteArray& bytes) {
    bytes.resize(size);
    qint64 done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, bytes.data() + done, size_t(size - done), done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += got;
    }
    return true;
}

// Writes the bytes from the file's start, counting in done how many are on it, then cuts the file
// after them and flushes it; the error number, or 0.
int writeFromStart(int fd, const QByteArray& bytes, qint64& done) {
    done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return put < 0 ? errno : EIO;
        done += put;
    }
    if (::ftruncate(fd, bytes.size()) != 0)
        return errno;
    if (::fsync(fd) != 0)
        return errno;
    return 0;
}

// Puts the old bytes back over the first `changed` bytes (no write reaches further than the one that
// changed them, so a size limit that stopped that one does not stop this) and gives the file its old
// length; the error number, or 0.
int putBack(int fd, const QByteArray& old, qint64 changed) {
    qint64 done = 0;
    const QByteArray head = old.left(std::min<qint64>(changed, old.size()));
    while (done < head.size()) {
        const ssize_t put = ::pwrite(fd, head.constData() + done, size_t(head.size() - done), done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return put < 0 ? errno : EIO;
        done += put;
    }
    if (::ftruncate(fd, old.size()) != 0)
        return errno;
    return ::fsync(fd) != 0 ? errno : 0;
}

}  // namespace

struct TargetFile::State {
    enum class Restore { Nothing, Exchanged, BackedUp, Created };

    int folderFd = -1;
    int streamFd = -1;
    bool ownsStream = false;
    std::unique_ptr<FreshFile> fresh;
    QByteArray pending;  // a stream's or an in-place file's new content
    bool committed = false;
    bool finished = false;
    Restore restore = Restore::Nothing;
    QByteArray oldName;  // where the old content waits in the folder
    dev_t newDevice = 0;
    ino_t newInode = 0;
    int inPlaceFd = -1;
    QByteArray oldBytes;

    ~State() {
        fresh.reset();
        for (int fd : {folderFd, inPlaceFd})
            if (fd >= 0)
                ::close(fd);
        if (ownsStream && streamFd >= 0)
            ::close(streamFd);
    }
};

TargetFile::TargetFile(NativePath name, ReadOnlyFile readOnly)
    : name_(std::move(name)), readOnly_(readOnly), state_(std::make_unique<State>()) {}

TargetFile::~TargetFile() {
    if (state_->committed && !state_->finished) {
        try {
            rollBack();
        } catch (...) {
            // The caller reported the failure that stopped it; nothing more can be done here.
        }
    }
}

void TargetFile::fail(int error, const QString& cause) const {
    throw FileError(error, shown(), cause.isEmpty() ? systemCause(error) : cause);
}

QString TargetFile::shownFolder() const {
    return folder_.shown();
}

void TargetFile::prepare() {
    if (prepared_)
        return;
    if (name_.isEmpty())
        fail(ENOENT, QStringLiteral("no file name was given"));
    if (name_.bytes() == kStandardOutput) {
        struct stat info {};
        if (standardOutputClosed() || ::fstat(STDOUT_FILENO, &info) != 0)
            fail(EBADF, QStringLiteral("standard output is closed"));
        kind_ = Kind::Stream;
        state_->streamFd = STDOUT_FILENO;
        device_ = info.st_dev;
        inode_ = info.st_ino;
        prepared_ = true;
        return;
    }

    struct stat info {};
    if (::stat(name_.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            fail(EISDIR, QStringLiteral("it is a folder"));
        if (S_ISREG(info.st_mode)) {
            char resolved[PATH_MAX];
            if (!::realpath(name_.c_str(), resolved))
                fail(errno);
            resolveFile(NativePath::fromBytes(resolved), &info);
        } else if (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode)) {
            openStream(name_);
        } else if (S_ISSOCK(info.st_mode)) {
            fail(ENXIO, QStringLiteral("it is a socket, which cannot be written as a file"));
        } else if (S_ISBLK(info.st_mode)) {
            fail(EPERM, QStringLiteral("it is a block device (a disk), which is not written"));
        } else {
            fail(EINVAL, QStringLiteral("it is no file that can be written"));
        }
        prepared_ = true;
        return;
    }
    const int error = errno;
    if (error == ELOOP)
        fail(ELOOP, QStringLiteral("its links form a loop"));
    if (error == ENOTDIR)
        fail(ENOTDIR, QStringLiteral("a part of its path is not a folder"));
    if (error != ENOENT)
        fail(error);
    // Nothing at the end of the name: a free name, or a link that leads to one, which is then created
    // as a shell's redirection creates it.
    NativePath free = name_;
    for (int hop = 0;; ++hop) {
        struct stat link {};
        if (::lstat(free.c_str(), &link) != 0) {
            if (errno == ENOENT)
                break;
            fail(errno);
        }
        if (!S_ISLNK(link.st_mode) || hop >= kMaxLinks)
            fail(ELOOP, QStringLiteral("its links form a loop"));
        QByteArray target(qsizetype(PATH_MAX), Qt::Uninitialized);
        const ssize_t length = ::readlink(free.c_str(), target.data(), size_t(target.size()));
        if (length < 0)
            fail(errno);
        target.truncate(length);
        free = target.startsWith('/') ? NativePath::fromBytes(target) : free.folder().joined(target);
    }
    resolveFile(free, nullptr);
    prepared_ = true;
}

void TargetFile::resolveFile(const NativePath& path, const struct stat* info) {
    fileName_ = path.fileName();
    if (fileName_.isEmpty() || fileName_ == "." || fileName_ == "..")
        fail(EISDIR, QStringLiteral("it names a folder"));
    char resolved[PATH_MAX];
    if (!::realpath(path.folder().c_str(), resolved)) {
        const int error = errno;
        const QString folder = path.folder().shown();
        if (error == ENOENT)
            fail(ENOTDIR, folderText(folder, QStringLiteral("does not exist")));
        if (error == ENOTDIR)
            fail(ENOTDIR, QStringLiteral("'%1' is not a folder").arg(folder));
        fail(error);
    }
    folder_ = NativePath::fromBytes(resolved);
    state_->folderFd = ::open(resolved, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (state_->folderFd < 0)
        fail(errno, folderText(shownFolder(), QStringLiteral("cannot be opened: ") + systemCause(errno)));
    kind_ = Kind::File;
    existed_ = info != nullptr;
    if (info) {
        device_ = info->st_dev;
        inode_ = info->st_ino;
    }

    // The effective user's rights, which are the ones the file system applies.
    const bool folderTakesFiles = ::faccessat(state_->folderFd, ".", W_OK | X_OK, AT_EACCESS) == 0;
    const int folderError = errno;
    if (existed_) {
        const bool fileWritable = ::faccessat(state_->folderFd, fileName_.constData(), W_OK, AT_EACCESS) == 0;
        const int fileError = errno;
        if (fileError == EROFS || (!folderTakesFiles && folderError == EROFS))
            fail(EROFS, QStringLiteral("it is on a read-only file system"));
        if (folderTakesFiles) {
            if (!fileWritable && readOnly_ == ReadOnlyFile::Refuse)
                fail(fileError, QStringLiteral("the file is read-only"));
        } else if (fileWritable) {
            // The rename cannot work here; the file itself can be written.
            kind_ = Kind::FileInPlace;
        } else {
            fail(EACCES,
                 QStringLiteral("the file is read-only, and so is its folder '%1'").arg(shownFolder()));
        }
    } else if (!folderTakesFiles) {
        fail(folderError, folderError == EROFS
                              ? folderText(shownFolder(), QStringLiteral("is on a read-only file system"))
                          : folderError == EACCES ? folderText(shownFolder(), QStringLiteral("is read-only"))
                                                  : systemCause(folderError));
    }
    if (folderTakesFiles)
        removeStaleLeftovers(folder_.bytes(), LeftoverKind::File);
}

void TargetFile::openStream(const NativePath& path) {
    for (;;) {
        // A pipe's open waits for its reader; a signal that asks the job to stop ends the wait.
        const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd >= 0) {
            state_->streamFd = fd;
            state_->ownsStream = true;
            break;
        }
        if (errno != EINTR)
            fail(errno);
        if (interruptingSignal() != 0)
            fail(EINTR, QStringLiteral("interrupted while waiting for a reader"));
    }
    struct stat info {};
    if (::fstat(state_->streamFd, &info) == 0) {
        device_ = info.st_dev;
        inode_ = info.st_ino;
    }
    kind_ = Kind::Stream;
}

void TargetFile::write(const QByteArray& bytes) {
    prepare();
    if (kind_ != Kind::File) {
        state_->pending += bytes;
        return;
    }
    if (!state_->fresh)
        state_->fresh = std::make_unique<FreshFile>(state_->folderFd, shown());
    state_->fresh->write(bytes);
}

void TargetFile::commit() {
    prepare();
    State& s = *state_;
    if (s.committed)
        return;
    switch (kind_) {
        case Kind::Stream:
            writeAllTo(s.streamFd, s.pending, shown());
            s.pending.clear();
            break;
        case Kind::FileInPlace: {
            s.inPlaceFd =
                ::openat(s.folderFd, fileName_.constData(), O_RDWR | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
            if (s.inPlaceFd < 0)
                fail(errno);
            struct stat info {};
            if (::fstat(s.inPlaceFd, &info) != 0)
                fail(errno);
            if (!S_ISREG(info.st_mode) || info.st_dev != device_ || info.st_ino != inode_)
                fail(EAGAIN, QStringLiteral("another file took its name while it was written"));
            if (info.st_size > kMaxInPlaceSize)
                fail(EFBIG,
                     QStringLiteral("the file is too large to keep its old content while it is written"));
            if (!readWhole(s.inPlaceFd, info.st_size, s.oldBytes))
                fail(errno ? errno : EIO);
            // Room for the new content first, where the file system reserves it, so that a full disk
            // shows before the old content is touched.
            if (s.pending.size() > s.oldBytes.size() &&
                ::fallocate(s.inPlaceFd, FALLOC_FL_KEEP_SIZE, 0, s.pending.size()) != 0 &&
                errno != EOPNOTSUPP && errno != ENOSYS)
                fail(errno);
            qint64 changed = 0;
            if (const int error = writeFromStart(s.inPlaceFd, s.pending, changed); error != 0) {
                const int restored = putBack(s.inPlaceFd, s.oldBytes, changed);
                fail(error, restored == 0 ? QString()
                                          : systemCause(error) +
                                                QStringLiteral("; its old content could not be put back: ") +
                                                systemCause(restored));
            }
            s.pending.clear();
            break;
        }
        case Kind::File: {
            if (!s.fresh)
                s.fresh = std::make_unique<FreshFile>(s.folderFd, shown());
            s.fresh->sync();
            const int fd = s.fresh->fd();
            struct stat old {};
            if (::fstatat(s.folderFd, fileName_.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISREG(old.st_mode)) {
                // Owner and group first: changing them may clear mode bits that are set afterwards.
                if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
                    ::fchown(fd, old.st_uid, old.st_gid) != 0) {
                    [[maybe_unused]] const int groupOnly = ::fchown(fd, uid_t(-1), old.st_gid);
                }
                if (::fchmod(fd, old.st_mode & 07777 & ~mode_t(S_ISUID | S_ISGID)) != 0)
                    fail(errno);
            }
            struct stat mine {};
            ::fstat(fd, &mine);
            s.newDevice = mine.st_dev;
            s.newInode = mine.st_ino;
            const QByteArray fresh = s.fresh->linkUnderLeftoverName();
            const char* name = fileName_.constData();
            const auto giveUp = [&](int error) {
                ::unlinkat(s.folderFd, fresh.constData(), 0);
                fail(error);
            };
            for (int attempt = 0; s.restore == State::Restore::Nothing; ++attempt) {
                if (attempt == 3)
                    giveUp(EAGAIN);
                // The new file and the old one change places in one step; the old one stays at hand.
                if (::renameat2(s.folderFd, fresh.constData(), s.folderFd, name, RENAME_EXCHANGE) == 0) {
                    s.restore = State::Restore::Exchanged;
                    s.oldName = fresh;
                    break;
                }
                if (errno == ENOENT) {
                    if (::renameat2(s.folderFd, fresh.constData(), s.folderFd, name, RENAME_NOREPLACE) == 0 ||
                        ((errno == EINVAL || errno == ENOSYS) &&
                         ::renameat(s.folderFd, fresh.constData(), s.folderFd, name) == 0)) {
                        s.restore = State::Restore::Created;
                        break;
                    }
                    if (errno == EEXIST)
                        continue;
                    giveUp(errno);
                }
                if (errno != EINVAL && errno != ENOSYS)
                    giveUp(errno);
                // No exchange on this file system: the old file keeps a second name while the new one
                // takes its place.
                const QByteArray backup = leftoverName(LeftoverKind::File);
                bool backedUp = ::linkat(s.folderFd, name, s.folderFd, backup.constData(), 0) == 0;
                if (!backedUp && errno != ENOENT)
                    backedUp = ::renameat(s.folderFd, name, s.folderFd, backup.constData()) == 0;
                if (::renameat(s.folderFd, fresh.constData(), s.folderFd, name) != 0) {
                    const int error = errno;
                    if (backedUp)
                        ::renameat(s.folderFd, backup.constData(), s.folderFd, name);
                    giveUp(error);
                }
                s.restore = backedUp ? State::Restore::BackedUp : State::Restore::Created;
                s.oldName = backedUp ? backup : QByteArray();
            }
            s.fresh.reset();
            ::fsync(s.folderFd);
            break;
        }
    }
    s.committed = true;
}

void TargetFile::rollBack() {
    State& s = *state_;
    if (!s.committed || s.finished)
        return;
    s.committed = false;
    const char* name = fileName_.constData();
    switch (kind_) {
        case Kind::Stream:
            return;
        case Kind::FileInPlace:
            if (const int error = putBack(s.inPlaceFd, s.oldBytes, std::numeric_limits<qint64>::max());
                error != 0)
                fail(error, QStringLiteral("its old content could not be put back: ") + systemCause(error));
            return;
        case Kind::File:
            break;
    }
    switch (s.restore) {
        case State::Restore::Nothing:
            break;
        case State::Restore::Exchanged:
            if (::renameat2(s.folderFd, s.oldName.constData(), s.folderFd, name, RENAME_EXCHANGE) != 0)
                fail(errno, QStringLiteral("its old content could not be put back: ") + systemCause(errno));
            ::unlinkat(s.folderFd, s.oldName.constData(), 0);
            break;
        case State::Restore::BackedUp:
            if (::renameat(s.folderFd, s.oldName.constData(), s.folderFd, name) != 0)
                fail(errno, QStringLiteral("its old content could not be put back: ") + systemCause(errno));
            break;
        case State::Restore::Created: {
            // Only the file this target made goes again, not one that took the name since.
            struct stat now {};
            if (::fstatat(s.folderFd, name, &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_dev == s.newDevice &&
                now.st_ino == s.newInode && ::unlinkat(s.folderFd, name, 0) != 0)
                fail(errno, QStringLiteral("the new file could not be removed again: ") + systemCause(errno));
            break;
        }
    }
    s.restore = State::Restore::Nothing;
    s.oldName.clear();
    ::fsync(s.folderFd);
}

void TargetFile::finish() {
    State& s = *state_;
    if (!s.committed || s.finished)
        return;
    s.finished = true;
    if (!s.oldName.isEmpty())
        ::unlinkat(s.folderFd, s.oldName.constData(), 0);
    s.oldName.clear();
    s.oldBytes.clear();
    if (s.ownsStream && s.streamFd >= 0 && ::close(s.streamFd) != 0 && errno != EINTR) {
        s.streamFd = -1;
        fail(errno);
    }
    s.streamFd = -1;
}

bool TargetFile::sameAs(const TargetFile& other) const {
    if ((inode_ != 0 || device_ != 0) && device_ == other.device_ && inode_ == other.inode_)
        return true;
    return kind_ != Kind::Stream && other.kind_ != Kind::Stream && folder_ == other.folder_ &&
           fileName_ == other.fileName_;
}

void guardStandardStreams() {
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free number is the one that is closed.
        if (::open("/dev/null", O_RDWR) != fd)
            ::_exit(127);
        if (fd == STDOUT_FILENO)
            outputClosedAtStart() = true;
    }
}

bool standardOutputClosed() {
    return outputClosedAtStart();
}

void copyFileTo(const QString& source, TargetFile& target) {
    const int in = openOwnFile(source);
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    try {
        target.prepare();
        for (;;) {
            const ssize_t got = ::read(in, buffer.data(), size_t(buffer.size()));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                raiseFileError(errno, source);
            if (got == 0)
                break;
            target.write(QByteArray(buffer.constData(), got));
        }
    } catch (...) {
        ::close(in);
        throw;
    }
    ::close(in);
    target.commit();
    target.finish();
}

}  // namespace shell
