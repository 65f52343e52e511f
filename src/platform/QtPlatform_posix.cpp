#include "platform/QtPlatform.h"

#include "platform/StartFailure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

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
    // Reap the gadget when it ends, so it never lingers as a zombie.
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
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
