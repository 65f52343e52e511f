#pragma once

// Whether a compositing manager runs on the application's X display: one
// owns a _NET_WM_CM_S<screen> selection. False off X11.
bool x11CompositorRunning();
