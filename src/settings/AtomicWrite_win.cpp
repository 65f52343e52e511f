#include "settings/FilePlatform.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>

#include <algorithm>

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

HANDLE folderChanges(const QString& path) {
    return ::FindFirstChangeNotificationW(wide(QFileInfo(path).absolutePath()).c_str(), FALSE,
                                          FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE |
                                              FILE_NOTIFY_CHANGE_FILE_NAME);
}

// Until a change in the folder of changes, the end (when end is given) or
// until; the notification is set for the next change.
sys::Woken waitForChange(HANDLE changes, HANDLE end, std::chrono::steady_clock::time_point until) {
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
        return sys::Woken::TimedOut;
    return handles[woken - WAIT_OBJECT_0] == end ? sys::Woken::Ended : sys::Woken::Changed;
}

// 0 once attempt succeeds, or its last error.
template <class Attempt> DWORD retryWhileBusy(const QString& path, Attempt attempt) {
    const auto deadline = std::chrono::steady_clock::now() + BusyRetry;
    HANDLE changes = nullptr; // made at the first refusal, then tried again at once
    DWORD error;
    while ((error = attempt() ? 0 : ::GetLastError()) != 0 && isBusy(error) &&
           std::chrono::steady_clock::now() < deadline) {
        if (!changes)
            changes = folderChanges(path);
        else if (waitForChange(changes, nullptr, deadline) == sys::Woken::Changed)
            ::FindNextChangeNotification(changes);
    }
    if (changes && changes != INVALID_HANDLE_VALUE)
        ::FindCloseChangeNotification(changes);
    return error;
}

// A file time (100 ns since 1601) in nanoseconds since 1970.
qint64 unixNs(qint64 fileTime) {
    return (fileTime - 116444736000000000LL) * 100;
}

QString notRegularReason(const QString& path) {
    return QStringLiteral("%1 não é um arquivo comum. Remova-o ou troque-o por um arquivo.").arg(path);
}

} // namespace

// A temporary file of a save that the saver no longer holds (it was killed
// before its replace) is removed by the next save, as it may hold the
// password. One younger than a minute may still be between its writer's
// close and replace, and is left alone.
void sys::removeLeftovers(const QString& folder, const QString& prefix) {
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

namespace {

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

FileStamp sys::stampOf(qintptr handle) {
    const HANDLE file = HANDLE(handle);
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

FileStamp fileStampOf(const QString& path) {
    sys::File file(qintptr(::CreateFileW(wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    return file.valid() ? sys::stampOf(file.get()) : FileStamp{};
}

void sys::closeFile(qintptr handle) {
    if (handle != -1)
        ::CloseHandle(HANDLE(handle));
}

int sys::lastError() {
    return int(::GetLastError());
}

FileRead sys::openForReading(const QString& path, File& file, FileStamp& stamp, QString& why) {
    if (QFileInfo(path).isDir())
        return FileRead::Missing; // a folder is no file, as for the profile functions
    const std::wstring name = wide(path);
    // Shared for writing and deleting: a reader never stands in the way of a
    // gadget's write or a save's replace.
    const DWORD error = retryWhileBusy(path, [&] {
        file = File(qintptr(::CreateFileW(name.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
        return file.valid();
    });
    if (!file.valid() && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND))
        return FileRead::Missing;
    if (!file.valid()) {
        why = systemFailureReason(int(error), path);
        return FileRead::Failed;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(HANDLE(file.get())) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(HANDLE(file.get()), &info)) {
        why = notRegularReason(path);
        return FileRead::Failed;
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return FileRead::Missing;
    stamp = stampOf(file.get());
    return FileRead::Ok;
}

qint64 sys::readSome(qintptr file, char* data, qint64 size) {
    DWORD n = 0;
    if (!::ReadFile(HANDLE(file), data, DWORD(std::min<qint64>(size, 1 << 20)), &n, nullptr))
        return -1;
    return n;
}

QString sys::refusalToReplace(const QString& target) {
    const DWORD attributes = ::GetFileAttributesW(wide(target).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return QStringLiteral("%1 é uma pasta, e não um arquivo. Remova-a ou renomeie-a.").arg(target);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return QStringLiteral("%1 está marcado como somente leitura.").arg(target);
    return {};
}

// Not shared while it is written: no sweep can take it meanwhile.
sys::File sys::createTemp(const QString& prefix, QString& name, int& error) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        name = prefix +
               QString::number(quint64(::GetCurrentProcessId()) * 1000003u + ::GetTickCount64() + attempt, 36)
                   .right(6) +
               QLatin1String(TempEnding);
        File created(qintptr(::CreateFileW(wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_NORMAL, nullptr)));
        error = created.valid() ? 0 : int(::GetLastError());
        if (error != ERROR_FILE_EXISTS)
            return created;
    }
    return File();
}

int sys::replaceWith(File temp, const QString& tempName, const QByteArray& content, const QString& target,
                     QString& failedAt) {
    const std::wstring tempPath = wide(tempName), targetName = wide(target);
    const bool written = writeAll(HANDLE(temp.get()), content.constData(), content.size()) &&
                         ::FlushFileBuffers(HANDLE(temp.get()));
    DWORD error = written ? 0 : ::GetLastError();
    temp = File();
    // One step for readers: they see the old file or the new one. A gadget
    // writing the file through the profile functions holds it unshared, and
    // the replace waits (bounded) until it is done instead of cutting it off.
    if (written)
        error = retryWhileBusy(target, [&] {
            return ::MoveFileExW(tempPath.c_str(), targetName.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        });
    failedAt = written ? target : QFileInfo(target).absolutePath();
    if (error != 0)
        ::DeleteFileW(tempPath.c_str());
    return int(error);
}

// The lock covers one byte far past the end of the file, so the note at its
// start stays readable and writable through the holder's handle.
constexpr DWORD LockOffsetHigh = 0x7FFFFFFF;
const int sys::TimedOutError = WAIT_TIMEOUT, sys::EndedError = ERROR_CANCELLED;
const qintptr sys::EndEvent = sys::newEvent();

sys::File sys::openLockFile(const QString& lockPath, QString& why) {
    File file(qintptr(::CreateFileW(wide(lockPath).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!file.valid()) {
        why = QStringLiteral("Não foi possível abrir o arquivo de trava %1. %2")
                  .arg(lockPath, systemFailureReason(int(::GetLastError()), lockPath));
        return file;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(HANDLE(file.get())) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(HANDLE(file.get()), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        why = notRegularReason(lockPath);
        return File();
    }
    return file;
}

int sys::lock(qintptr file, bool wait) {
    OVERLAPPED at{};
    at.OffsetHigh = LockOffsetHigh;
    const DWORD flags = wait ? LOCKFILE_EXCLUSIVE_LOCK : LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY;
    return ::LockFileEx(HANDLE(file), flags, 0, 1, 0, &at) ? 0 : int(::GetLastError());
}

bool sys::isHeld(int error) {
    return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING;
}

qintptr sys::duplicate(qintptr file) {
    HANDLE own = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), HANDLE(file), ::GetCurrentProcess(), &own, 0, FALSE,
                           DUPLICATE_SAME_ACCESS))
        return -1;
    return qintptr(own);
}

qint64 sys::readAtStart(qintptr file, char* data, qint64 size) {
    OVERLAPPED at{};
    DWORD n = 0;
    return ::ReadFile(HANDLE(file), data, DWORD(size), &n, &at) ? qint64(n) : -1;
}

void sys::writeAtStart(qintptr file, const char* data, qint64 size) {
    OVERLAPPED at{};
    DWORD written = 0;
    ::WriteFile(HANDLE(file), data, DWORD(size), &written, &at);
}

qintptr sys::newEvent() {
    const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event ? qintptr(event) : -1;
}

void sys::setEvent(qintptr event) {
    ::SetEvent(HANDLE(event));
}

sys::Woken sys::waitFor(qintptr handle, std::chrono::steady_clock::time_point until) {
    return waitForChange(HANDLE(handle), HANDLE(EndEvent), until);
}

bool sys::changeIsOurs(qintptr watch, const QByteArray&) {
    ::FindNextChangeNotification(HANDLE(watch));
    return true;
}

FileWatch::FileWatch(const QString& path) : m_handle(qintptr(folderChanges(path))) {}

FileWatch::~FileWatch() {
    if (HANDLE(m_handle) != INVALID_HANDLE_VALUE)
        ::FindCloseChangeNotification(HANDLE(m_handle));
}
