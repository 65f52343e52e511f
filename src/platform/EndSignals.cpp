#include "platform/EndSignals.h"

#include "settings/AtomicWrite.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

// The leak checker stops the process's threads by tracing them from a
// helper, which a process that is not dumpable refuses.
#if defined(__SANITIZE_ADDRESS__)
#define ORVANTO_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define ORVANTO_LEAK_CHECKED 1
#endif
#endif

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
    endFileWaits(); // a save waiting for another program gives up at once
    if (wakeWrite >= 0) {
        const char byte = static_cast<char>(signal);
        (void)!::write(wakeWrite, &byte, 1); // a full pipe already holds a wake-up
    }
    errno = savedErrno;
}

bool endRequested() {
    return ending.load();
}

void keepCoreDumpsOff() {
    // Not dumpable: no core at all, whatever the system's core pattern, and
    // not inherited by the programs it starts. Under the leak checker the
    // process must stay traceable: there a zero core limit does it.
#if defined(ORVANTO_LEAK_CHECKED)
    rlimit limit{};
    ::getrlimit(RLIMIT_CORE, &limit);
    limit.rlim_cur = 0;
    ::setrlimit(RLIMIT_CORE, &limit);
#else
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}

void installEndSignals() {
    if (wakeRead >= 0)
        return;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    wakeRead = fds[0];
    wakeWrite = fds[1];
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

void endOnSignals(QCoreApplication& app) {
    installEndSignals();
    if (wakeRead < 0)
        return;
    // A signal that came before is still in the pipe: the notifier fires
    // as soon as the loop runs.
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
}
