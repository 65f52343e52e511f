#pragma once

class QApplication;
struct Settings;

// The program's start: the panel (which loads the settings), shown centred
// on the screen, then the hidden preview store, then the event loop. Returns
// the exit status: 0 after a normal end, 1 when the start failed. The
// windows work on values, which the caller keeps for the whole run.
int runOrvanto(QApplication& app, Settings& values);
