#include "app/Startup.h"
#include "settings/FbClient.h"
#include "ui/Application.h"
#include "ui/EndSignals.h"
#include "ui/Resources.h"

int main(int argc, char** argv) {
    OrvantoApplication app(argc, argv);
    endOnSignals(app);
    fb::setSignalForwarder(requestEnd);
    initOrvantoResources();
    return runOrvanto(app);
}
