#pragma once

#include <functional>

class QWidget;

// Runs step once window has drawn its first frame and the window system has
// taken it: work the frame does not show waits for it. The step is dropped
// when the window is destroyed first.
void afterFirstFrame(QWidget* window, std::function<void()> step);
