#include "app/Startup.h"
#include "database/FbClient.h"
#include "platform/EndSignals.h"
#include "settings/Settings.h"
#include "ui/Application.h"
#include "ui/Fonts.h"
#include "ui/Resources.h"

int main(int argc, char** argv) {
    // Before anything else: the password is read later, and a logout's
    // SIGTERM may come while the application object is still being built.
    keepCoreDumpsOff();
    installEndSignals();
    // Side by side with the application object's construction.
    const FontConfigurationAhead fonts;
    OrvantoApplication app(argc, argv);
    endOnSignals(app);
    fb::setSignalForwarder(requestEnd);
    if (!loadProgramResources())
        return 1;
    Settings values;
    return runOrvanto(app, values);
}
