#include "settings/Settings.h"

#include "settings/AtomicWrite.h"
#include "settings/ShownError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <clocale>
#include <langinfo.h>
#include <sys/stat.h>

QString settingsFolder() {
    return QDir::homePath() + QStringLiteral("/TempVUX");
}

QString settingsFilePath() {
    return settingsFolder() + QStringLiteral("/ConfigGadGet.Ini");
}

void makeSettingsFolder() {
    // Owner only, set rather than left to the umask (0277 would leave a
    // folder nobody can write in). A folder already there is left as it is;
    // a file in its place shows in the write error below.
    const QString folder = settingsFolder();
    const QByteArray folderName = QFile::encodeName(folder);
    if (::mkdir(folderName.constData(), 0700) == 0) {
        ::chmod(folderName.constData(), 0700);
    } else if (errno != EEXIST) {
        const int error = errno;
        throw ShownError(QStringLiteral("Unable to write to %1.\r\nNão foi possível criar a pasta %2. %3")
                             .arg(settingsFilePath(), folder,
                                  systemFailureReason(error, QFileInfo(folder).absolutePath())));
    }
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
