#include "platform/QtPlatform.h"

#include "platform/StartFailure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// Reaps a gadget when it ends, so it never lingers as a zombie. The event
// loop watches its process descriptor: no thread sits waiting for the hours
// a gadget runs. Without one (no descriptor, or no event loop to watch it),
// a thread of its own waits.
void reapWhenEnded(pid_t pid) {
    const int ended = int(::syscall(SYS_pidfd_open, pid, 0));
    if (ended >= 0 && QCoreApplication::instance() &&
        QThread::currentThread() == QCoreApplication::instance()->thread()) {
        auto* watch = new QSocketNotifier(ended, QSocketNotifier::Read, QCoreApplication::instance());
        QObject::connect(watch, &QSocketNotifier::activated, watch, [watch, pid, ended] {
            watch->setEnabled(false);
            ::waitpid(pid, nullptr, WNOHANG);
            ::close(ended);
            watch->deleteLater();
        });
        return;
    }
    if (ended >= 0)
        ::close(ended);
    std::thread([pid] {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

} // namespace

void QtPlatform::startProgram(const QString& path, QWidget*) {
    const QByteArray file = QFile::encodeName(path);
    char* argv[] = {const_cast<char*>(file.constData()), nullptr};
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own process group: neither Ctrl+C nor the hang-up of the panel's
    // terminal reaches it, so a gadget outlives both. (A session of its own
    // would do the same but costs the kernel a scheduling group per gadget,
    // most of the time a start takes.)
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    // Nothing but the standard three descriptors reaches the gadget, also
    // none that the database engine opened without close-on-exec.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, file.constData(), &actions, &attr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        // As a desktop shell would: say which file could not be opened and why.
        platform().messageBox(
            MessageKind::Plain, QCoreApplication::applicationName(),
            QStringLiteral("Não foi possível abrir \"%1\".\r\n%2").arg(path, startFailureReason(path, rc)));
        return;
    }
    reapWhenEnded(pid);
}

QString QtPlatform::selectFolder(QWidget* owner, const QString& title) {
    return QFileDialog::getExistingDirectory(owner, title, desktopFolder(), QFileDialog::ShowDirsOnly);
}

QString QtPlatform::desktopFolder() {
    // The user's desktop folder as the desktop names it (Qt reads the XDG
    // user folders), the home folder when there is none.
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return !desktop.isEmpty() && QFileInfo(desktop).isDir() ? desktop : QDir::homePath();
}
