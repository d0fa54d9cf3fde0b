#include "shell/core/safe_file.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "shell/core/error_report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace shell {

namespace {

constexpr qint64 kMaxOwnFileSize = qint64(256) * 1024 * 1024;
constexpr int kFreshNameAttempts = 100;

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

QString kindOf(int error) {
    switch (error) {
        case ENOENT:
            return QStringLiteral("File not found");
        case ENOTDIR:
            return QStringLiteral("Path not found");
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
            return QStringLiteral("Permission denied");
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("Disk full");
        case EEXIST:
            return QStringLiteral("File already exists");
        case EIO:
            return QStringLiteral("Device I/O error");
        default:
            return QStringLiteral("Path/File access error");
    }
}

QString reasonOf(int error) {
    // O_NOFOLLOW answers a link with ELOOP, whose text ("Too many levels of symbolic links") misleads.
    if (error == ELOOP)
        return QStringLiteral("a link, which is not followed");
    return QString::fromStdString(std::generic_category().message(error));
}

[[noreturn]] void raise(int error, const QString& path, const QString& reason) {
    throw RuntimeError(fileErrorText(error, path, reason));
}

// Closes a descriptor when the scope ends.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

int openNoFollow(const QString& path) {
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        raiseFileError(errno, path);
    return fd;
}

void requireRegular(const struct stat& info, const QString& path) {
    if (!S_ISREG(info.st_mode))
        raise(EINVAL, path, QStringLiteral("not a regular file"));
}

void writeAll(int fd, const char* data, qint64 size, const QString& path) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            raiseFileError(written < 0 ? errno : EIO, path);
        data += written;
        size -= written;
    }
}

void syncFolderOf(const QString& path) {
    // Makes the rename itself durable; a folder that cannot be flushed (some network file systems)
    // still holds the renamed file.
    Descriptor folder{
        ::open(native(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (folder.fd >= 0)
        ::fsync(folder.fd);
}

QString freshName(const QString& target) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString name = target + QLatin1Char('.');
    for (int i = 0; i < 6; ++i)
        name += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)]);
    return name;
}

}  // namespace

QString fileErrorText(int error, const QString& path) {
    return fileErrorText(error, path, reasonOf(error));
}

QString fileErrorText(int error, const QString& path, const QString& reason) {
    return kindOf(error) + QStringLiteral(": '") + QDir::toNativeSeparators(path) + QStringLiteral("' (") +
           reason + QLatin1Char(')');
}

void raiseFileError(int error, const QString& path) {
    throw RuntimeError(fileErrorText(error, path));
}

bool pathTaken(const QString& path) {
    struct stat info {};
    return !path.isEmpty() && ::lstat(native(path).constData(), &info) == 0;
}

void requireWritableFolder(const QString& folder) {
    struct stat info {};
    if (folder.isEmpty() || ::stat(native(folder).constData(), &info) != 0) {
        const int error = folder.isEmpty() ? ENOENT : errno;
        raise(error == ENOENT ? ENOTDIR : error, folder, reasonOf(error));
    }
    if (!S_ISDIR(info.st_mode))
        raise(ENOTDIR, folder, QStringLiteral("not a folder"));
    // The effective user's rights, which are the ones the file system applies.
    if (::faccessat(AT_FDCWD, native(folder).constData(), W_OK | X_OK, AT_EACCESS) != 0)
        raiseFileError(errno, folder);
}

NewFile::NewFile(const QString& target, Placement placement) : target_(target), placement_(placement) {
    if (target.isEmpty())
        raiseFileError(ENOENT, target);
    struct stat info {};
    if (placement_ == Placement::Replace && ::lstat(native(target_).constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            raiseFileError(EISDIR, target_);
        // A file the user may not write is not replaced behind its back.
        if (S_ISREG(info.st_mode) &&
            ::faccessat(AT_FDCWD, native(target_).constData(), W_OK, AT_EACCESS) != 0)
            raiseFileError(errno, target_);
    }
    if (placement_ == Placement::Exclusive && pathTaken(target_))
        raiseFileError(EEXIST, target_);
    for (int attempt = 0; fd_ < 0; ++attempt) {
        const QString candidate = freshName(target_);
        fd_ =
            ::open(native(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            fresh_ = candidate;
        } else if (errno != EEXIST || attempt + 1 >= kFreshNameAttempts) {
            raiseFileError(errno, target_);
        }
    }
    file_.open(fd_, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle);
}

NewFile::~NewFile() {
    discard();
}

void NewFile::discard() noexcept {
    file_.close();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!fresh_.isEmpty())
        ::unlink(native(fresh_).constData());
    fresh_.clear();
}

void NewFile::write(const QByteArray& bytes) {
    if (fd_ < 0)
        raiseFileError(EBADF, target_);
    writeAll(fd_, bytes.constData(), bytes.size(), target_);
}

void NewFile::commit() {
    if (fd_ < 0)
        raiseFileError(EBADF, target_);
    if (file_.error() != QFileDevice::NoError)
        raise(EIO, target_, file_.errorString());
    if (::fsync(fd_) != 0)
        raiseFileError(errno, target_);
    struct stat old {};
    if (placement_ == Placement::Replace && ::lstat(native(target_).constData(), &old) == 0 &&
        S_ISREG(old.st_mode)) {
        // Owner and group first: changing them may clear mode bits that are set afterwards.
        if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
            ::fchown(fd_, old.st_uid, old.st_gid) != 0) {
            [[maybe_unused]] const int groupOnly = ::fchown(fd_, uid_t(-1), old.st_gid);
        }
        if (::fchmod(fd_, old.st_mode & 0777) != 0)
            raiseFileError(errno, target_);
    }
    file_.close();
    ::close(fd_);
    fd_ = -1;

    const QByteArray from = native(fresh_);
    const QByteArray to = native(target_);
    if (placement_ == Placement::Replace) {
        if (::rename(from.constData(), to.constData()) != 0)
            raiseFileError(errno, target_);
    } else {
        int done = ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
        if (done != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // File systems without the no-replace rename: a hard link fails the same way on a taken name.
            done = ::link(from.constData(), to.constData());
            if (done == 0)
                ::unlink(from.constData());
        }
        if (done != 0)
            raiseFileError(errno, target_);
    }
    fresh_.clear();
    syncFolderOf(target_);
}

void replaceFile(const QString& path, const QByteArray& bytes) {
    NewFile file(path, NewFile::Placement::Replace);
    file.write(bytes);
    file.commit();
}

void createNewFile(const QString& path, const QByteArray& bytes) {
    NewFile file(path, NewFile::Placement::Exclusive);
    file.write(bytes);
    file.commit();
}

bool reserveNewFile(const QString& path) {
    if (path.isEmpty())
        raiseFileError(ENOENT, path);
    const int fd =
        ::open(native(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST)
            return false;
        raiseFileError(errno, path);
    }
    ::close(fd);
    return true;
}

void copyFileReplacing(const QString& source, const QString& target) {
    Descriptor in{openNoFollow(source)};
    struct stat info {};
    if (::fstat(in.fd, &info) != 0)
        raiseFileError(errno, source);
    requireRegular(info, source);
    NewFile out(target, NewFile::Placement::Replace);
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const ssize_t got = ::read(in.fd, buffer.data(), size_t(buffer.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            raiseFileError(errno, source);
        if (got == 0)
            break;
        out.write(QByteArray::fromRawData(buffer.constData(), got));
    }
    out.commit();
}

QString followUserLink(const QString& path) {
    const QFileInfo info(path);
    return info.isSymLink() && info.exists() ? info.canonicalFilePath() : path;
}

QByteArray readOwnFile(const QString& path) {
    Descriptor in{openNoFollow(path)};
    struct stat info {};
    if (::fstat(in.fd, &info) != 0)
        raiseFileError(errno, path);
    requireRegular(info, path);
    if (info.st_uid != ::geteuid())
        raise(EACCES, path, QStringLiteral("the file belongs to another user"));
    if (info.st_size > kMaxOwnFileSize)
        raiseFileError(EFBIG, path);
    QFile file;
    if (!file.open(in.fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        raise(EIO, path, file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        raise(EIO, path, file.errorString());
    return bytes;
}

}  // namespace shell
