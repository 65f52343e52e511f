#include "AtomicWrite.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
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
    if (existed && !S_ISREG(old.st_mode))
        return false;

    QByteArray tempName = folder + "/." + QFile::encodeName(QFileInfo(target).fileName()) + ".XXXXXX";
    const int fd = ::mkostemp(tempName.data(), O_CLOEXEC); // created 0600
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, content.constData(), content.size());
    if (ok && existed) {
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
        if (ok && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
            (void)!::fchown(fd, old.st_uid, old.st_gid); // best effort: only root can give a file away
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tempName.constData(), targetName.constData()) == 0;
    if (!ok) {
        ::unlink(tempName.constData());
        return false;
    }
    syncFolder(folder);
    return true;
}
