#include "AtomicWrite.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
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

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

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
        struct stat byName {}, byHandle {};
        if (::stat(tempName.constData(), &byName) == 0 && ::fstat(fd, &byHandle) == 0 && sameFile(byName, byHandle))
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
        struct stat byHandle {}, byName {};
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

// Straight system calls: the settings file is read at every start and
// every opening of the dialog, and the stream layers cost more than the read.
FileRead readWholeFile(const QString& path, QByteArray& content) {
    content.clear();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? FileRead::Missing : FileRead::Failed;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return FileRead::Failed;
    }
    // One byte more than the size, so a file that has not grown ends in one read.
    qsizetype capacity = qsizetype(info.st_size) + 1;
    QByteArray buffer(capacity, Qt::Uninitialized);
    qsizetype total = 0;
    for (;;) {
        if (total == capacity) {
            capacity *= 2;
            buffer.resize(capacity);
        }
        const ssize_t n = ::read(fd, buffer.data() + total, size_t(capacity - total));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return FileRead::Failed;
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
    // Write through a link to its target, so the link stays a link.
    QFileInfo info(path);
    const QString target = info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath();
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
    if (ok && existed) {
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
        if (ok && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
            (void)!::fchown(fd, old.st_uid, old.st_gid); // best effort: only root can give a file away
    }
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
