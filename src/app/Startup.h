#pragma once

class QApplication;

// The program's start: the panel (which loads the settings), shown centred
// on the screen, then the hidden preview store, then the event loop. Returns
// the exit status: 0 after a normal end, 1 when the start failed.
int runOrvanto(QApplication& app);
