#pragma once

#include <functional>

// The runner of the database calls' waits on the user-interface thread:
// wait() keeps the windows painting and holds user input back until the
// call ends (as if it had blocked), and the cursor shows the wait meanwhile.
// A wait ended by a signal ends the program here.
void runWhilePainting(const std::function<bool()>& wait);
