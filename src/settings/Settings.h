#pragma once

#include <QString>

// Where the settings file lives: the folder "TempVUX" in the user's home
// folder, file "ConfigGadGet.Ini" in it; on Windows "C:\TempVUX", as the
// gadgets there read it. Tests move HOME to a scratch folder.
QString settingsFolder();
QString settingsFilePath();

// Creates the settings folder when it is missing, for its owner only; a
// folder already there is left as it is. Throws ShownError ("Unable to
// write to <file>" and why) when it cannot be made.
void makeSettingsFolder();

inline const QString SettingsSection = QStringLiteral("Configuracoes");

// The settings the panel shares with the gadgets: the ten values of section
// Configuracoes. One value for the whole process, owned by the program's
// start and lent to the panel, the dialog and the connection test.
struct Settings {
    QString LocRem;
    QString Comp;
    QString Servidor;
    QString Protocolo;
    QString CaminhoBanco;
    QString Usuario;
    QString Senha;
    QString DiretorioGadgets;
    QString ModoPainel;
    QString Filial;
};

// Loads nine values from the file into values (not Comp, which the dialog
// reads itself); leaves them as they are when the file is missing. An
// absent key empties its value.
void CarregaConfig(Settings& values);

class IniFile;
// All ten values as the file holds them, Comp included.
Settings readSettings(IniFile& ini);

// Writes the ten values of section Configuracoes with their padded keys,
// creating the folder when needed. All ten land together or none does.
// Throws ShownError ("Unable to write to <path>." and the reason) on failure.
void SalvaIni(const Settings& values);

// The key as a save writes it: padded with blanks to 16 characters, as the
// gadgets' own files look (readers ignore the blanks).
QString paddedKey(const char* name);

// Reads the settings file through as plain lines, keeping nothing: the
// start-up's check that the file can be read. Throws ShownError when it
// exists but cannot be opened or read; a missing folder or file, or a folder
// at the file's path, is no error.
void ReadSettingsFileThrough();

// A text without its leading and trailing characters of code U+0020 or
// below: how every field is tested for emptiness and stored.
QString Trimmed(const QString& text);

// The platform's folder separator ("/" here, "\" on Windows).
#ifdef _WIN32
inline constexpr char16_t FolderSeparator = u'\\';
#else
inline constexpr char16_t FolderSeparator = u'/';
#endif

// The gadgets folder the settings dialog offers when none is set: "Morvelt/
// Gadgets VUX" in the user's home folder; "C:\Morvelt\Gadgets VUX" on Windows.
QString defaultGadgetsFolder();

// The gadgets folder with the separator appended when it lacks one. The
// character tested is the one at the position of the trimmed length (the
// last non-blank one for a text without leading blanks), so blanks the user
// left around the folder stay where they are.
QString WithFolderSeparator(const QString& folder);

// Makes the process's character type UTF-8 when the locale gives another
// (LANG unset, C, Latin-1). Names in the settings file and those sent to the
// database client are UTF-8, and the client turns a file name into the
// process's character set to open it: an accent in a path would fail.
// Call once at start, on the main thread, before other threads run.
void useUtf8CharacterType();

class QCoreApplication;

// What every process of the program sets first, with or without windows:
// the application name "Orvanto" (the caption of its boxes) and a UTF-8
// character type (above).
void setUpOrvantoProcess(QCoreApplication& app);
