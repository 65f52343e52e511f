#include "app/BusyWait.h"

#include "database/FbClient.h"
#include "platform/EndSignals.h"

#include <QCursor>
#include <QGuiApplication>

#include <chrono>
#include <cstdlib>

void runWhilePainting(const std::function<bool()>& wait) {
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    const bool ended = wait();
    QGuiApplication::restoreOverrideCursor();
    if (!ended && endRequested()) {
        // Ended by a signal while the client still waits: let the engine
        // close what it can (bounded; not at all while a call is under
        // way, which its shutdown does not allow) and go, without
        // waiting out the network or returning to the caller.
        fb::closeClients(std::chrono::seconds(5));
        std::_Exit(0);
    }
}
