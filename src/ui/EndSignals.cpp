#include "ui/EndSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int wakeRead = -1;
int wakeWrite = -1;
std::atomic<bool> ending{false};

void onSignal(int signal) {
    requestEnd(signal);
}

} // namespace

void requestEnd(int signal) {
    const int savedErrno = errno; // a handler must leave errno as it found it
    ending.store(true);
    if (wakeWrite >= 0) {
        const char byte = static_cast<char>(signal);
        (void)!::write(wakeWrite, &byte, 1); // a full pipe already holds a wake-up
    }
    errno = savedErrno;
}

bool endRequested() {
    return ending.load();
}

void endOnSignals(QCoreApplication& app) {
    if (wakeRead < 0) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        wakeRead = fds[0];
        wakeWrite = fds[1];
    }
    auto* notifier = new QSocketNotifier(wakeRead, QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char drained[64];
        while (::read(wakeRead, drained, sizeof drained) > 0) {
        }
        // exit(), not quit(): a GUI application's quit() goes through the
        // window system's events, which a wait for the database holds back;
        // exit() ends every running loop, the waits' included, at once.
        app.exit(0);
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}
