#include "platform/Platform.h"

#include <QtGlobal>

namespace {
Platform* standard = nullptr; // the desktop's own, installed with the application object
Platform* current = nullptr;  // a test's, while it lives
} // namespace

Platform& platform() {
    if (current)
        return *current;
    if (!standard)
        qFatal("no desktop platform: the application object installs it");
    return *standard;
}

void setPlatform(Platform* replacement) {
    current = replacement;
}

Platform* standardPlatform() {
    return standard;
}

void setStandardPlatform(Platform* desktop) {
    standard = desktop;
}
