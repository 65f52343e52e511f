#include "Application.h"

#include "ErrorReport.h"
#include "Settings.h"
#include "Translations.h"

OrvantoApplication::OrvantoApplication(int& argc, char** argv) : QApplication(argc, argv) {
    useUtf8CharacterType(); // the database client converts names by it
    setApplicationName(QStringLiteral("Orvanto"));
    loadToolkitTranslations(*this);
}

bool OrvantoApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        reportUncaughtError(error);
        return false;
    }
}
