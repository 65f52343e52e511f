#include "settings/AtomicWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

void syncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The temporary file of a save is locked for as long as its writer works on
// it. One that nobody holds was left by a save that was killed before its
// rename; the next save removes it, as it may hold the password. The
// ".saving" ending keeps other programs' temporary files out of the sweep.
constexpr char TempEnding[] = ".saving";
constexpr int TempEndingLength = sizeof TempEnding - 1;

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int createLockedTemp(const QByteArray& pattern, QByteArray& tempName) {
    // A sweep may take the new file for a leftover in the moment between its
    // creation and its lock; it is gone then, and another name is tried.
    for (int attempt = 0; attempt < 8; ++attempt) {
        tempName = pattern;
        const int fd = ::mkostemps(tempName.data(), TempEndingLength, O_CLOEXEC); // created 0600
        if (fd < 0)
            return -1;
        if (::flock(fd, LOCK_EX) != 0)
            return fd; // no locks on this file system: no sweep can take it either
        struct stat byName {
        }, byHandle{};
        if (::stat(tempName.constData(), &byName) == 0 && ::fstat(fd, &byHandle) == 0 &&
            sameFile(byName, byHandle))
            return fd;
        ::close(fd);
    }
    return -1;
}

void removeLeftovers(const QByteArray& folder, const QByteArray& prefix) {
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    const qsizetype nameLength = prefix.size() + 6 + TempEndingLength;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        if (name.size() != nameLength || !name.startsWith(prefix) || !name.endsWith(TempEnding))
            continue;
        const int fd = ::openat(dirFd, entry->d_name, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat byHandle {
        }, byName{};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &byHandle) == 0 && S_ISREG(byHandle.st_mode) &&
            ::fstatat(dirFd, entry->d_name, &byName, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(byName, byHandle))
            ::unlinkat(dirFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

// A file made read-only is left as it is, as writing into it in place would
// leave it: the rename that replaces it needs only the folder's permission.
// The mode bits count even for root, who may write anything.
bool isReadOnly(const QByteArray& name, const struct stat& status) {
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return true;
    return ::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) != 0;
}

} // namespace

QString resolvedTarget(const QString& path) {
    // A loop of links ends the walk as the system would (ELOOP) after 40 steps.
    QString current = QFileInfo(path).absoluteFilePath();
    for (int step = 0; step < 40; ++step) {
        const QByteArray name = QFile::encodeName(current);
        struct stat info {};
        if (::lstat(name.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
            return current;
        QByteArray target(qsizetype(info.st_size > 0 ? info.st_size : 4095) + 1, Qt::Uninitialized);
        const ssize_t n = ::readlink(name.constData(), target.data(), size_t(target.size()));
        if (n < 0 || n >= target.size())
            return current;
        target.truncate(n);
        const QString next = QFile::decodeName(target);
        current = QDir::cleanPath(
            QDir::isAbsolutePath(next) ? next : QFileInfo(current).absolutePath() + u'/' + next);
    }
    return current;
}

// Straight system calls: the settings file is read at every start and
// every opening of the dialog, and the stream layers cost more than the read.
FileRead readWholeFile(const QString& path, QByteArray& content, qint64 maxSize, QString* why) {
    content.clear();
    const auto fail = [why](const QString& reason) {
        if (why)
            *why = reason;
        return FileRead::Failed;
    };
    // O_NONBLOCK: opening a FIFO without a writer would otherwise wait for good.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return FileRead::Missing;
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(QStringLiteral("it is not a regular file"));
    }
    if (info.st_size > maxSize) {
        ::close(fd);
        return fail(QStringLiteral("it is larger than %1 bytes").arg(maxSize));
    }
    // One byte more than the size, so a file that has not grown ends in one
    // read; a file that grows past the bound while being read is refused.
    qsizetype capacity = qsizetype(info.st_size) + 1;
    QByteArray buffer(capacity, Qt::Uninitialized);
    qsizetype total = 0;
    for (;;) {
        if (total == capacity) {
            if (capacity > maxSize) {
                ::close(fd);
                return fail(QStringLiteral("it is larger than %1 bytes").arg(maxSize));
            }
            capacity = qsizetype(std::min<qint64>(qint64(capacity) * 2, maxSize + 1));
            buffer.resize(capacity);
        }
        const ssize_t n = ::read(fd, buffer.data() + total, size_t(capacity - total));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            return fail(QString::fromLocal8Bit(std::strerror(error)));
        }
        if (n == 0)
            break;
        total += n;
    }
    ::close(fd);
    buffer.truncate(total);
    content = std::move(buffer);
    return FileRead::Ok;
}

bool writeFileAtomically(const QString& path, const QByteArray& content) {
    // Through every link to the real file, so the links stay links.
    const QString target = resolvedTarget(path);
    const QByteArray targetName = QFile::encodeName(target);
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());

    struct stat old {};
    const bool existed = ::stat(targetName.constData(), &old) == 0;
    if (existed && (!S_ISREG(old.st_mode) || isReadOnly(targetName, old)))
        return false;

    const QByteArray prefix = "." + QFile::encodeName(QFileInfo(target).fileName()) + ".";
    QByteArray tempName;
    const int fd = createLockedTemp(folder + "/" + prefix + "XXXXXX" + TempEnding, tempName);
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, content.constData(), content.size());
    // The temporary file is 0600 from its creation and stays so: the file
    // holds the password, so no earlier looser mode is carried over.
    if (ok && existed && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
        (void)!::fchown(fd, old.st_uid, old.st_gid); // best effort: only root can give a file away
    ok = ok && ::fsync(fd) == 0;
    // Renamed while still locked, so no sweep takes it for a leftover.
    ok = ok && ::rename(tempName.constData(), targetName.constData()) == 0;
    if (!ok)
        ::unlink(tempName.constData());
    ::close(fd);
    if (!ok)
        return false;
    syncFolder(folder);
    removeLeftovers(folder, prefix);
    return true;
}

FileLock::~FileLock() {
    if (m_fd >= 0)
        ::close(m_fd); // closing the last descriptor ends the lock
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

FileLock::Result FileLock::acquire(const QString& lockPath, std::chrono::milliseconds bound, QString* why) {
    const auto fail = [why](Result result, const QString& reason) {
        if (why)
            *why = reason;
        return result;
    };
    const int fd = ::open(QFile::encodeName(lockPath).constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(Result::Failed, QStringLiteral("its lock file %1 cannot be opened: %2")
                                        .arg(lockPath, QString::fromLocal8Bit(std::strerror(errno))));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(Result::Failed, QStringLiteral("its lock file %1 is not a regular file").arg(lockPath));
    }
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno == ENOLCK || errno == EOPNOTSUPP)
            break;
        if (errno != EWOULDBLOCK && errno != EINTR) {
            const int error = errno;
            ::close(fd);
            return fail(Result::Failed, QStringLiteral("its lock file %1 cannot be locked: %2")
                                            .arg(lockPath, QString::fromLocal8Bit(std::strerror(error))));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return fail(Result::TimedOut,
                        QStringLiteral("another program has held its lock file %1 for more than %2 ms")
                            .arg(lockPath)
                            .arg(bound.count()));
        }
        ::usleep(5000); // writers hold the lock for milliseconds
    }
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
    return Result::Locked;
}
