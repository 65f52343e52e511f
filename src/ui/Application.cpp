#include "Application.h"

#include "ErrorReport.h"
#include "Settings.h"

OrvantoApplication::OrvantoApplication(int& argc, char** argv) : QApplication(argc, argv) {
    useUtf8CharacterType(); // the database client converts names by it
    setApplicationName(QStringLiteral("Orvanto"));
}

bool OrvantoApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        reportUncaughtError(error);
        return false;
    }
}
