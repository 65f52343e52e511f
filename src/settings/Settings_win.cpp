#include "settings/Settings.h"

// The places the gadgets of a Windows installation use, as they name them.
QString settingsFolder() {
    return QStringLiteral("C:\\TempVUX");
}

QString settingsFilePath() {
    return QStringLiteral("C:\\TempVUX\\ConfigGadGet.Ini");
}

QString defaultGadgetsFolder() {
    return QStringLiteral("C:\\Morvelt\\Gadgets VUX");
}

// Nothing to change: the settings file is in the system's ANSI code page,
// as the profile functions read it (Qt's local 8-bit encoding there), and
// the database client gets its names in UTF-8 by the parameter block.
void useUtf8CharacterType() {}
