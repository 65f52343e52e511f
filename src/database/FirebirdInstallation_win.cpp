#include "database/FirebirdInstallation.h"

#include "database/FbClient.h"

#include <windows.h>

// The installation the registry names as the default instance (its folder,
// where databases.conf lies); nothing when no server is installed.
QString registeredAliasFile() {
    wchar_t folder[MAX_PATH + 1] = {};
    DWORD size = sizeof folder - sizeof(wchar_t);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Firebird Project\\Firebird Server\\Instances",
                       L"DefaultInstance", RRF_RT_REG_SZ, nullptr, folder, &size) != ERROR_SUCCESS)
        return {};
    QString root = QString::fromWCharArray(folder);
    if (root.isEmpty())
        return {};
    if (!root.endsWith(u'\\') && !root.endsWith(u'/'))
        root += u'\\';
    return root + QStringLiteral("databases.conf");
}

namespace fb {

// The name the gadgets' installations have always shipped the client
// under; a plain client installation has only the newer name.
QString LibraryName = QStringLiteral("gds32.dll");

QStringList libraryCandidates(const QString& name) {
    if (name.compare(QLatin1String("gds32.dll"), Qt::CaseInsensitive) == 0)
        return {name, QStringLiteral("fbclient.dll")};
    return {name};
}

void* openLibrary(const QString& name) {
    // No "cannot find the file" box from the system: the caller reports it.
    const UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE library = ::LoadLibraryW(name.toStdWString().c_str());
    ::SetErrorMode(oldMode);
    return library;
}

void* librarySymbol(void* library, const char* symbol) {
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), symbol));
}

void closeLibrary(void* library) {
    ::FreeLibrary(static_cast<HMODULE>(library));
}

} // namespace fb
