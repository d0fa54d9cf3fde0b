#include "shell/core/safe_file.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "shell/core/interruption.h"
#include "shell/core/leftovers.h"

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

// The system's words that only repeat the kind the error number gives.
bool repeatsKind(int error, const QString& cause) {
    switch (error) {
        case ENOENT:
        case EACCES:
        case EPERM:
        case ENOSPC:
        case EEXIST:
        case EIO:
            return cause == systemCause(error);
        default:
            return false;
    }
}

QString causeOf(int error) {
    // O_NOFOLLOW answers a link with ELOOP, whose text ("Too many levels of symbolic links") misleads.
    if (error == ELOOP)
        return QStringLiteral("a link, which is not followed");
    return systemCause(error);
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

int openFolderOf(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        raiseFileError(errno == ENOENT ? ENOTDIR : errno, path);
    return fd;
}

// Links the open file at name in the folder: through its descriptor where the process may (root), else
// through its entry under /proc, as the system's manual describes for unnamed files.
int linkDescriptor(int fd, int folderFd, const QByteArray& name) {
    if (::linkat(fd, "", folderFd, name.constData(), AT_EMPTY_PATH) == 0)
        return 0;
    if (errno == EEXIST)
        return -1;
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    return ::linkat(AT_FDCWD, self.constData(), folderFd, name.constData(), AT_SYMLINK_FOLLOW);
}

bool& unnamedFilesAllowed() {
    static bool allowed = true;
    return allowed;
}

}  // namespace

void FreshFile::setUnnamedFilesAllowed(bool allowed) {
    unnamedFilesAllowed() = allowed;
}

FileError::FileError(int error, const QString& path, const QString& cause)
    : RuntimeError(fileErrorText(error, path, cause)), error_(error), path_(path), cause_(cause) {}

QString systemCause(int error) {
#if defined(__GLIBC__)
    if (const char* text = strerrordesc_np(error))
        return QString::fromLocal8Bit(text);
#endif
    return QString::fromLocal8Bit(std::strerror(error));
}

QString fileErrorText(int error, const QString& path) {
    return fileErrorText(error, path, causeOf(error));
}

QString fileErrorText(int error, const QString& path, const QString& cause) {
    QString text = kindOf(error) + QStringLiteral(": '") + QDir::toNativeSeparators(path) + QLatin1Char('\'');
    if (!cause.isEmpty() && !repeatsKind(error, cause))
        text += QStringLiteral(" (") + cause + QLatin1Char(')');
    return text;
}

void raiseFileError(int error, const QString& path) {
    throw FileError(error, path, causeOf(error));
}

void raiseFileError(int error, const QString& path, const QString& cause) {
    throw FileError(error, path, cause);
}

bool pathTaken(const QString& path) {
    struct stat info {};
    return !path.isEmpty() && ::lstat(native(path).constData(), &info) == 0;
}

void requireWritableFolder(const QString& folder) {
    struct stat info {};
    if (folder.isEmpty() || ::stat(native(folder).constData(), &info) != 0) {
        const int error = folder.isEmpty() ? ENOENT : errno;
        raiseFileError(error == ENOENT ? ENOTDIR : error, folder,
                       error == ENOENT ? QStringLiteral("the folder does not exist") : causeOf(error));
    }
    if (!S_ISDIR(info.st_mode))
        raiseFileError(ENOTDIR, folder, QStringLiteral("not a folder"));
    // The effective user's rights, which are the ones the file system applies.
    if (::faccessat(AT_FDCWD, native(folder).constData(), W_OK | X_OK, AT_EACCESS) != 0) {
        const int error = errno;
        raiseFileError(error, folder,
                       error == EACCES  ? QStringLiteral("the folder is read-only")
                       : error == EROFS ? QStringLiteral("the folder is on a read-only file system")
                                        : causeOf(error));
    }
}

void writeAllTo(int fd, const QByteArray& bytes, const QString& path) {
    const char* data = bytes.constData();
    qint64 size = bytes.size();
    while (size > 0) {
        // A signal that cuts a write to a pipe short may leave it partly done rather than failed.
        if (interruptingSignal() != 0)
            raiseFileError(EINTR, path, QStringLiteral("interrupted"));
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            raiseFileError(written < 0 ? errno : EIO, path);
        data += written;
        size -= written;
    }
}

FreshFile::FreshFile(int folderFd, const QString& shownTarget)
    : folderFd_(folderFd), shownTarget_(shownTarget) {
    // An unnamed file is named through /proc (or a capability that root in a container may lack): without
    // /proc it could never be named.
    static const bool canName = ::access("/proc/self/fd", X_OK) == 0;
    if (canName && unnamedFilesAllowed()) {
        fd_ = ::openat(folderFd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd_ >= 0)
            return;
        // File systems without unnamed files answer EOPNOTSUPP (or EISDIR on kernels that predate them).
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            raiseFileError(errno, shownTarget_);
    }
    for (int attempt = 0; fd_ < 0; ++attempt) {
        const QByteArray name = leftoverName(LeftoverKind::File);
        fd_ =
            ::openat(folderFd_, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ >= 0)
            visibleName_ = name;
        else if (errno != EEXIST || attempt + 1 >= kFreshNameAttempts)
            raiseFileError(errno, shownTarget_);
    }
}

FreshFile::~FreshFile() {
    if (fd_ >= 0)
        ::close(fd_);
    if (!visibleName_.isEmpty())
        ::unlinkat(folderFd_, visibleName_.constData(), 0);
}

void FreshFile::sync() {
    if (::fsync(fd_) != 0)
        raiseFileError(errno, shownTarget_);
}

bool FreshFile::linkAs(const QByteArray& name) {
    if (!visibleName_.isEmpty()) {
        if (::linkat(folderFd_, visibleName_.constData(), folderFd_, name.constData(), 0) != 0) {
            if (errno == EEXIST)
                return false;
            raiseFileError(errno, shownTarget_);
        }
        ::unlinkat(folderFd_, visibleName_.constData(), 0);
        visibleName_.clear();
        return true;
    }
    if (linkDescriptor(fd_, folderFd_, name) != 0) {
        if (errno == EEXIST)
            return false;
        raiseFileError(errno, shownTarget_);
    }
    return true;
}

QByteArray FreshFile::linkUnderLeftoverName() {
    if (!visibleName_.isEmpty()) {
        QByteArray name;
        std::swap(name, visibleName_);
        return name;
    }
    for (int attempt = 0;; ++attempt) {
        const QByteArray name = leftoverName(LeftoverKind::File);
        if (linkAs(name))
            return name;
        if (attempt + 1 >= kFreshNameAttempts)
            raiseFileError(EEXIST, shownTarget_);
    }
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
    name_ = native(QFileInfo(target_).fileName());
    folderFd_ = openFolderOf(target_);
    try {
        fresh_ = std::make_unique<FreshFile>(folderFd_, target_);
    } catch (...) {
        ::close(folderFd_);
        throw;
    }
}

NewFile::~NewFile() {
    fresh_.reset();
    if (folderFd_ >= 0)
        ::close(folderFd_);
}

void NewFile::write(const QByteArray& bytes) {
    if (!fresh_)
        raiseFileError(EBADF, target_);
    fresh_->write(bytes);
}

void NewFile::commit() {
    if (!fresh_)
        raiseFileError(EBADF, target_);
    fresh_->sync();
    if (placement_ == Placement::Exclusive) {
        if (!fresh_->linkAs(name_))
            raiseFileError(EEXIST, target_);
    } else {
        struct stat old {};
        if (::fstatat(folderFd_, name_.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode)) {
            // Owner and group first: changing them may clear mode bits that are set afterwards.
            if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
                ::fchown(fresh_->fd(), old.st_uid, old.st_gid) != 0) {
                [[maybe_unused]] const int groupOnly = ::fchown(fresh_->fd(), uid_t(-1), old.st_gid);
            }
            if (::fchmod(fresh_->fd(), old.st_mode & 0777) != 0)
                raiseFileError(errno, target_);
        }
        const QByteArray fresh = fresh_->linkUnderLeftoverName();
        if (::renameat(folderFd_, fresh.constData(), folderFd_, name_.constData()) != 0) {
            const int error = errno;
            ::unlinkat(folderFd_, fresh.constData(), 0);
            raiseFileError(error, target_);
        }
    }
    fresh_.reset();
    // Makes the new name itself durable; a folder that cannot be flushed (some network file systems)
    // still holds the file.
    ::fsync(folderFd_);
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

int openOwnFile(const QString& path) {
    Descriptor in{openNoFollow(path)};
    struct stat info {};
    if (::fstat(in.fd, &info) != 0)
        raiseFileError(errno, path);
    if (!S_ISREG(info.st_mode))
        raiseFileError(EINVAL, path, QStringLiteral("not a regular file"));
    if (info.st_uid != ::geteuid())
        raiseFileError(EACCES, path, QStringLiteral("the file belongs to another user"));
    if (info.st_size > kMaxOwnFileSize)
        raiseFileError(EFBIG, path);
    // Reading blocks again: the descriptor was opened without waiting only so that a pipe could not hold
    // the open up.
    ::fcntl(in.fd, F_SETFL, ::fcntl(in.fd, F_GETFL) & ~O_NONBLOCK);
    const int fd = in.fd;
    in.fd = -1;
    return fd;
}

QByteArray readOwnFile(const QString& path) {
    Descriptor in{openOwnFile(path)};
    QFile file;
    if (!file.open(in.fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        raiseFileError(EIO, path, file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        raiseFileError(EIO, path, file.errorString());
    return bytes;
}

}  // namespace shell
