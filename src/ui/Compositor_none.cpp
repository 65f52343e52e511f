#include "ui/Compositor.h"

// Built without the X11 client library: there is no X display to ask.
bool x11CompositorRunning() {
    return false;
}
