#pragma once

class QCoreApplication;

// SIGTERM (a desktop session's logout), SIGINT and SIGHUP end the program as
// its close button does: the event loop ends and main returns, with exit
// status 0. The handler only writes a byte to a pipe; the loop, woken by
// it, quits. Install once, from main, after the application object exists.
void endOnSignals(QCoreApplication& app);

// Asks for the same end from any thread, a signal handler included
// (async-signal-safe). signal is the number that caused it.
void requestEnd(int signal);

// Whether an end has been asked for: from then on nothing new may wait for
// the user (no message box, no modal window).
bool endRequested();
