// Gadgets started through the Windows shell (ShellExecuteW), from the
// launcher and from the real program's window, with the cross-built
// stand-in gadget under the gadgets' names. Run under Wine.

#include "panel/GadgetCatalogue.h"
#include "panel/Launcher.h"
#include "platform/Platform.h"
#include "platform/QtPlatform.h"
#include "settings/Settings.h"
#include "ui/Resources.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <windows.h>

#include <tlhelp32.h>

using namespace Qt::StringLiterals;

namespace {

// The running processes whose file is one of names, by process id.
QMap<DWORD, QString> runningProcesses(const QSet<QString>& names) {
    QMap<DWORD, QString> found;
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return found;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
        const QString name = QString::fromWCharArray(entry.szExeFile);
        if (names.contains(name))
            found.insert(entry.th32ProcessID, name);
    }
    ::CloseHandle(snapshot);
    return found;
}

void endProcesses(const QMap<DWORD, QString>& processes) {
    for (auto it = processes.begin(); it != processes.end(); ++it) {
        if (HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, it.key())) {
            ::TerminateProcess(process, 0);
            ::WaitForSingleObject(process, 5000);
            ::CloseHandle(process);
        }
    }
}

// Waits (20 s at most) until every one of names runs.
QMap<DWORD, QString> waitForProcesses(const QSet<QString>& names) {
    QElapsedTimer waited;
    waited.start();
    QMap<DWORD, QString> found = runningProcesses(names);
    while (QSet<QString>(found.begin(), found.end()) != names && waited.elapsed() < 20000) {
        QTest::qWait(100);
        found = runningProcesses(names);
    }
    return found;
}

// A gadgets folder with the stand-in under the names given, and the
// artwork beside it, as the installer lays out the demo gadgets.
bool fillGadgetsFolder(const QString& folder, const QStringList& names) {
    for (const QString& name : names) {
        if (!QFile::copy(QStringLiteral(ORVANTO_GADGET_PROGRAM), folder + u'/' + name))
            return false;
    }
    for (const char* name : ArtworkFileNames) {
        if (!QFile::copy(QStringLiteral(ORVANTO_ARTWORK_DIR "/") + QLatin1String(name),
                         folder + u'/' + QLatin1String(name)))
            return false;
    }
    return true;
}

QStringList catalogueNames() {
    QStringList names;
    for (const Gadget& gadget : GadgetCatalogue)
        names << QString::fromLatin1(gadget.executable);
    return names;
}

// Ends the named gadgets when it goes, before the folder they run from.
class GadgetsEnd {
public:
    explicit GadgetsEnd(const QStringList& names) : m_names(names) {}
    ~GadgetsEnd() { endProcesses(runningProcesses(QSet<QString>(m_names.begin(), m_names.end()))); }
    GadgetsEnd(const GadgetsEnd&) = delete;
    GadgetsEnd& operator=(const GadgetsEnd&) = delete;

private:
    const QStringList& m_names;
};

struct WindowSearch {
    DWORD processId;
    HWND found = nullptr;
};

BOOL CALLBACK findPanel(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    wchar_t title[64] = {};
    ::GetWindowTextW(window, title, 64);
    RECT frame{};
    if (owner == search->processId && ::IsWindowVisible(window) &&
        QString::fromWCharArray(title) == u"Orvanto" && ::GetWindowRect(window, &frame) &&
        frame.right - frame.left == 641 && frame.bottom - frame.top == 584) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A click of the left button at a point of the screen, as the user makes it.
void clickAt(int x, int y) {
    const int width = ::GetSystemMetrics(SM_CXSCREEN) - 1;
    const int height = ::GetSystemMetrics(SM_CYSCREEN) - 1;
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = x * 65535 / width;
        input.mi.dy = y * 65535 / height;
    }
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &inputs[0], sizeof(INPUT));
    QTest::qWait(100);
    ::SendInput(2, &inputs[1], sizeof(INPUT));
    QTest::qWait(200);
}

// The real program, started as the Start menu starts it, and its panel.
struct Program {
    PROCESS_INFORMATION process{};
    HWND window = nullptr;

    ~Program() {
        if (process.hProcess) {
            ::TerminateProcess(process.hProcess, 1); // only when a test failed half-way
            ::WaitForSingleObject(process.hProcess, 5000);
            ::CloseHandle(process.hThread);
            ::CloseHandle(process.hProcess);
        }
    }

    // Starts it and waits (20 s at most) for its 641 x 584 window "Orvanto".
    bool start() {
        std::wstring command = L"\"" + QStringLiteral(ORVANTO_PROGRAM).toStdWString() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &process))
            return false;
        WindowSearch search{process.dwProcessId};
        QElapsedTimer waited;
        waited.start();
        while (!search.found && waited.elapsed() < 20000) {
            QTest::qWait(100);
            ::EnumWindows(findPanel, reinterpret_cast<LPARAM>(&search));
        }
        window = search.found;
        QTest::qWait(500); // its first frame
        return window != nullptr;
    }

    // A click at a point of the panel (its own coordinates).
    void click(int x, int y) {
        ::SetForegroundWindow(window);
        RECT frame{};
        ::GetWindowRect(window, &frame);
        clickAt(frame.left + x, frame.top + y);
    }

    // Sends the panel WM_CLOSE and waits (10 s at most) for the end; the
    // exit status, or a sentinel when it did not end.
    DWORD closeAndWait() {
        ::PostMessageW(window, WM_CLOSE, 0, 0);
        if (::WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
            return DWORD(-2);
        DWORD status = DWORD(-1);
        ::GetExitCodeProcess(process.hProcess, &status);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
        process = {};
        return status;
    }
};

} // namespace

class TestWindowsShell : public QObject {
    Q_OBJECT

private slots:
    void init() { QDir(settingsFolder()).removeRecursively(); }
    void cleanup() {
        endProcesses(runningProcesses(QSet<QString>(m_names.begin(), m_names.end())));
        QDir(settingsFolder()).removeRecursively();
    }

    // The launcher hands each ticked gadget to the shell, owned by the panel,
    // with the "\" the folder lacked; the shell starts them.
    void launcherStartsTickedGadgetsThroughTheShell() {
        QTemporaryDir gadgets;
        QVERIFY(gadgets.isValid());
        const GadgetsEnd ending(m_names);
        m_names = {u"Tarvelo.exe"_s, u"Mirendo.exe"_s, u"Varnelo.exe"_s};
        QVERIFY(fillGadgetsFolder(gadgets.path(), m_names));
        QtPlatform desktop;
        setStandardPlatform(&desktop);
        QWidget panel;
        panel.show();
        Settings Values;
        Values.DiretorioGadgets = QDir::toNativeSeparators(gadgets.path());
        std::array<bool, 13> checked{};
        checked[0] = checked[1] = checked[12] = true;
        IniciarGadgets(checked, Values.DiretorioGadgets, &panel);
        QCOMPARE(Values.DiretorioGadgets, QDir::toNativeSeparators(gadgets.path()) + u'\\');
        const auto started = waitForProcesses({u"Tarvelo.exe"_s, u"Mirendo.exe"_s, u"Varnelo.exe"_s});
        QCOMPARE(started.size(), 3);
        QVERIFY(runningProcesses({u"Calvoria.exe"_s}).isEmpty()); // not ticked, not there
        setStandardPlatform(nullptr);
    }

    // The real program: its 641 x 584 window, "Todos" ticked and "Iniciar
    // Gadgets" pressed with the mouse, and the 13 stand-ins start.
    void programWindowStartsAllGadgets() {
        QTemporaryDir gadgets;
        QVERIFY(gadgets.isValid());
        const GadgetsEnd ending(m_names);
        m_names = catalogueNames();
        QVERIFY(fillGadgetsFolder(gadgets.path(), m_names));
        QVERIFY(QDir().mkpath(settingsFolder()));
        QFile settings(settingsFilePath());
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[Configuracoes]\r\nDiretorioGadgets=" +
                       QDir::toNativeSeparators(gadgets.path()).toLocal8Bit() + "\r\n");
        settings.close();

        Program program;
        QVERIFY(program.start());
        program.click(68, 462);  // "Todos"
        program.click(320, 501); // "Iniciar Gadgets"
        const auto started = waitForProcesses(QSet<QString>(m_names.begin(), m_names.end()));
        QCOMPARE(started.size(), 13);
        QCOMPARE(program.closeAndWait(), DWORD(0));
    }

    // WM_CLOSE ("taskkill" without /F, a session's end) ends the program
    // cleanly, also while the settings dialog holds the panel blocked.
    void closeMessageEndsTheProgram_data() {
        QTest::addColumn<bool>("dialogOpen");
        QTest::newRow("panel alone") << false;
        QTest::newRow("settings dialog open") << true;
    }
    void closeMessageEndsTheProgram() {
        QFETCH(bool, dialogOpen);
        Program program;
        QVERIFY(program.start());
        if (dialogOpen) {
            program.click(532, 178); // "Configurações"
            QElapsedTimer waited;
            waited.start();
            while (::IsWindowEnabled(program.window) && waited.elapsed() < 10000)
                QTest::qWait(100);
            QVERIFY2(!::IsWindowEnabled(program.window), "the settings dialog did not block the panel");
        }
        QCOMPARE(program.closeAndWait(), DWORD(0));
    }

private:
    QStringList m_names;
};

QTEST_MAIN(TestWindowsShell)
#include "tst_windowsshell.moc"
