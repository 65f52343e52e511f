#pragma once

#include <functional>

// Runs a call that may wait on the network on a worker thread while the
// user-interface thread keeps painting: user input is held back until the
// call ends (as if it had blocked) and the cursor shows the wait. Called
// from any other thread, it simply runs the call. Exceptions pass on.
void runWhilePainting(const std::function<void()>& work);
