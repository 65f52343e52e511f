#pragma once

class QCoreApplication;

// Turns core dumps off for this process: it holds the database password in
// memory, and a core file would keep it on disk. Call first thing in main,
// before anything reads the settings. Programs it starts are not affected.
void keepCoreDumpsOff();

// SIGTERM (a desktop session's logout), SIGINT and SIGHUP end the program as
// its close button does: the event loop ends and main returns, with exit
// status 0. The handler only writes a byte to a pipe; the loop, woken by
// it, quits. installEndSignals() takes the signals: call it first thing in
// main, before the application object is built, so that a signal from then
// on is kept; endOnSignals() then hands them to the application's loop,
// also one that came before it (installing them first if need be).
void installEndSignals();
void endOnSignals(QCoreApplication& app);

// Asks for the same end from any thread, a signal handler included
// (async-signal-safe). signal is the number that caused it.
void requestEnd(int signal);

// Whether an end has been asked for: from then on nothing new may wait for
// the user (no message box, no modal window).
bool endRequested();
