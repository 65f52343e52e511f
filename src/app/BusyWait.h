#pragma once

#include <functional>

// Waits for a database call on the user-interface thread while the windows
// keep painting: user input is held back until the call ends (as if it had
// blocked) and the cursor shows the wait. Returns when finished() says so,
// or when the application's loops are told to end. Called from any other
// thread, it simply waits.
void runWhilePainting(const std::function<bool()>& finished);
