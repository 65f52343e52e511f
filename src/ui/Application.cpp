#include "ui/Application.h"

#include "platform/ErrorReport.h"
#include "platform/QtPlatform.h"
#include "settings/Settings.h"
#include "ui/Translations.h"

OrvantoApplication::OrvantoApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setUpOrvantoProcess(*this);
    static QtPlatform desktop;
    setStandardPlatform(&desktop);
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
