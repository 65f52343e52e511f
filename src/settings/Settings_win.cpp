#include "settings/Settings.h"

#include "settings/AtomicWrite.h"
#include "settings/ShownError.h"

#include <windows.h>

using namespace Qt::StringLiterals;

// The places the gadgets of a Windows installation use, as they name them.
QString settingsFolder() {
    return QStringLiteral("C:\\TempVUX");
}

QString settingsFilePath() {
    return QStringLiteral("C:\\TempVUX\\ConfigGadGet.Ini");
}

// The folder inherits the access rules of C:\, as the gadgets' own does.
void makeSettingsFolder() {
    if (::CreateDirectoryW(L"C:\\TempVUX", nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS)
        return;
    const DWORD error = ::GetLastError();
    throw ShownError(
        QStringLiteral("Unable to write to %1.\r\nNão foi possível criar a pasta %2. %3")
            .arg(settingsFilePath(), settingsFolder(), systemFailureReason(int(error), u"C:\\"_s)));
}

QString defaultGadgetsFolder() {
    return QStringLiteral("C:\\Morvelt\\Gadgets VUX");
}

// Nothing to change: the settings file is in the system's ANSI code page,
// as the profile functions read it (Qt's local 8-bit encoding there), and
// the database client gets its names in UTF-8 by the parameter block.
void useUtf8CharacterType() {}
