#include "Turn.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include <windows.h>

// The lock file opened unshared: a second opener is refused until the
// holder closes it, which the system does when the holder's process dies;
// the file goes with its last handle, so no lock files are left behind.
Turn::Turn(const QString& folder, const QString& what, int timeoutMs) {
    if (!QDir().mkpath(folder))
        return;
    m_path = lockFile(folder, what);
    const std::wstring path = QDir::toNativeSeparators(m_path).toStdWString();
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const HANDLE file =
            ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            m_handle = reinterpret_cast<qintptr>(file);
            m_held = true;
            return;
        }
        const DWORD error = ::GetLastError();
        // Refused while another gadget holds it, or while its removal ends.
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) ||
            waited.elapsed() >= timeoutMs)
            return;
        QThread::msleep(20);
    }
}

Turn::~Turn() {
    if (m_handle != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle)); // ends the turn and removes the file
}
