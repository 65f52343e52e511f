#include "platform/EndSignals.h"

#include "settings/AtomicWrite.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstdlib>

// Windows ends a program by other means than signals: a console's close
// button, Ctrl+C or Ctrl+Break, the end of the session (logoff, shutdown),
// and a WM_CLOSE sent to its windows (what "taskkill" without /F sends).
// Each ends it as its close button does: the event loop ends, main returns.

namespace {

std::atomic<bool> ending{false};
QCoreApplication* application = nullptr; // set once, on the main thread, before any handler runs
HANDLE mainEnded = nullptr;              // signalled when main has returned

void signalMainEnded() {
    if (mainEnded)
        ::SetEvent(mainEnded);
}

// Console events arrive on a thread of their own. The system ends the
// process once the handler returns from a close, logoff or shutdown event,
// so it waits (bounded: the system gives it five seconds) for main to end.
BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        requestEnd(SIGINT);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        requestEnd(SIGTERM);
        if (mainEnded)
            ::WaitForSingleObject(mainEnded, 4500);
        return TRUE;
    default:
        return FALSE;
    }
}

class EndMessages final : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override {
        if (eventType != "windows_generic_MSG")
            return false;
        const MSG* msg = static_cast<const MSG*>(message);
        switch (msg->message) {
        case WM_ENDSESSION:
            // The session ends once this returns: the loop ends first.
            if (msg->wParam) {
                requestEnd(SIGTERM);
                QCoreApplication::sendPostedEvents();
                if (result) // none when the event loop asks, not a window
                    *result = 0;
                return true;
            }
            return false;
        case WM_CLOSE:
            // A window that a modal one blocks would ignore the request, as
            // would the panel while the database keeps it waiting; the
            // request is the program's end, as a signal is on Linux. An
            // enabled window closes the usual way (the panel's close ends
            // the program, a dialog's closes the dialog).
            if (!::IsWindowEnabled(msg->hwnd) || endRequested()) {
                requestEnd(SIGTERM);
                if (result) // none when the event loop asks, not a window
                    *result = 0;
                return true;
            }
            return false;
        default:
            return false;
        }
    }
};

} // namespace

void requestEnd(int) {
    ending.store(true);
    endFileWaits(); // a save waiting for another program gives up at once
    if (QCoreApplication* app = application)
        QMetaObject::invokeMethod(
            app, [app] { app->exit(0); }, Qt::QueuedConnection);
}

bool endRequested() {
    return ending.load();
}

// Windows writes no dump of a crashed program unless the machine is set up
// for it (Windows Error Reporting's LocalDumps); what is left is the crash
// box, which would keep the process and its memory alive until answered.
void keepCoreDumpsOff() {
    ::SetErrorMode(::GetErrorMode() | SEM_NOGPFAULTERRORBOX);
}

// Console events are taken from the start; one that comes before the
// application object ends the program as soon as its loop runs.
void installEndSignals() {
    if (mainEnded)
        return;
    mainEnded = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atexit(signalMainEnded);
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void endOnSignals(QCoreApplication& app) {
    installEndSignals();
    application = &app;
    static EndMessages messages;
    app.installNativeEventFilter(&messages);
    if (endRequested())
        requestEnd(SIGTERM);
}
