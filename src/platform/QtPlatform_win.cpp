#include "platform/QtPlatform.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QWidget>

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

namespace {
HWND windowOf(QWidget* owner) {
    return owner ? reinterpret_cast<HWND>(owner->window()->winId()) : nullptr;
}

// The system path limit and its terminating zero.
constexpr int PathUnits = MAX_PATH + 1;
} // namespace

// The shell opens the gadget, owned by the panel's window: a file that is
// missing or no program is reported by the shell itself, so the result is
// not looked at.
void QtPlatform::startProgram(const QString& path, QWidget* owner) {
    const std::wstring file = path.toStdWString();
    ::ShellExecuteW(windowOf(owner), L"open", file.c_str(), L"", L"", SW_SHOWNORMAL);
}

// The shell's folder browser: file-system folders only, starting at the
// desktop, modal to its owner.
QString QtPlatform::selectFolder(QWidget* owner, const QString& title) {
    wchar_t displayName[PathUnits] = {};
    wchar_t tempPath[PathUnits] = {};
    const std::wstring caption = title.toStdWString();
    BROWSEINFOW browseInfo;
    ::ZeroMemory(&browseInfo, sizeof browseInfo);
    browseInfo.hwndOwner = windowOf(owner);
    browseInfo.pszDisplayName = displayName;
    browseInfo.lpszTitle = caption.c_str();
    browseInfo.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE itemList = ::SHBrowseForFolderW(&browseInfo);
    if (!itemList)
        return {};
    QString folder;
    if (::SHGetPathFromIDListW(itemList, tempPath)) {
        tempPath[PathUnits - 1] = L'\0';
        folder = QString::fromWCharArray(tempPath);
    }
    ::CoTaskMemFree(itemList); // the shell's item lists come from its task allocator
    return folder;
}

QString QtPlatform::desktopFolder() {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return !desktop.isEmpty() && QFileInfo(desktop).isDir() ? desktop : QDir::homePath();
}
