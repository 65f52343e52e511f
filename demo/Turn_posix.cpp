#include "Turn.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// Taken with flock(2), which the kernel lets go with the process.
Turn::Turn(const QString& folder, const QString& what, int timeoutMs) {
    if (!QDir().mkpath(folder))
        return;
    m_path = lockFile(folder, what);
    const QByteArray path = QFile::encodeName(m_path);
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < timeoutMs) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd < 0)
            return;
        m_handle = fd;
        while (::flock(fd, LOCK_EX | LOCK_NB) != 0 && waited.elapsed() < timeoutMs)
            QThread::msleep(20);
        // The holder before removes the file as it leaves: a lock on a
        // removed file is no turn, so take a fresh one.
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && ::stat(path.constData(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            m_held = waited.elapsed() < timeoutMs || ::flock(fd, LOCK_EX | LOCK_NB) == 0;
            return;
        }
        ::close(fd);
        m_handle = -1;
    }
}

Turn::~Turn() {
    if (m_held)
        ::unlink(QFile::encodeName(m_path).constData()); // no lock files left behind
    if (m_handle >= 0)
        ::close(int(m_handle)); // ends the turn
}
