#pragma once

// Making the file system refuse or fail, for tests of what the program does then.
//
// Permissions do not bind root. Tests that need the file system to refuse something act as an ordinary
// user for that part when they run as root; run by an ordinary user they already are one.

#include <QFile>
#include <QString>
#include <QtGlobal>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testing {

inline constexpr uid_t kOrdinaryUser = 65534;  // "nobody"
inline constexpr uid_t kOtherUser = 1;         // a second user, whose files are not the ordinary user's

inline bool runningAsRoot() {
    return ::geteuid() == 0;
}

// Makes what is at the path the ordinary user's own (root only; otherwise it already is the user's).
// A missing path is left alone.
inline void giveToUser(const QString& path, uid_t user = kOrdinaryUser) {
    struct stat info {};
    const QByteArray native = QFile::encodeName(path);
    if (runningAsRoot() && ::lstat(native.constData(), &info) == 0 &&
        ::lchown(native.constData(), user, user) != 0)
        qFatal("cannot give %s to user %u", qPrintable(path), unsigned(user));
}

inline void setMode(const QString& path, mode_t mode) {
    if (::chmod(QFile::encodeName(path).constData(), mode) != 0)
        qFatal("cannot set the mode of %s", qPrintable(path));
}

inline mode_t modeOf(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// Acts as the ordinary user while alive.
class AsOrdinaryUser {
public:
    AsOrdinaryUser() : switched_(runningAsRoot()) {
        if (switched_ && (::setegid(kOrdinaryUser) != 0 || ::seteuid(kOrdinaryUser) != 0))
            qFatal("cannot act as the ordinary user");
    }
    ~AsOrdinaryUser() {
        if (switched_ && (::seteuid(0) != 0 || ::setegid(0) != 0))
            qFatal("cannot act as root again");
    }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

private:
    bool switched_;
};

// Lets no file grow past the given size while alive: a write that would fails with "File too large",
// as a full disk fails it halfway through.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            qFatal("cannot limit the file size");
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

}  // namespace testing
