#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

// Replaces the file at path with content in one step: a temporary file in
// the same folder is written, flushed and renamed over the target, so
// readers see either the old or the new file, never a mix. A link (or a
// chain of links) is followed to the real file, which is replaced; the
// links stay links. The file is left readable and writable by its owner
// only, whatever mode it had: it holds the database password.
// Returns false (and leaves the target untouched) on any failure.
bool writeFileAtomically(const QString& path, const QByteArray& content);

// The file a path names once every link on the way is followed (relative
// links against their own folder); the path itself when it is no link. A
// dangling link gives the path it points to, where a new file would go.
QString resolvedTarget(const QString& path);

// Reads the whole file at path into content. Only a regular file is read:
// it is opened without waiting (a FIFO or device never blocks the caller)
// and one of more than maxSize bytes is not read at all. why, when given,
// receives the reason of a failure.
enum class FileRead { Ok, Missing, Failed };
FileRead readWholeFile(const QString& path, QByteArray& content, qint64 maxSize, QString* why = nullptr);

// An exclusive lock on the file lockPath (created, owner only, when
// missing; never removed, so every writer locks the same file). Held until
// the object is destroyed or the process ends.
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(FileLock&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    enum class Result { Locked, TimedOut, Failed };
    // Waits at most bound for the lock. On a file system without locks the
    // file is taken as locked (there is nothing to wait for).
    Result acquire(const QString& lockPath, std::chrono::milliseconds bound, QString* why = nullptr);

private:
    int m_fd = -1;
};
