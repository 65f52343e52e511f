#pragma once

// What AtomicWrite.cpp asks of the platform (AtomicWrite_posix.cpp or
// AtomicWrite_win.cpp): the system calls behind one outline of each task.

#include "settings/AtomicWrite.h"

#include <chrono>
#include <utility>

namespace sys {

// A descriptor (POSIX) or handle (Windows) of an open file or event, -1
// for none; closed with the object.
void closeFile(qintptr handle);
class File {
public:
    explicit File(qintptr handle = -1) : m_handle(handle) {}
    ~File() { closeFile(m_handle); }
    File(File&& other) noexcept : m_handle(std::exchange(other.m_handle, -1)) {}
    File& operator=(File&& other) noexcept {
        std::swap(m_handle, other.m_handle);
        return *this;
    }
    bool valid() const { return m_handle != -1; }
    qintptr get() const { return m_handle; }
    qintptr take() { return std::exchange(m_handle, -1); }

private:
    qintptr m_handle;
};

// The error of the last failed call (errno, GetLastError()).
int lastError();
FileStamp stampOf(qintptr file);

// readWholeFile's side. Opens path for reading without ever waiting for a
// writer for good: Missing when nothing (or a folder) is there, Failed with
// why set for anything else that is no regular file or cannot be opened.
// stamp receives the state of the file opened.
FileRead openForReading(const QString& path, File& file, FileStamp& stamp, QString& why);
// Up to size bytes at the file's position: their count, 0 at its end, -1
// on failure (lastError()).
qint64 readSome(qintptr file, char* data, qint64 size);

// writeFileAtomically's side. Why target may not be replaced (no regular
// file, another user's), or an empty text.
QString refusalToReplace(const QString& target);
// A new temporary file named prefix, six characters and TempEnding, for
// this writer alone until it replaces the target; -1 with error set.
constexpr char TempEnding[] = ".saving";
File createTemp(const QString& prefix, QString& name, int& error);
// Writes content into temp (named tempName) and replaces target with it,
// flushed to the disk. 0, or the error and the path the reason names (the
// temporary file then removed).
int replaceWith(File temp, const QString& tempName, const QByteArray& content, const QString& target,
                QString& failedAt);
// Removes the temporary files of prefix in folder that killed saves left.
void removeLeftovers(const QString& folder, const QString& prefix);

// FileLock's side. Opens (or creates) the lock file, 0600; why on failure.
File openLockFile(const QString& lockPath, QString& why);
// One try for the lock without waiting, or the wait for it (on a thread of
// its own): 0 when locked (or the file system has no locks: there is
// nothing to wait for), or the error.
int lock(qintptr file, bool wait);
// Whether the error of a try says that another holds the lock.
bool isHeld(int error);
// A second handle to the same open file, sharing its locks.
qintptr duplicate(qintptr file);
// The errors a wait ends with at its bound and at the end.
extern const int TimedOutError, EndedError;
// The note of the lock file, at its start.
qint64 readAtStart(qintptr file, char* data, qint64 size);
void writeAtStart(qintptr file, const char* data, qint64 size);

// An event, set once by one thread and waited on by another.
qintptr newEvent();
void setEvent(qintptr event);
// The end of the program's event, set by endFileWaits(), never reset.
extern const qintptr EndEvent;
// Until handle is ready (a file's change, a set event: Changed), the end
// or until.
using Woken = FileWatch::Result;
Woken waitFor(qintptr handle, std::chrono::steady_clock::time_point until);
// Whether the changes a watch reports (read at once) touch the file name.
bool changeIsOurs(qintptr watch, const QByteArray& name);

} // namespace sys
