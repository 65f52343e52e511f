#include "Application.h"
#include "Resources.h"
#include "Startup.h"

int main(int argc, char** argv) {
    OrvantoApplication app(argc, argv);
    initOrvantoResources();
    return runOrvanto(app);
}
