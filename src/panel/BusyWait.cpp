#include "BusyWait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QCursor>
#include <QGuiApplication>
#include <QThread>

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
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    QGuiApplication::restoreOverrideCursor();
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}
