#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

// What identifies one state of a file: a write in place changes its size or
// its times, a replacement its inode.
struct FileStamp {
    quint64 device = 0, inode = 0;
    qint64 size = -1, modifiedNs = 0, changedNs = 0;
    bool operator==(const FileStamp&) const = default;
    QByteArray text() const;
};

// The state of the file at path now (a default stamp when there is none).
FileStamp fileStampOf(const QString& path);

// Replaces the file at path with content in one step: a temporary file in
// the same folder is written, flushed and renamed over the target, so
// readers see either the old or the new file, never a mix. A link (or a
// chain of links) is followed to the real file, which is replaced; the
// links stay links. The new file is made readable and writable by its owner
// only (0600, whatever the umask and the old mode): it holds the database
// password. An old file of another owner that this user may not write is
// refused, one of this user's own is replaced whatever its mode.
// Returns false on any failure, the target left untouched and why, when
// given, set to the reason (in Portuguese, naming the file or folder).
bool writeFileAtomically(const QString& path, const QByteArray& content, QString* why = nullptr);

// The file a path names once every link on the way is followed (relative
// links against their own folder); the path itself when it is no link. A
// dangling link gives the path it points to, where a new file would go.
QString resolvedTarget(const QString& path);

// Reads the whole file at path into content. Only a regular file is read:
// it is opened without waiting (a FIFO or device never blocks the caller)
// and one of more than maxSize bytes is not read at all. A folder at the
// path is no file: Missing, as when nothing is there. why, when given,
// receives the reason of a failure (in Portuguese); stamp the state of the
// file that was read (changedWhileRead when it was written meanwhile).
enum class FileRead { Ok, Missing, Failed };
FileRead readWholeFile(const QString& path, QByteArray& content, qint64 maxSize, QString* why = nullptr,
                       FileStamp* stamp = nullptr, bool* changedWhileRead = nullptr);

// The reason of a failed system call on path, in Portuguese: what is wrong
// and, where the user can do something, what to do.
QString systemFailureReason(int error, const QString& path);

// An exclusive lock on the file lockPath (created 0600 when missing,
// whatever the umask; never removed, so every writer locks the same file).
// A lock file of this user's own with another mode is set back to 0600; one
// of another user that cannot be opened is refused, named in the reason.
// Held until the object is destroyed or the process ends.
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(FileLock&& other) noexcept : m_handle(other.m_handle) { other.m_handle = -1; }
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    enum class Result { Locked, TimedOut, Failed, GaveUp };
    // Waits at most bound for the lock, woken when the holder lets go. On a
    // file system without locks the file is taken as locked (there is
    // nothing to wait for). Once endFileWaits() was called, before or
    // during the wait, it ends at once with GaveUp.
    Result acquire(const QString& lockPath, std::chrono::milliseconds bound, QString* why = nullptr);

    // What the lock file holds: writers of the protocol leave there which
    // state of the file they left (see IniFile::release).
    QByteArray note() const;
    void setNote(const QByteArray& note);

    // The note as the lock file stores it: written over the old one at a
    // fixed length, padded with line ends, so the lock file keeps its size
    // and a save costs no second change of size on the disk.
    static constexpr qsizetype NoteLength = 128;
    static QByteArray storedNote(const QByteArray& note) {
        QByteArray stored = note.left(NoteLength - 1);
        stored.append(NoteLength - stored.size(), '\n');
        return stored;
    }
    static QByteArray noteOf(QByteArray stored) {
        while (stored.endsWith('\n'))
            stored.chop(1);
        return stored;
    }

    // Why a save gave up on an end request.
    static QString endingReason() {
        return QStringLiteral("O programa está sendo encerrado; nada foi gravado.");
    }

private:
    qintptr m_handle = -1; // the lock file's descriptor or handle
};

// Ends the waits below and FileLock::acquire's at once, the running ones
// and every later one: the program is ending. Async-signal-safe; callable
// from any thread.
void endFileWaits();

// Changes to the file at path (written, resized, its times changed,
// created, removed, replaced) from the moment the watch is made.
class FileWatch {
public:
    explicit FileWatch(const QString& path);
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    enum class Result { Changed, TimedOut, Ended };
    // Waits for a change until the time given; Ended once endFileWaits()
    // was called. On Windows a change of another file in the same folder
    // counts as well.
    Result wait(std::chrono::steady_clock::time_point until);

private:
    qintptr m_handle = -1;
    QByteArray m_name; // the file's name in its folder
};
