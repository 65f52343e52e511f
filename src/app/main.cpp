#include "app/Startup.h"
#include "settings/FbClient.h"
#include "ui/Application.h"
#include "ui/EndSignals.h"
#include "ui/Resources.h"

int main(int argc, char** argv) {
    // Before anything else: the password is read later, and a logout's
    // SIGTERM may come while the application object is still being built.
    keepCoreDumpsOff();
    installEndSignals();
    OrvantoApplication app(argc, argv);
    endOnSignals(app);
    fb::setSignalForwarder(requestEnd);
    initOrvantoResources();
    return runOrvanto(app);
}
