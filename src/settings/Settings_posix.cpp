#include "settings/Settings.h"

#include <QDir>

#include <clocale>
#include <langinfo.h>

QString settingsFolder() {
    return QDir::homePath() + QStringLiteral("/TempVUX");
}

QString settingsFilePath() {
    return settingsFolder() + QStringLiteral("/ConfigGadGet.Ini");
}

QString defaultGadgetsFolder() {
    return QDir::homePath() + QStringLiteral("/Morvelt/Gadgets VUX");
}

void useUtf8CharacterType() {
    const QByteArray codeset = ::nl_langinfo(CODESET);
    if (codeset.compare("UTF-8", Qt::CaseInsensitive) == 0 ||
        codeset.compare("utf8", Qt::CaseInsensitive) == 0)
        return;
    ::setlocale(LC_CTYPE, "C.UTF-8");
}
