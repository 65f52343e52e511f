#include "platform/QtPlatform.h"

#include "platform/StartFailure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// Reaps the gadgets the panel starts as each one ends, so that none lingers
// as a zombie: one thread for all of them, asleep until a gadget ends (its
// process descriptor turns readable) or another is to be watched. A thread
// of its own per gadget cost the start button about a tenth of its time.
// Never destroyed: it runs for the life of the process.
class Reaper {
public:
    static Reaper& instance() {
        static auto* reaper = new Reaper;
        return *reaper;
    }

    void watch(pid_t pid) {
        const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); // close-on-exec
        if (fd < 0 || !m_running) {
            if (fd >= 0)
                close(fd);
            reapOnItsOwnThread(pid); // a kernel without process descriptors
            return;
        }
        {
            const std::lock_guard guard(m_lock);
            m_added.push_back({pid, fd});
        }
        const char wake = 1;
        while (write(m_wake[1], &wake, 1) < 0 && errno == EINTR) {
        }
    }

private:
    struct Child {
        pid_t pid;
        int fd;
    };

    Reaper() {
        if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        std::thread([this] { run(); }).detach();
        m_running = true;
    }

    static void reapOnItsOwnThread(pid_t pid) {
        std::thread([pid] {
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    }

    void run() {
        std::vector<Child> watched;
        std::vector<pollfd> fds;
        for (;;) {
            fds.assign(1, {m_wake[0], POLLIN, 0});
            for (const Child& child : watched)
                fds.push_back({child.fd, POLLIN, 0});
            if (poll(fds.data(), fds.size(), -1) < 0)
                continue; // EINTR
            std::vector<Child> still;
            for (std::size_t i = 0; i < watched.size(); ++i) {
                if (fds[i + 1].revents == 0) {
                    still.push_back(watched[i]);
                    continue;
                }
                while (waitpid(watched[i].pid, nullptr, WNOHANG) < 0 && errno == EINTR) {
                }
                close(watched[i].fd);
            }
            watched.swap(still);
            if (fds[0].revents != 0) {
                char drained[64];
                while (read(m_wake[0], drained, sizeof drained) > 0) {
                }
                const std::lock_guard guard(m_lock);
                watched.insert(watched.end(), m_added.begin(), m_added.end());
                m_added.clear();
            }
        }
    }

    int m_wake[2] = {-1, -1};
    bool m_running = false;
    std::mutex m_lock;
    std::vector<Child> m_added;
};

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
    // Reaped when it ends, so that it never lingers as a zombie.
    Reaper::instance().watch(pid);
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
