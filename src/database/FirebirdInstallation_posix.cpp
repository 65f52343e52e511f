#include "database/FirebirdInstallation.h"

#include "database/FbClient.h"

#include <dlfcn.h>

QString registeredAliasFile() {
    return QStringLiteral("/etc/firebird/3.0/databases.conf");
}

namespace fb {

QString LibraryName = QStringLiteral("libfbclient.so.2");

QStringList libraryCandidates(const QString& name) {
    return {name};
}

void* openLibrary(const QString& name) {
    return ::dlopen(name.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
}

void* librarySymbol(void* library, const char* symbol) {
    return ::dlsym(library, symbol);
}

void closeLibrary(void* library) {
    ::dlclose(library);
}

} // namespace fb
