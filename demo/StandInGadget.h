#pragma once

// What the stand-in gadget knows and does apart from its window: which
// gadget it plays, what it reads from the shared settings file, the branch
// name it looks up, and its own section in that file.

#include "panel/GadgetCatalogue.h"

#include <QList>
#include <QPoint>
#include <QString>

#include <optional>
#include <utility>

// The catalogue row that a program started under argv0 plays: its file
// name (any folder) is a catalogue file name, letter case aside; the name
// without ".exe" counts too. nullptr for any other name.
const Gadget* gadgetForProgram(const QString& argv0);

// The gadget's own section of the settings file: its file name without
// ".exe" ("Tarvelo" for "Tarvelo.exe").
QString gadgetSection(const Gadget& gadget);

// What a gadget reads from section Configuracoes.
struct GadgetSettings {
    bool fileFound = false;
    QString databaseName; // by the panel's database name rule
    QString user;
    QString password; // only to connect: never shown
    QString branch;   // Filial
};

GadgetSettings readGadgetSettings(const QString& iniPath);

// The name of the branch settings.branch in table FILIAIS, or nothing when
// no row has that code. Throws ShownError with the client's text when
// the database cannot be opened or read.
std::optional<QString> lookupBranchName(const GadgetSettings& settings);

// The window position kept in the gadget's own section, when there is one.
std::optional<QPoint> readWindowPosition(const QString& iniPath, const QString& section);

// Keeps entries (key, value) in the gadget's own section, touching no other
// line of the file. Returns false without writing when the settings file
// does not exist: it is the panel's to create, and a file without its
// section would hide the panel's defaults. Does not write either when the
// section already holds every value. Throws ShownError when the file
// cannot be written.
bool saveOwnEntries(const QString& iniPath, const QString& section,
                    const QList<std::pair<QString, QString>>& entries);

// The window position as Left and Top, by saveOwnEntries.
bool saveWindowPosition(const QString& iniPath, const QString& section, QPoint pos);

// The branch the gadget showed last ("02 - Filial Campinas"), by
// saveOwnEntries.
inline const QString LastBranchKey = QStringLiteral("UltimaFilial");
