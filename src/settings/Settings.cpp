#include "settings/Settings.h"

#include "settings/AtomicWrite.h"
#include "settings/IniFile.h"
#include "settings/ShownError.h"
#include "settings/Variaveis.h"

#include <QCoreApplication>
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

void CarregaConfig() {
    IniFile ini(settingsFilePath());
    if (!ini.exists())
        return;
    for (const SettingsKey& key : SettingsKeys) {
        if (key.loaded)
            *key.value = ini.read(SettingsSection, QString::fromLatin1(key.name));
    }
    ini.release();
}

void SalvaIni() {
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
    IniFile ini(settingsFilePath());
    for (const SettingsKey& key : SettingsKeys)
        ini.write(SettingsSection, paddedKey(key.name), *key.value);
    ini.release();
}

void ReadSettingsFileThrough() {
    const QString path = settingsFilePath();
    if (!QFileInfo::exists(settingsFolder()) || !QFileInfo::exists(path))
        return;
    // Read as the layer reads it: a FIFO, a device or a runaway file is
    // refused at once instead of blocking or filling the memory; a folder is
    // no file, as when nothing is there.
    QByteArray content;
    QString why;
    if (readWholeFile(path, content, IniFile::MaxFileSize, &why) == FileRead::Failed)
        throw ShownError(QStringLiteral("Não foi possível abrir o arquivo \"%1\".\r\n%2").arg(path, why));
}

QString WithFolderSeparator(const QString& folder) {
    if (folder.isEmpty())
        return QString(FolderSeparator);
    const qsizetype n = Trimmed(folder).size();
    const qsizetype at = n > 0 ? n - 1 : 0;
    return folder.at(at) == FolderSeparator ? folder : folder + FolderSeparator;
}

QString Trimmed(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

void useUtf8CharacterType() {
    const QByteArray codeset = ::nl_langinfo(CODESET);
    if (codeset.compare("UTF-8", Qt::CaseInsensitive) == 0 ||
        codeset.compare("utf8", Qt::CaseInsensitive) == 0)
        return;
    ::setlocale(LC_CTYPE, "C.UTF-8");
}

void setUpOrvantoProcess(QCoreApplication& app) {
    useUtf8CharacterType();
    app.setApplicationName(QStringLiteral("Orvanto"));
}
