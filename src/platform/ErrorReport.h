#pragma once

#include <QString>

#include <exception>
#include <utility>

// The report of an error that no handler caught: its text in a plain box,
// with a final "." added unless the text is empty or already ends in "." or
// a character of lower code. The program then goes on.
QString errorReportText(const QString& text);
void reportUncaughtError(const std::exception& error);

// Runs a handler so that no exception crosses Qt's event loop: what escapes
// it goes to the error report. Every connection to a handler goes through it.
template <class Handler> void runGuarded(Handler&& handler) {
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& error) {
        reportUncaughtError(error);
    }
}
