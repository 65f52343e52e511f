#include "BusyWait.h"

#include "EndSignals.h"
#include "FbClient.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QCursor>
#include <QGuiApplication>
#include <QThread>

#include <atomic>
#include <cstdlib>
#include <exception>
#include <thread>

void runWhilePainting(const std::function<void()>& work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        work();
        return;
    }
    QEventLoop loop;
    std::exception_ptr failure;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        done.store(true);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!done.load() && endRequested()) {
        // Ended by a signal while the client still waits: nothing is left to
        // do but let the engine close what it can (bounded) and go, without
        // waiting out the network or returning to the caller.
        fb::shutDownClientsWithin(std::chrono::seconds(5));
        std::_Exit(0);
    }
    while (!done.load()) // another loop's exit: keep painting until the call ends
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    QGuiApplication::restoreOverrideCursor();
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}
