#include "settings/Settings.h"

#include "settings/AtomicWrite.h"
#include "settings/IniFile.h"
#include "settings/ShownError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>

namespace {
// The ten keys in the order a save writes them, with the value each holds
// and whether loading reads it.
struct Key {
    const char* name;
    QString Settings::*value;
    bool loaded;
};
constexpr std::array<Key, 10> Keys{{
    {"LocRem", &Settings::LocRem, true},
    {"Comp", &Settings::Comp, false},
    {"Servidor", &Settings::Servidor, true},
    {"Protocolo", &Settings::Protocolo, true},
    {"CaminhoBanco", &Settings::CaminhoBanco, true},
    {"Usuario", &Settings::Usuario, true},
    {"Senha", &Settings::Senha, true},
    {"DiretorioGadgets", &Settings::DiretorioGadgets, true},
    {"ModoPainel", &Settings::ModoPainel, true},
    {"Filial", &Settings::Filial, true},
}};
} // namespace

QString paddedKey(const char* name) {
    return QString::fromLatin1(name).leftJustified(16, u' ');
}

Settings readSettings(IniFile& ini) {
    Settings values;
    for (const Key& key : Keys)
        values.*key.value = ini.read(SettingsSection, QString::fromLatin1(key.name));
    return values;
}

void CarregaConfig(Settings& values) {
    IniFile ini(settingsFilePath());
    if (!ini.exists())
        return;
    for (const Key& key : Keys) {
        if (key.loaded) // not Comp: the dialog reads it itself
            values.*key.value = ini.read(SettingsSection, QString::fromLatin1(key.name));
    }
    ini.release();
}

void SalvaIni(const Settings& values) {
    makeSettingsFolder();
    IniFile ini(settingsFilePath());
    for (const Key& key : Keys)
        ini.write(SettingsSection, paddedKey(key.name), values.*key.value);
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

void setUpOrvantoProcess(QCoreApplication& app) {
    useUtf8CharacterType();
    app.setApplicationName(QStringLiteral("Orvanto"));
}
