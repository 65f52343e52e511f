#include "settings/AtomicWrite.h"

#include "settings/FilePlatform.h"

#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

namespace {

QString tooLargeReason(const QString& path, qint64 maxSize) {
    return QStringLiteral("%1 tem mais de %2 bytes, muito mais do que um arquivo de configurações tem. "
                          "Mova-o para outro lugar.")
        .arg(path)
        .arg(maxSize);
}

QString boundText(std::chrono::milliseconds bound) {
    if (bound.count() % 1000 == 0)
        return QStringLiteral("%1 segundos").arg(bound.count() / 1000);
    return QStringLiteral("%1 ms").arg(bound.count());
}

// result, and why it failed in *why when why is given.
template <class Result> Result failed(QString* why, Result result, const QString& reason) {
    if (why)
        *why = reason;
    return result;
}

// Set by endFileWaits(), never reset.
std::atomic<bool> ended{false};

} // namespace

QByteArray FileStamp::text() const {
    return QByteArray::number(device) + ' ' + QByteArray::number(inode) + ' ' + QByteArray::number(size) +
           ' ' + QByteArray::number(modifiedNs) + ' ' + QByteArray::number(changedNs);
}

QString resolvedTarget(const QString& path) {
    // A loop of links ends the walk as the system would (ELOOP) after 40 steps.
    QString current = QFileInfo(path).absoluteFilePath();
    for (int step = 0; step < 40; ++step) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return current;
        current = info.symLinkTarget();
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
    sys::File file;
    FileStamp before;
    QString reason;
    if (const FileRead opened = sys::openForReading(path, file, before, reason); opened != FileRead::Ok)
        return opened == FileRead::Failed ? failed(why, FileRead::Failed, reason) : opened;
    if (before.size > maxSize)
        return failed(why, FileRead::Failed, tooLargeReason(path, maxSize));
    // One byte more than the size, so a file that has not grown ends in one
    // read; a file that grows past the bound while being read is refused.
    qsizetype capacity = qsizetype(before.size) + 1;
    QByteArray buffer(capacity, Qt::Uninitialized);
    qsizetype total = 0;
    for (;;) {
        if (total == capacity) {
            if (capacity > maxSize)
                return failed(why, FileRead::Failed, tooLargeReason(path, maxSize));
            capacity = qsizetype(std::min<qint64>(qint64(capacity) * 2, maxSize + 1));
            buffer.resize(capacity);
        }
        const qint64 n = sys::readSome(file.get(), buffer.data() + total, capacity - total);
        if (n < 0)
            return failed(why, FileRead::Failed, systemFailureReason(sys::lastError(), path));
        if (n == 0)
            break;
        total += n;
    }
    // The state after the read, for a caller that asks whether the file
    // changed meanwhile (a plain load does not: one call less).
    if (stamp || changedWhileRead) {
        const FileStamp after = sys::stampOf(file.get());
        if (stamp)
            *stamp = after;
        if (changedWhileRead)
            *changedWhileRead = !(after == before) || qint64(total) != after.size;
    }
    file = sys::File(); // closed before the content is handed over, as soon as it is read
    buffer.truncate(total);
    content = std::move(buffer);
    return FileRead::Ok;
}

bool writeFileAtomically(const QString& path, const QByteArray& content, QString* why) {
    // Through every link to the real file, so the links stay links.
    const QString target = resolvedTarget(path);
    const QString folder = QFileInfo(target).absolutePath();
    if (const QString refusal = sys::refusalToReplace(target); !refusal.isEmpty())
        return failed(why, false, refusal);
    const QString prefix = u'.' + QFileInfo(target).fileName() + u'.';
    QString tempName;
    int error = 0;
    sys::File temp = sys::createTemp(folder + u'/' + prefix, tempName, error);
    if (!temp.valid())
        return failed(why, false, systemFailureReason(error, folder));
    QString failedAt;
    error = sys::replaceWith(std::move(temp), tempName, content, target, failedAt);
    if (error != 0)
        return failed(why, false, systemFailureReason(error, failedAt));
    sys::removeLeftovers(folder, prefix);
    return true;
}

FileLock::~FileLock() {
    sys::closeFile(m_handle); // closing the last descriptor or handle ends the lock
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    std::swap(m_handle, other.m_handle);
    return *this;
}

QByteArray FileLock::note() const {
    char buffer[NoteLength];
    const qint64 n = m_handle == -1 ? -1 : sys::readAtStart(m_handle, buffer, NoteLength);
    return n > 0 ? noteOf(QByteArray(buffer, qsizetype(n))) : QByteArray();
}

void FileLock::setNote(const QByteArray& note) {
    // Best effort: a note that did not land only makes the next writer careful.
    const QByteArray stored = storedNote(note);
    if (m_handle != -1)
        sys::writeAtStart(m_handle, stored.constData(), stored.size());
}

namespace {

// An event of a waiter and of the thread that takes the lock for it, and
// the thread's outcome: the last of the two closes it.
struct LockWake {
    sys::File done{sys::newEvent()};
    std::atomic<int> error{0};
};

// Waits at most bound for the lock on file, on a thread blocked in the lock
// call, which returns however the holder lets go (a close, an unlock, its
// death), where no file notification reports them all (and Wine never ends
// the wait of an overlapped lock request). The thread locks a handle of its
// own to the same open file, so the lock is file's, and closes it at once:
// a waiter that gave up has closed file, and the lock then goes with it.
// 0 when locked, TimedOutError, EndedError, or the lock's error.
int waitForLock(qintptr file, std::chrono::milliseconds bound) {
    const auto wake = std::make_shared<LockWake>();
    sys::File own(sys::duplicate(file));
    if (!wake->done.valid() || !own.valid())
        return sys::lastError();
    try {
        std::thread([wake, own = std::move(own)]() mutable {
            wake->error = sys::lock(own.get(), true);
            own = sys::File();
            sys::setEvent(wake->done.get());
        }).detach();
    } catch (const std::system_error& error) {
        return error.code().value();
    }
    const sys::Woken woken = sys::waitFor(wake->done.get(), std::chrono::steady_clock::now() + bound);
    return woken == sys::Woken::Changed ? int(wake->error)
           : woken == sys::Woken::Ended ? sys::EndedError
                                        : sys::TimedOutError;
}

} // namespace

FileLock::Result FileLock::acquire(const QString& lockPath, std::chrono::milliseconds bound, QString* why) {
    const auto gaveUp = [&] { return failed(why, Result::GaveUp, endingReason()); };
    if (ended)
        return gaveUp();
    QString reason;
    sys::File file = sys::openLockFile(lockPath, reason);
    if (!file.valid())
        return failed(why, Result::Failed, reason);
    int error = sys::lock(file.get(), false);
    if (sys::isHeld(error) && bound.count() > 0)
        error = waitForLock(file.get(), bound);
    if (error == sys::EndedError)
        return gaveUp();
    if (error == sys::TimedOutError || sys::isHeld(error))
        return failed(why, Result::TimedOut,
                      QStringLiteral("Outro programa mantém o arquivo de trava %1 preso há mais de %2. "
                                     "Tente de novo em instantes; se continuar assim, feche as Gadgets "
                                     "e os programas que gravam as configurações.")
                          .arg(lockPath, boundText(bound)));
    if (error != 0)
        return failed(why, Result::Failed,
                      QStringLiteral("Não foi possível travar o arquivo %1. %2")
                          .arg(lockPath, systemFailureReason(error, lockPath)));
    sys::closeFile(std::exchange(m_handle, file.take()));
    return Result::Locked;
}

void endFileWaits() {
    ended = true;
    sys::setEvent(sys::EndEvent);
}

FileWatch::Result FileWatch::wait(std::chrono::steady_clock::time_point until) {
    Result result;
    while ((result = sys::waitFor(m_handle, until)) == Result::Changed &&
           !sys::changeIsOurs(m_handle, m_name)) {
    }
    return result;
}
