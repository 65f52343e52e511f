#pragma once

// The database path registered under an alias in Firebird's alias file.

#include <QString>
#include <QStringList>

// The alias file read by the lookup. A variable so that tests can use their
// own.
extern QString AliasFilePath;

// The parameter lines of an alias, in order: "SERVER NAME=" and its path
// first, then the entries of the alias's own { } block as "NAME=value".
// Alias names are compared without regard to case. "include <file>" lines
// are followed where they stand (relative to the including file, wildcards
// * and ? in the name, $(dir_conf) as EngineConfigFolder() below), within a
// bound on depth and file count, never into a loop. Empty when the file
// cannot be read or holds no such alias.
QStringList AliasParams(const QString& alias);

// The folder "$(dir_conf)" names: the engine's configuration folder when its
// alias file is the one read, else the alias file's own folder.
QString EngineConfigFolder();

// The database path registered under alias: the first parameter line from
// its 13th character on, at most 255 characters. Every failure gives the
// empty text.
QString retornaCaminho(const QString& alias);
