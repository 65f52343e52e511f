#pragma once

#include <QString>
#include <QStringList>

// What the platform's Firebird installation provides: the client library,
// loaded the platform's way (its default name is fb::LibraryName), and the
// alias file in which the installation registers its databases.

// The alias file of the installed server (the default of AliasFilePath).
QString registeredAliasFile();

namespace fb {

// The names tried, in order, for the library named name: name itself, and
// where the platform knows a second name for the same client, that one.
QStringList libraryCandidates(const QString& name);
// The loaded library, or nullptr when it cannot be loaded.
void* openLibrary(const QString& name);
void* librarySymbol(void* library, const char* symbol);
void closeLibrary(void* library);

} // namespace fb
