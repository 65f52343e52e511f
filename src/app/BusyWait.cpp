#include "app/BusyWait.h"

#include "database/FbClient.h"
#include "platform/EndSignals.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <thread>

void runWhilePainting(const std::function<bool()>& finished) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        while (!finished())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return;
    }
    if (finished())
        return;
    QEventLoop loop;
    // Asked often: a call's end reaches the window within a millisecond.
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (finished())
            loop.quit();
    });
    poll.start();
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    QGuiApplication::restoreOverrideCursor();
    if (!finished() && endRequested()) {
        // Ended by a signal while the client still waits: let the engine
        // close what it can (bounded; not at all while a call is under
        // way, which its shutdown does not allow) and go, without
        // waiting out the network or returning to the caller.
        fb::closeClients(std::chrono::seconds(5));
        std::_Exit(0);
    }
}
