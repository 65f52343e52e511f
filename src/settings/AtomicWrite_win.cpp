#include "settings/AtomicWrite.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <utility>

namespace {

std::wstring wide(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

QString systemText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    QString text =
        n > 0 ? QString::fromWCharArray(buffer, int(n)).trimmed() : QStringLiteral("error %1").arg(error);
    ::LocalFree(buffer);
    return text;
}

// The profile functions take the file without sharing it for as long as
// they write it: a read or a replace meanwhile is refused with a sharing
// violation, and is tried again at each change in the file's folder (the
// writer's write or its close), for a short, bounded time. A holder that
// lets go without a change reports nothing (a reader, and every close under
// Wine): one last try at the bound's end finds it gone.
bool isBusy(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}
constexpr std::chrono::milliseconds BusyRetry{2000};

// The end of the program, for the waits: set by endFileWaits(), never reset.
const HANDLE endEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);

HANDLE folderChanges(const QString& path) {
    return ::FindFirstChangeNotificationW(wide(QFileInfo(path).absolutePath()).c_str(), FALSE,
                                          FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE |
                                              FILE_NOTIFY_CHANGE_FILE_NAME);
}

// Until a change in the folder of changes, the end (when end is given) or
// until; the notification is set for the next change.
FileWatch::Result waitForChange(HANDLE changes, HANDLE end, std::chrono::steady_clock::time_point until) {
    HANDLE handles[2];
    DWORD count = 0;
    for (HANDLE h : {changes, end}) {
        if (h && h != INVALID_HANDLE_VALUE)
            handles[count++] = h;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    const DWORD ms = DWORD(std::clamp<qint64>(left.count(), 0, INFINITE - 1));
    const DWORD woken =
        count ? ::WaitForMultipleObjects(count, handles, FALSE, ms) : (::Sleep(ms), WAIT_TIMEOUT);
    if (woken >= WAIT_OBJECT_0 + count)
        return FileWatch::Result::TimedOut;
    if (handles[woken - WAIT_OBJECT_0] == end)
        return FileWatch::Result::Ended;
    ::FindNextChangeNotification(changes);
    return FileWatch::Result::Changed;
}

template <class Attempt>
bool retryWhileBusy(const QString& path, Attempt attempt, DWORD* lastError = nullptr) {
    const auto deadline = std::chrono::steady_clock::now() + BusyRetry;
    HANDLE changes = nullptr; // made at the first refusal, then tried again at once
    const auto done = [&](bool ok, DWORD error) {
        if (changes && changes != INVALID_HANDLE_VALUE)
            ::FindCloseChangeNotification(changes);
        if (lastError)
            *lastError = error;
        ::SetLastError(error);
        return ok;
    };
    for (;;) {
        if (attempt())
            return done(true, 0);
        const DWORD error = ::GetLastError();
        if (!isBusy(error) || std::chrono::steady_clock::now() >= deadline)
            return done(false, error);
        if (!changes)
            changes = folderChanges(path);
        else
            waitForChange(changes, nullptr, deadline);
    }
}

// A file time (100 ns since 1601) in nanoseconds since 1970.
qint64 unixNs(qint64 fileTime) {
    return (fileTime - 116444736000000000LL) * 100;
}

FileStamp stampOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandle(file, &info) ||
        !::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic))
        return {};
    FileStamp stamp;
    stamp.device = info.dwVolumeSerialNumber;
    stamp.inode = (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    stamp.size = qint64((quint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    stamp.modifiedNs = unixNs(basic.LastWriteTime.QuadPart);
    stamp.changedNs = unixNs(basic.ChangeTime.QuadPart);
    return stamp;
}

QString tooLargeReason(const QString& path, qint64 maxSize) {
    return QStringLiteral("%1 tem mais de %2 bytes, muito mais do que um arquivo de configurações tem. "
                          "Mova-o para outro lugar.")
        .arg(path)
        .arg(maxSize);
}

QString notRegularReason(const QString& path) {
    return QStringLiteral("%1 não é um arquivo comum. Remova-o ou troque-o por um arquivo.").arg(path);
}

class Handle {
public:
    explicit Handle(HANDLE h) : m_h(h) {}
    ~Handle() {
        if (valid())
            ::CloseHandle(m_h);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return m_h != INVALID_HANDLE_VALUE && m_h != nullptr; }
    HANDLE get() const { return m_h; }
    HANDLE release() { return std::exchange(m_h, INVALID_HANDLE_VALUE); }
    void close() {
        if (valid())
            ::CloseHandle(m_h);
        m_h = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_h;
};

// A temporary file of a save that the saver no longer holds (it was killed
// before its replace) is removed by the next save, as it may hold the
// password. One younger than a minute may still be between its writer's
// close and replace, and is left alone.
constexpr wchar_t TempEnding[] = L".saving";

void removeLeftovers(const QString& folder, const QString& prefix) {
    WIN32_FIND_DATAW found;
    const std::wstring pattern = wide(folder + u'/' + prefix + QStringLiteral("*.saving"));
    const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) { return (quint64(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    constexpr quint64 Minute = 60ULL * 10'000'000ULL;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        if (ticks(now) - ticks(found.ftLastWriteTime) < Minute)
            continue;
        const std::wstring name = wide(folder + u'/' + QString::fromWCharArray(found.cFileName));
        ::DeleteFileW(name.c_str()); // refused while someone holds it: then it is no leftover
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

bool writeAll(HANDLE file, const char* data, qsizetype size) {
    while (size > 0) {
        const DWORD chunk = DWORD(std::min<qsizetype>(size, 1 << 20));
        DWORD written = 0;
        if (!::WriteFile(file, data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

} // namespace

QString resolvedTarget(const QString& path) {
    QString current = QFileInfo(path).absoluteFilePath();
    for (int step = 0; step < 40; ++step) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return current;
        current = info.symLinkTarget();
    }
    return current;
}

QString systemFailureReason(int error, const QString& path) {
    switch (DWORD(error)) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return QStringLiteral("O sistema negou a você o acesso a %1 (ou outro programa o mantém aberto). "
                              "Verifique as permissões dessa pasta e desse arquivo.")
            .arg(path);
    case ERROR_WRITE_PROTECT:
        return QStringLiteral("%1 fica num disco protegido contra gravação.").arg(path);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return QStringLiteral("O disco de %1 está cheio. Libere espaço e salve de novo.").arg(path);
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
        return QStringLiteral("A pasta de %1 não existe.").arg(path);
    case ERROR_DIRECTORY:
        return QStringLiteral("Uma parte do caminho de %1 não é uma pasta.").arg(path);
    case ERROR_FILENAME_EXCED_RANGE:
        return QStringLiteral("O caminho %1 é longo demais.").arg(path);
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return QStringLiteral("Não há memória suficiente para tratar %1.").arg(path);
    default:
        return QStringLiteral("O sistema recusou o acesso a %1 (erro %2: %3).")
            .arg(path)
            .arg(error)
            .arg(systemText(DWORD(error)));
    }
}

FileStamp fileStampOf(const QString& path) {
    Handle file(::CreateFileW(wide(path).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid() ? stampOf(file.get()) : FileStamp{};
}

QByteArray FileStamp::text() const {
    return QByteArray::number(device) + ' ' + QByteArray::number(inode) + ' ' + QByteArray::number(size) +
           ' ' + QByteArray::number(modifiedNs) + ' ' + QByteArray::number(changedNs);
}

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
    if (QFileInfo(path).isDir())
        return FileRead::Missing; // a folder is no file, as for the profile functions
    const std::wstring name = wide(path);
    // Shared for writing and deleting: a reader never stands in the way of a
    // gadget's write or a save's replace.
    HANDLE opened = INVALID_HANDLE_VALUE;
    DWORD error = 0;
    retryWhileBusy(
        path,
        [&] {
            opened = ::CreateFileW(name.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            return opened != INVALID_HANDLE_VALUE;
        },
        &error);
    Handle file(opened);
    if (!file.valid()) {
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return FileRead::Missing;
        return fail(systemFailureReason(int(error), path));
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(file.get()) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file.get(), &info))
        return fail(notRegularReason(path));
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return FileRead::Missing;
    const FileStamp before = stampOf(file.get());
    const qint64 size = qint64((quint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    if (size > maxSize)
        return fail(tooLargeReason(path, maxSize));
    qsizetype capacity = qsizetype(size) + 1;
    QByteArray buffer(capacity, Qt::Uninitialized);
    qsizetype total = 0;
    for (;;) {
        if (total == capacity) {
            if (capacity > maxSize)
                return fail(tooLargeReason(path, maxSize));
            capacity = qsizetype(std::min<qint64>(qint64(capacity) * 2, maxSize + 1));
            buffer.resize(capacity);
        }
        DWORD n = 0;
        const DWORD want = DWORD(std::min<qsizetype>(capacity - total, 1 << 20));
        if (!::ReadFile(file.get(), buffer.data() + total, want, &n, nullptr))
            return fail(systemFailureReason(int(::GetLastError()), path));
        if (n == 0)
            break;
        total += n;
    }
    const FileStamp after = stampOf(file.get());
    if (stamp)
        *stamp = after;
    if (changedWhileRead)
        *changedWhileRead = !(after == before) || qint64(total) != after.size;
    buffer.truncate(total);
    content = std::move(buffer);
    return FileRead::Ok;
}

bool writeFileAtomically(const QString& path, const QByteArray& content, QString* why) {
    const auto fail = [why](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    const QString target = resolvedTarget(path);
    const QFileInfo targetInfo(target);
    const QString folder = targetInfo.absolutePath();
    const std::wstring targetName = wide(target);

    const DWORD attributes = ::GetFileAttributesW(targetName.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return fail(QStringLiteral("%1 é uma pasta, e não um arquivo. Remova-a ou renomeie-a.").arg(target));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return fail(QStringLiteral("%1 está marcado como somente leitura.").arg(target));

    const QString prefix = u'.' + targetInfo.fileName() + u'.';
    // Not shared while it is written: no sweep can take it meanwhile.
    QString tempPath;
    HANDLE created = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 16 && created == INVALID_HANDLE_VALUE; ++attempt) {
        tempPath =
            folder + u'/' + prefix +
            QString::number(quint64(::GetCurrentProcessId()) * 1000003u + ::GetTickCount64() + attempt, 36)
                .right(6) +
            QString::fromWCharArray(TempEnding);
        created = ::CreateFileW(wide(tempPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
            return fail(systemFailureReason(int(::GetLastError()), folder));
    }
    Handle temp(created);
    if (!temp.valid())
        return fail(systemFailureReason(ERROR_FILE_EXISTS, folder));
    const std::wstring tempName = wide(tempPath);
    if (!writeAll(temp.get(), content.constData(), content.size()) || !::FlushFileBuffers(temp.get())) {
        const DWORD error = ::GetLastError();
        temp.close();
        ::DeleteFileW(tempName.c_str());
        return fail(systemFailureReason(int(error), folder));
    }
    temp.close();
    // One step for readers: they see the old file or the new one. A gadget
    // writing the file through the profile functions holds it unshared, and
    // the replace waits (bounded) until it is done instead of cutting it off.
    DWORD error = 0;
    const bool replaced = retryWhileBusy(
        target,
        [&] {
            return ::MoveFileExW(tempName.c_str(), targetName.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        },
        &error);
    if (!replaced) {
        ::DeleteFileW(tempName.c_str());
        return fail(systemFailureReason(int(error), target));
    }
    removeLeftovers(folder, prefix);
    return true;
}

FileLock::~FileLock() {
    if (m_fd >= 0)
        ::_close(m_fd); // closing the handle ends the lock
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::_close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

namespace {
// The lock covers one byte far past the end of the file, so the note at its
// start stays readable and writable through the holder's handle.
constexpr DWORD LockOffsetHigh = 0x7FFFFFFF;

HANDLE handleOf(int fd) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

// An event of a waiter and of the thread that takes the lock for it, and
// the thread's outcome: the last of the two closes it.
struct LockWake {
    Handle done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<DWORD> error{0};
};

// Waits at most bound for the lock on file, on a thread blocked in
// LockFileEx (Wine never ends the wait of an overlapped lock request). The
// thread locks through a duplicate of the handle, which shares its file
// object and so its locks, and closes it at once: a waiter that gave up has
// closed its handle, and the lock then goes with the duplicate. 0 when
// locked, WAIT_TIMEOUT, ERROR_CANCELLED at the end, or the lock's error.
DWORD waitForLock(HANDLE file, std::chrono::milliseconds bound) {
    const auto wake = std::make_shared<LockWake>();
    HANDLE own = nullptr;
    if (!wake->done.valid() || !::DuplicateHandle(::GetCurrentProcess(), file, ::GetCurrentProcess(), &own, 0,
                                                  FALSE, DUPLICATE_SAME_ACCESS))
        return ::GetLastError();
    try {
        std::thread([wake, own] {
            OVERLAPPED at{};
            at.OffsetHigh = LockOffsetHigh;
            wake->error = ::LockFileEx(own, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at) ? 0 : ::GetLastError();
            ::CloseHandle(own);
            ::SetEvent(wake->done.get());
        }).detach();
    } catch (const std::system_error&) {
        ::CloseHandle(own);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    const HANDLE events[] = {wake->done.get(), endEvent};
    const DWORD ms = DWORD(std::min<qint64>(bound.count(), INFINITE - 1));
    switch (::WaitForMultipleObjects(endEvent ? 2 : 1, events, FALSE, ms)) {
    case WAIT_OBJECT_0:
        return wake->error;
    case WAIT_OBJECT_0 + 1:
        return ERROR_CANCELLED;
    default:
        return WAIT_TIMEOUT;
    }
}
} // namespace

QByteArray FileLock::note() const {
    if (m_fd < 0)
        return {};
    char buffer[NoteLength];
    OVERLAPPED at{};
    DWORD n = 0;
    if (!::ReadFile(handleOf(m_fd), buffer, sizeof buffer, &n, &at))
        return {};
    return noteOf(QByteArray(buffer, qsizetype(n)));
}

void FileLock::setNote(const QByteArray& note) {
    if (m_fd < 0)
        return;
    // Best effort: a note that did not land only makes the next writer careful.
    const QByteArray stored = storedNote(note);
    OVERLAPPED at{};
    DWORD written = 0;
    ::WriteFile(handleOf(m_fd), stored.constData(), DWORD(stored.size()), &written, &at);
}

FileLock::Result FileLock::acquire(const QString& lockPath, std::chrono::milliseconds bound, QString* why) {
    const auto fail = [why](Result result, const QString& reason) {
        if (why)
            *why = reason;
        return result;
    };
    const auto gaveUp = [&] { return fail(Result::GaveUp, endingReason()); };
    if (::WaitForSingleObject(endEvent, 0) == WAIT_OBJECT_0)
        return gaveUp();
    HANDLE opened = ::CreateFileW(wide(lockPath).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return fail(Result::Failed, QStringLiteral("Não foi possível abrir o arquivo de trava %1. %2")
                                        .arg(lockPath, systemFailureReason(int(::GetLastError()), lockPath)));
    Handle file(opened);
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(file.get()) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return fail(Result::Failed, notRegularReason(lockPath));
    OVERLAPPED at{};
    at.OffsetHigh = LockOffsetHigh;
    DWORD error = ::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)
                      ? 0
                      : ::GetLastError();
    const bool held = error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING;
    if (held && bound.count() > 0)
        error = waitForLock(file.get(), bound);
    if (error == ERROR_CANCELLED)
        return gaveUp();
    if (error == WAIT_TIMEOUT || error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING)
        return fail(Result::TimedOut,
                    QStringLiteral("Outro programa mantém o arquivo de trava %1 preso há mais de %2 ms. "
                                   "Tente de novo em instantes; se continuar assim, feche as Gadgets "
                                   "e os programas que gravam as configurações.")
                        .arg(lockPath)
                        .arg(bound.count()));
    if (error != 0)
        return fail(Result::Failed, QStringLiteral("Não foi possível travar o arquivo %1. %2")
                                        .arg(lockPath, systemFailureReason(int(error), lockPath)));
    // Kept as a C runtime descriptor, which owns the handle from here on.
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file.get()), 0);
    if (fd < 0)
        return fail(Result::Failed,
                    QStringLiteral("Não foi possível manter o arquivo de trava %1.").arg(lockPath));
    file.release(); // not closed: the descriptor holds it
    if (m_fd >= 0)
        ::_close(m_fd);
    m_fd = fd;
    return Result::Locked;
}

void endFileWaits() {
    ::SetEvent(endEvent);
}

FileWatch::FileWatch(const QString& path) : m_handle(qintptr(folderChanges(path))) {}

FileWatch::~FileWatch() {
    if (HANDLE(m_handle) != INVALID_HANDLE_VALUE)
        ::FindCloseChangeNotification(HANDLE(m_handle));
}

FileWatch::Result FileWatch::wait(std::chrono::steady_clock::time_point until) {
    return waitForChange(HANDLE(m_handle), endEvent, until);
}
