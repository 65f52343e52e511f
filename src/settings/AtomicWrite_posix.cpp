#include "settings/AtomicWrite.h"

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
#include <memory>
#include <poll.h>
#include <pwd.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
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

// An old file of another owner that this user may not write is left as
// it is, as writing into it in place would leave it, though the rename
// needs only the folder's permission. The mode bits count even for root, who
// may write anything. A file of this user's own is replaced whatever its
// mode: a restrictive umask of an earlier save must not stop every later one.
bool isOthersReadOnly(const QByteArray& name, const struct stat& status) {
    if (status.st_uid == ::geteuid())
        return false;
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return true;
    return ::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) != 0;
}

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

namespace {

// The reasons a settings file cannot be read, for the start-up and the save.
QString notRegularReason(const QString& path, mode_t mode) {
    return QStringLiteral("%1 é %2, e não um arquivo comum. Remova-o ou troque-o por um arquivo.")
        .arg(path, kindOf(mode));
}

QString tooLargeReason(const QString& path, qint64 maxSize) {
    return QStringLiteral("%1 tem mais de %2 bytes, muito mais do que um arquivo de configurações tem. "
                          "Mova-o para outro lugar.")
        .arg(path)
        .arg(maxSize);
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
FileRead readWholeFile(const QString& path, QByteArray& content, qint64 maxSize, QString* why,
                       FileStamp* stamp, bool* changedWhileRead) {
    content.clear();
    if (stamp)
        *stamp = FileStamp{};
    if (changedWhileRead)
        *changedWhileRead = false;
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
        return fail(systemFailureReason(errno, path));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(systemFailureReason(error, path));
    }
    if (S_ISDIR(info.st_mode)) {
        ::close(fd);
        return FileRead::Missing; // a folder is no file, as on the original platform
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(notRegularReason(path, info.st_mode));
    }
    if (info.st_size > maxSize) {
        ::close(fd);
        return fail(tooLargeReason(path, maxSize));
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
                return fail(tooLargeReason(path, maxSize));
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
            return fail(systemFailureReason(error, path));
        }
        if (n == 0)
            break;
        total += n;
    }
    // The state after the read, for a caller that asks whether the file
    // changed meanwhile (a plain load does not: one call less).
    struct stat after {};
    if ((stamp || changedWhileRead) && ::fstat(fd, &after) == 0) {
        if (stamp)
            *stamp = stampOf(after);
        if (changedWhileRead)
            *changedWhileRead = !(stampOf(after) == stampOf(info)) || qint64(total) != qint64(after.st_size);
    }
    ::close(fd);
    buffer.truncate(total);
    content = std::move(buffer);
    return FileRead::Ok;
}

FileStamp fileStampOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return stampOf(info);
}

QByteArray FileStamp::text() const {
    return QByteArray::number(device) + ' ' + QByteArray::number(inode) + ' ' + QByteArray::number(size) +
           ' ' + QByteArray::number(modifiedNs) + ' ' + QByteArray::number(changedNs);
}

bool writeFileAtomically(const QString& path, const QByteArray& content, QString* why) {
    const auto fail = [why](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    // Through every link to the real file, so the links stay links.
    const QString target = resolvedTarget(path);
    const QByteArray targetName = QFile::encodeName(target);
    const QString folderPath = QFileInfo(target).absolutePath();
    const QByteArray folder = QFile::encodeName(folderPath);

    struct stat old {};
    const bool existed = ::stat(targetName.constData(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode))
        return fail(QStringLiteral("%1 é %2, e não um arquivo comum. Remova-o ou renomeie-o para que as "
                                   "configurações possam ser salvas.")
                        .arg(target, kindOf(old.st_mode)));
    if (existed && isOthersReadOnly(targetName, old))
        return fail(QStringLiteral("O arquivo %1 pertence a outro usuário (%2) e você não pode gravá-lo. "
                                   "Peça ao administrador que o devolva a você ou o remova.")
                        .arg(target, ownerName(old.st_uid)));

    const QByteArray prefix = "." + QFile::encodeName(QFileInfo(target).fileName()) + ".";
    QByteArray tempName;
    const int fd = createLockedTemp(folder + "/" + prefix + "XXXXXX" + TempEnding, tempName);
    if (fd < 0)
        return fail(systemFailureReason(errno, folderPath));
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
    if (ok && existed && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
        (void)!::fchown(fd, old.st_uid, old.st_gid); // best effort: only root can give a file away
    ok = ok && step(::fsync(fd) == 0);
    // Renamed while still locked, so no sweep takes it for a leftover.
    ok = ok && step(::rename(tempName.constData(), targetName.constData()) == 0);
    if (!ok)
        ::unlink(tempName.constData());
    ::close(fd);
    if (!ok)
        return fail(systemFailureReason(error, error == EISDIR ? target : folderPath));
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

QString boundText(std::chrono::milliseconds bound) {
    if (bound.count() % 1000 == 0)
        return QStringLiteral("%1 segundos").arg(bound.count() / 1000);
    return QStringLiteral("%1 ms").arg(bound.count());
}

// The end of the program, for the waits: written by endFileWaits() and
// never read, so it stays readable.
const int endFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
std::atomic<bool> ended{false};

// Until the one ready, the end or the deadline; false at the deadline.
bool pollUntil(pollfd (&fds)[2], std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const int n = ::poll(fds, 2, int(std::clamp<qint64>(left.count(), 0, INT_MAX)));
        if (n > 0 || (n == 0 && left.count() <= 0) || (n < 0 && errno != EINTR))
            return n > 0;
    }
}

// An eventfd of a waiter and of the thread that takes the lock for it: the
// last of the two closes it.
struct LockWake {
    const int fd = ::eventfd(0, EFD_CLOEXEC);
    ~LockWake() {
        if (fd >= 0)
            ::close(fd);
    }
};

// Waits at most bound for the lock on fd, on a thread blocked in flock(2),
// which returns however the holder lets go (a close, LOCK_UN, its death),
// where no file notification reports them all. The thread locks a
// descriptor of its own to the same open file, so the lock is fd's, and
// closes it at once: a waiter that gave up has closed fd, and the lock then
// goes with it. 0 when locked, ETIMEDOUT, ECANCELED at the end, or flock's
// error.
int waitForLock(int fd, std::chrono::milliseconds bound) {
    const auto wake = std::make_shared<LockWake>();
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (wake->fd < 0 || own < 0) {
        const int error = errno;
        if (own >= 0)
            ::close(own);
        return error;
    }
    try {
        std::thread([wake, own] {
            int result;
            while ((result = ::flock(own, LOCK_EX)) != 0 && errno == EINTR) {
            }
            const uint64_t value = result == 0 ? 1 : uint64_t(errno) + 1; // never 0: eventfd ignores it
            ::close(own);
            (void)!::write(wake->fd, &value, sizeof value);
        }).detach();
    } catch (const std::system_error& error) {
        ::close(own);
        return error.code().value();
    }
    pollfd fds[2] = {{wake->fd, POLLIN, 0}, {endFd, POLLIN, 0}};
    if (!pollUntil(fds, std::chrono::steady_clock::now() + bound))
        return ETIMEDOUT;
    uint64_t value = 0;
    if (fds[1].revents || ::read(wake->fd, &value, sizeof value) != sizeof value)
        return ECANCELED;
    return int(value - 1);
}

} // namespace

QByteArray FileLock::note() const {
    if (m_fd < 0)
        return {};
    char buffer[NoteLength];
    const ssize_t n = ::pread(m_fd, buffer, sizeof buffer, 0);
    return n > 0 ? noteOf(QByteArray(buffer, n)) : QByteArray();
}

void FileLock::setNote(const QByteArray& note) {
    if (m_fd < 0)
        return;
    // Best effort: a note that did not land only makes the next writer careful.
    const QByteArray stored = storedNote(note);
    (void)!::pwrite(m_fd, stored.constData(), size_t(stored.size()), 0);
}

FileLock::Result FileLock::acquire(const QString& lockPath, std::chrono::milliseconds bound, QString* why) {
    const auto fail = [why](Result result, const QString& reason) {
        if (why)
            *why = reason;
        return result;
    };
    const auto gaveUp = [&] { return fail(Result::GaveUp, endingReason()); };
    if (ended.load())
        return gaveUp();
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
    if (fd < 0)
        return fail(Result::Failed, lockOpenFailure(lockPath, errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(Result::Failed, lockOpenFailure(lockPath, EINVAL));
    }
    // Created 0600 less the umask, or left with another mode: set, not
    // inherited, so that the next writer can open it whatever its umask.
    if (info.st_uid == ::geteuid() && (info.st_mode & 07777) != 0600)
        (void)!::fchmod(fd, 0600);
    int error = ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
    if ((error == EWOULDBLOCK || error == EINTR) && bound.count() > 0)
        error = waitForLock(fd, bound);
    if (error != 0 && error != ENOLCK && error != EOPNOTSUPP) {
        ::close(fd);
        if (error == ECANCELED)
            return gaveUp();
        if (error == EWOULDBLOCK || error == EINTR || error == ETIMEDOUT)
            return fail(Result::TimedOut,
                        QStringLiteral("Outro programa mantém o arquivo de trava %1 preso há mais de %2. "
                                       "Tente de novo em instantes; se continuar assim, feche as Gadgets "
                                       "e os programas que gravam as configurações.")
                            .arg(lockPath, boundText(bound)));
        return fail(Result::Failed, QStringLiteral("Não foi possível travar o arquivo %1. %2")
                                        .arg(lockPath, systemFailureReason(error, lockPath)));
    }
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
    return Result::Locked;
}

void endFileWaits() {
    ended.store(true);
    const uint64_t one = 1;
    (void)!::write(endFd, &one, sizeof one);
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
    if (m_handle >= 0)
        ::close(int(m_handle));
}

FileWatch::Result FileWatch::wait(std::chrono::steady_clock::time_point until) {
    pollfd fds[2] = {{int(m_handle), POLLIN, 0}, {endFd, POLLIN, 0}};
    while (pollUntil(fds, until)) {
        if (fds[1].revents)
            return Result::Ended;
        alignas(inotify_event) char events[4096];
        bool ours = false;
        for (ssize_t n; (n = ::read(int(m_handle), events, sizeof events)) > 0;) {
            for (const char* at = events; at < events + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                ours = ours || (event->mask & IN_Q_OVERFLOW) || (event->len > 0 && m_name == event->name);
                at += sizeof(inotify_event) + event->len;
            }
        }
        if (ours)
            return Result::Changed;
    }
    return Result::TimedOut;
}
