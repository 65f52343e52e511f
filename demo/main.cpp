#include "GadgetWindow.h"
#include "database/FbClient.h"
#include "platform/EndSignals.h"
#include "settings/Settings.h"
#include "ui/Resources.h"
#include "ui/Translations.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdlib>

// A stand-in for the gadget programs: started under a gadget's file name,
// it plays that gadget.
int main(int argc, char** argv) {
    // Before anything else: the password is read later, and a logout's
    // SIGTERM may come while the application object is still being built.
    keepCoreDumpsOff();
    installEndSignals();
    QApplication app(argc, argv);
    useUtf8CharacterType(); // the database client converts names by it
    loadToolkitTranslations(app);
    endOnSignals(app);
    fb::setSignalForwarder(requestEnd);
    if (!loadProgramResources())
        return 1;
    // The name it was started under, not the file a link points to.
    const QString program = QFileInfo(QString::fromLocal8Bit(argc > 0 ? argv[0] : "")).fileName();
    app.setApplicationName(program);
    GadgetWindow window(gadgetForProgram(program), program, settingsFilePath());
    window.show();
    const int status = app.exec();
    if (window.lookupRunning())
        std::_Exit(status); // do not wait out a server's time-out once the window is closed
    return status;
}
