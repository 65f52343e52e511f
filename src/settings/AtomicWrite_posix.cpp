#include "settings/FilePlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/inotify.h>
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

// The temporary file of a save is locked for as long as its writer works on
// it. One that nobody holds was left by a save that was killed before its
// rename; the next save removes it, as it may hold the password. The
// ".saving" ending keeps other programs' temporary files out of the sweep.
using sys::TempEnding;
constexpr int TempEndingLength = sizeof TempEnding - 1;

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

sys::File sys::createTemp(const QString& prefix, QString& name, int& error) {
    // A sweep may take the new file for a leftover in the moment between its
    // creation and its lock; it is gone then, and another name is tried.
    for (int attempt = 0; attempt < 8; ++attempt) {
        QByteArray tempName = QFile::encodeName(prefix) + "XXXXXX" + TempEnding;
        File temp(::mkostemps(tempName.data(), TempEndingLength, O_CLOEXEC)); // created 0600
        error = errno;
        name = QFile::decodeName(tempName);
        struct stat byName {
        }, byHandle{};
        if (!temp.valid() || ::flock(int(temp.get()), LOCK_EX) != 0 ||
            (::stat(tempName.constData(), &byName) == 0 && ::fstat(int(temp.get()), &byHandle) == 0 &&
             sameFile(byName, byHandle)))
            return temp; // failed, or no locks on this file system: no sweep can take it either
    }
    return File();
}

void sys::removeLeftovers(const QString& folderPath, const QString& prefixText) {
    const QByteArray folder = QFile::encodeName(folderPath), prefix = QFile::encodeName(prefixText);
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

namespace {

FileStamp stampOf(const struct stat& info) {
    return {quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
            qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
            qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec};
}

QString ownerName(uid_t uid) {
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[1024];
    if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QStringLiteral("uid %1").arg(uid);
}

// What a file that is no regular file is, for the reasons below.
QString kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("uma pasta");
    if (S_ISFIFO(mode))
        return QStringLiteral("um FIFO (pipe nomeado)");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("um dispositivo");
    if (S_ISSOCK(mode))
        return QStringLiteral("um socket");
    return QStringLiteral("um arquivo especial");
}

// The first folder of path that is in fact no folder (a file standing where
// a folder of the path should be), or an empty text.
QString notAFolderOn(const QString& path) {
    const QStringList parts = QDir::cleanPath(QFileInfo(path).absoluteFilePath()).split(u'/');
    QString prefix;
    for (qsizetype i = 1; i + 1 < parts.size(); ++i) {
        prefix += u'/' + parts[i];
        struct stat info {};
        if (::stat(QFile::encodeName(prefix).constData(), &info) != 0)
            return {};
        if (!S_ISDIR(info.st_mode))
            return prefix;
    }
    return {};
}

} // namespace

QString systemFailureReason(int error, const QString& path) {
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("O sistema negou a você o acesso a %1. Verifique o dono e as permissões "
                              "dessa pasta e desse arquivo.")
            .arg(path);
    case EROFS:
        return QStringLiteral("%1 fica num disco montado somente para leitura. Monte-o para gravação "
                              "e salve de novo.")
            .arg(path);
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("O disco de %1 está cheio (ou a sua cota de disco acabou). Libere espaço "
                              "e salve de novo.")
            .arg(path);
    case ENOTDIR:
        if (const QString file = notAFolderOn(path); !file.isEmpty())
            return QStringLiteral("%1 é um arquivo, e não uma pasta, e está no caminho de %2. Remova-o ou "
                                  "renomeie-o.")
                .arg(file, path);
        return QStringLiteral("Uma parte do caminho de %1 não é uma pasta.").arg(path);
    case ENOENT:
        return QStringLiteral("A pasta de %1 não existe.").arg(path);
    case EISDIR:
        return QStringLiteral("%1 é uma pasta, e não um arquivo. Remova-a ou renomeie-a.").arg(path);
    case ELOOP:
        return QStringLiteral("O caminho de %1 passa por links demais (ou em ciclo).").arg(path);
    case ENAMETOOLONG:
        return QStringLiteral("O caminho %1 é longo demais.").arg(path);
    case EIO:
        return QStringLiteral("Houve um erro de leitura ou gravação no disco de %1.").arg(path);
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Há arquivos abertos demais no sistema para abrir %1.").arg(path);
    case ENOMEM:
        return QStringLiteral("Não há memória suficiente para tratar %1.").arg(path);
    default:
        return QStringLiteral("O sistema recusou o acesso a %1 (erro %2: %3).")
            .arg(path)
            .arg(error)
            .arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

void sys::closeFile(qintptr handle) {
    if (handle >= 0)
        ::close(int(handle));
}

int sys::lastError() {
    return errno;
}

FileStamp sys::stampOf(qintptr file) {
    struct stat info {};
    return ::fstat(int(file), &info) == 0 ? ::stampOf(info) : FileStamp{};
}

FileRead sys::openForReading(const QString& path, File& file, FileStamp& stamp, QString& why) {
    // O_NONBLOCK: opening a FIFO without a writer would otherwise wait for good.
    file = File(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid() && (errno == ENOENT || errno == ENOTDIR))
        return FileRead::Missing;
    struct stat info {};
    if (!file.valid() || ::fstat(int(file.get()), &info) != 0) {
        why = systemFailureReason(errno, path);
        return FileRead::Failed;
    }
    if (S_ISDIR(info.st_mode))
        return FileRead::Missing; // a folder is no file, as on the original platform
    if (!S_ISREG(info.st_mode)) {
        why = QStringLiteral("%1 é %2, e não um arquivo comum. Remova-o ou troque-o por um arquivo.")
                  .arg(path, kindOf(info.st_mode));
        return FileRead::Failed;
    }
    stamp = ::stampOf(info);
    return FileRead::Ok;
}

qint64 sys::readSome(qintptr file, char* data, qint64 size) {
    for (;;) {
        const ssize_t n = ::read(int(file), data, size_t(size));
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

FileStamp fileStampOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return stampOf(info);
}

QString sys::refusalToReplace(const QString& target) {
    const QByteArray name = QFile::encodeName(target);
    struct stat old {};
    if (::stat(name.constData(), &old) != 0)
        return {};
    if (!S_ISREG(old.st_mode))
        return QStringLiteral("%1 é %2, e não um arquivo comum. Remova-o ou renomeie-o para que as "
                              "configurações possam ser salvas.")
            .arg(target, kindOf(old.st_mode));
    // An old file of another owner that this user may not write is left as
    // it is, as writing into it in place would leave it, though the rename
    // needs only the folder's permission. The mode bits count even for root,
    // who may write anything. A file of this user's own is replaced whatever
    // its mode: a restrictive umask of an earlier save must not stop every
    // later one.
    if (old.st_uid != ::geteuid() && ((old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
                                      ::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) != 0))
        return QStringLiteral("O arquivo %1 pertence a outro usuário (%2) e você não pode gravá-lo. "
                              "Peça ao administrador que o devolva a você ou o remova.")
            .arg(target, ownerName(old.st_uid));
    return {};
}

int sys::replaceWith(File temp, const QString& tempName, const QByteArray& content, const QString& target,
                     QString& failedAt) {
    const QByteArray tempPath = QFile::encodeName(tempName), targetName = QFile::encodeName(target);
    const int fd = int(temp.get());
    // Created 0600 less the umask: set, not inherited, so that a restrictive
    // umask (0277 leaves 0400) cannot make the file unwritable for every
    // later save. No earlier looser mode is carried over either: the file
    // holds the password.
    int error = 0;
    const auto step = [&error](bool ok) {
        if (!ok && error == 0)
            error = errno;
        return ok;
    };
    bool ok = step(::fchmod(fd, 0600) == 0) && step(writeAll(fd, content.constData(), content.size()));
    struct stat old {};
    if (ok && ::stat(targetName.constData(), &old) == 0 &&
        (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
        (void)!::fchown(fd, old.st_uid, old.st_gid); // best effort: only root can give a file away
    ok = ok && step(::fsync(fd) == 0);
    // Renamed while still locked, so no sweep takes it for a leftover.
    ok = ok && step(::rename(tempPath.constData(), targetName.constData()) == 0);
    if (!ok)
        ::unlink(tempPath.constData());
    temp = File();
    const QString folder = QFileInfo(target).absolutePath();
    failedAt = error == EISDIR ? target : folder;
    if (ok) {
        const File folderFile(
            ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folderFile.valid())
            ::fsync(int(folderFile.get()));
    }
    return error;
}

namespace {

QString lockOpenFailure(const QString& lockPath, int error) {
    const QByteArray name = QFile::encodeName(lockPath);
    struct stat info {};
    const bool exists = ::lstat(name.constData(), &info) == 0;
    if (exists && S_ISLNK(info.st_mode))
        return QStringLiteral("O arquivo de trava %1 é um link simbólico, e não um arquivo. Remova-o (ele "
                              "é criado de novo a cada gravação).")
            .arg(lockPath);
    if (exists && !S_ISREG(info.st_mode))
        return QStringLiteral("No lugar do arquivo de trava %1 há %2. Remova-o (o arquivo de trava é "
                              "criado de novo a cada gravação).")
            .arg(lockPath, kindOf(info.st_mode));
    if (exists && info.st_uid != ::geteuid() && (error == EACCES || error == EPERM))
        return QStringLiteral("O arquivo de trava %1 pertence a outro usuário (%2) e você não pode abri-lo. "
                              "Peça ao administrador que o remova (ele é criado de novo a cada gravação).")
            .arg(lockPath, ownerName(info.st_uid));
    // Not there yet: what stops it is its folder.
    return systemFailureReason(error,
                               exists || error == ENOTDIR ? lockPath : QFileInfo(lockPath).absolutePath());
}

} // namespace

// Written by endFileWaits() and never read, so it stays readable.
const qintptr sys::EndEvent = sys::newEvent();

const int sys::TimedOutError = ETIMEDOUT, sys::EndedError = ECANCELED;

sys::File sys::openLockFile(const QString& lockPath, QString& why) {
    const QByteArray name = QFile::encodeName(lockPath);
    constexpr int flags = O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = ::open(name.constData(), flags, 0600);
    if (fd < 0 && errno == EACCES) {
        // A lock file of this user's own that a restrictive umask (or
        // another program) left unwritable: set back, then open.
        struct stat info {};
        if (::lstat(name.constData(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
            ::chmod(name.constData(), 0600) == 0)
            fd = ::open(name.constData(), flags, 0600);
        else
            errno = EACCES;
    }
    File file(fd);
    struct stat info {};
    if (!file.valid() || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        why = lockOpenFailure(lockPath, file.valid() ? EINVAL : errno);
        return File();
    }
    // Created 0600 less the umask, or left with another mode: set, not
    // inherited, so that the next writer can open it whatever its umask.
    if (info.st_uid == ::geteuid() && (info.st_mode & 07777) != 0600)
        (void)!::fchmod(fd, 0600);
    return file;
}

int sys::lock(qintptr file, bool wait) {
    int result;
    while ((result = ::flock(int(file), wait ? LOCK_EX : LOCK_EX | LOCK_NB)) != 0 && wait && errno == EINTR) {
    }
    return result == 0 || errno == ENOLCK || errno == EOPNOTSUPP ? 0 : errno;
}

bool sys::isHeld(int error) {
    return error == EWOULDBLOCK || error == EINTR;
}

qintptr sys::duplicate(qintptr file) {
    return ::fcntl(int(file), F_DUPFD_CLOEXEC, 0);
}

qint64 sys::readAtStart(qintptr file, char* data, qint64 size) {
    return ::pread(int(file), data, size_t(size), 0);
}

void sys::writeAtStart(qintptr file, const char* data, qint64 size) {
    (void)!::pwrite(int(file), data, size_t(size), 0);
}

qintptr sys::newEvent() {
    return ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

void sys::setEvent(qintptr event) {
    const uint64_t one = 1;
    (void)!::write(int(event), &one, sizeof one);
}

sys::Woken sys::waitFor(qintptr handle, std::chrono::steady_clock::time_point until) {
    pollfd fds[2] = {{int(handle), POLLIN, 0}, {int(EndEvent), POLLIN, 0}};
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        const int n = ::poll(fds, 2, int(std::clamp<qint64>(left.count(), 0, INT_MAX)));
        if (n > 0)
            return fds[1].revents ? Woken::Ended : Woken::Changed;
        if ((n == 0 && left.count() <= 0) || (n < 0 && errno != EINTR))
            return Woken::TimedOut;
    }
}

bool sys::changeIsOurs(qintptr watch, const QByteArray& name) {
    alignas(inotify_event) char events[4096];
    bool ours = false;
    for (ssize_t n; (n = ::read(int(watch), events, sizeof events)) > 0;) {
        for (const char* at = events; at < events + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            ours = ours || (event->mask & IN_Q_OVERFLOW) || (event->len > 0 && name == event->name);
            at += sizeof(inotify_event) + event->len;
        }
    }
    return ours;
}

FileWatch::FileWatch(const QString& path) : m_name(QFile::encodeName(QFileInfo(path).fileName())) {
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    constexpr uint32_t changes =
        IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
    // The folder, for the name: a file renamed over it is watched as well.
    if (fd >= 0 &&
        ::inotify_add_watch(fd, QFile::encodeName(QFileInfo(path).absolutePath()).constData(), changes) < 0)
        ::close(fd);
    else
        m_handle = fd;
}

FileWatch::~FileWatch() {
    sys::closeFile(m_handle);
}
