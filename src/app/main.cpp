#include "Application.h"
#include "EndSignals.h"
#include "FbClient.h"
#include "Resources.h"
#include "Startup.h"

int main(int argc, char** argv) {
    OrvantoApplication app(argc, argv);
    endOnSignals(app);
    fb::setSignalForwarder(requestEnd);
    initOrvantoResources();
    return runOrvanto(app);
}
