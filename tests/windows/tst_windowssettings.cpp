// The settings file of the Windows build against the system's own profile
// functions (GetPrivateProfileStringW / WritePrivateProfileStringW), the
// lock and the replace, the client library's absence and the alias file of
// the registered Firebird installation. Run under Wine.

#include "database/Alias.h"
#include "database/FbClient.h"
#include "database/FirebirdInstallation.h"
#include "settings/AtomicWrite.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "settings/ShownError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <windows.h>

#include <thread>

using namespace Qt::StringLiterals;

namespace {

std::wstring wide(const QString& text) {
    return text.toStdWString();
}

QString profileString(const QString& section, const QString& key) {
    wchar_t buffer[4096] = {};
    ::GetPrivateProfileStringW(wide(section).c_str(), wide(key).c_str(), L"<none>", buffer, 4096,
                               wide(settingsFilePath()).c_str());
    return QString::fromWCharArray(buffer);
}

bool writeProfileString(const QString& section, const QString& key, const QString& value) {
    return ::WritePrivateProfileStringW(wide(section).c_str(), wide(key).c_str(), wide(value).c_str(),
                                        wide(settingsFilePath()).c_str()) != 0;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Settings Values;

void clearValues() {
    Values = Settings{};
}

} // namespace

class TestWindowsSettings : public QObject {
    Q_OBJECT

private slots:
    // Every test starts without the settings folder (the Wine prefix is the
    // test run's own, so this is no user's file).
    void init() {
        QDir(settingsFolder()).removeRecursively();
        clearValues();
    }
    void cleanupTestCase() { QDir(settingsFolder()).removeRecursively(); }

    void placesAreTheInstallationsOwn() {
        QCOMPARE(settingsFilePath(), u"C:\\TempVUX\\ConfigGadGet.Ini"_s);
        QCOMPARE(defaultGadgetsFolder(), u"C:\\Morvelt\\Gadgets VUX"_s);
        QCOMPARE(WithFolderSeparator(u"C:\\Gadgets"_s), u"C:\\Gadgets\\"_s);
        QCOMPARE(WithFolderSeparator(u"C:\\Gadgets\\"_s), u"C:\\Gadgets\\"_s);
    }

    void saveIsReadByProfileFunctions_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("profileRead"); // what the profile functions give back
        QTest::newRow("plain") << u"SYSDBA"_s << u"SYSDBA"_s;
        QTest::newRow("accents") << u"Filial São João - Administração"_s
                                 << u"Filial São João - Administração"_s;
        QTest::newRow("path") << u"C:\\Bases de Dados\\Ação\\valdore.fdb"_s
                              << u"C:\\Bases de Dados\\Ação\\valdore.fdb"_s;
        // The profile functions drop a pair of quotes around a value; the
        // program keeps them, and reads back what it wrote.
        QTest::newRow("quoted") << u"\"senha com espaço\""_s << u"senha com espaço"_s;
    }
    void saveIsReadByProfileFunctions() {
        QFETCH(QString, value);
        QFETCH(QString, profileRead);
        Values.CaminhoBanco = value;
        Values.Usuario = u"SYSDBA"_s;
        SalvaIni(Values);
        QCOMPARE(profileString(SettingsSection, u"CaminhoBanco"_s), profileRead);
        Values.CaminhoBanco.clear();
        CarregaConfig(Values);
        QCOMPARE(Values.CaminhoBanco, value);
        QCOMPARE(profileString(SettingsSection, u"Usuario"_s), u"SYSDBA"_s);
        // The file is in the ANSI code page, as the gadgets read it.
        const std::wstring text = wide(value);
        char ansi[1024] = {};
        const int n = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), int(text.size()), ansi, sizeof ansi,
                                            nullptr, nullptr);
        QVERIFY(n > 0);
        QVERIFY(fileBytes(settingsFilePath()).contains(QByteArray(ansi, n)));
        if (value.contains(u'ã'))
            QVERIFY(!fileBytes(settingsFilePath()).contains(value.toUtf8()));
    }

    void profileWritesAreLoaded() {
        QVERIFY(QDir().mkpath(settingsFolder()));
        QVERIFY(writeProfileString(SettingsSection, u"CaminhoBanco"_s, u"C:\\Dados\\Preço.fdb"_s));
        QVERIFY(writeProfileString(SettingsSection, u"Usuario"_s, u"JOÃO"_s));
        QVERIFY(writeProfileString(SettingsSection, u"DiretorioGadgets"_s, u"C:\\Morvelt\\Gadgets VUX\\"_s));
        CarregaConfig(Values);
        QCOMPARE(Values.CaminhoBanco, u"C:\\Dados\\Preço.fdb"_s);
        QCOMPARE(Values.Usuario, u"JOÃO"_s);
        QCOMPARE(Values.DiretorioGadgets, u"C:\\Morvelt\\Gadgets VUX\\"_s);
    }

    // A gadget's own section, written by the profile functions, survives a
    // save; and the save's entries survive a gadget's write after it.
    void saveAndGadgetWritesKeepEachOther() {
        QVERIFY(QDir().mkpath(settingsFolder()));
        QVERIFY(writeProfileString(u"Tarvelo"_s, u"Left"_s, u"120"_s));
        Values.Senha = u"quillvane"_s;
        SalvaIni(Values);
        QVERIFY(writeProfileString(u"Mirendo"_s, u"Top"_s, u"40"_s));
        QCOMPARE(profileString(u"Tarvelo"_s, u"Left"_s), u"120"_s);
        QCOMPARE(profileString(u"Mirendo"_s, u"Top"_s), u"40"_s);
        QCOMPARE(profileString(SettingsSection, u"Senha"_s), u"quillvane"_s);
        clearValues();
        CarregaConfig(Values);
        QCOMPARE(Values.Senha, u"quillvane"_s);
    }

    // The profile functions hold the file unshared while they write it: the
    // replace waits until the writer lets go, instead of failing at once or
    // cutting the writer off.
    void replaceWaitsForAnUnsharedWriter() {
        QVERIFY(QDir().mkpath(settingsFolder()));
        QFile seed(settingsFilePath());
        QVERIFY(seed.open(QIODevice::WriteOnly));
        seed.write("[Configuracoes]\r\nUsuario=A\r\n");
        seed.close();
        HANDLE held = ::CreateFileW(wide(settingsFilePath()).c_str(), GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        QVERIFY(held != INVALID_HANDLE_VALUE);
        std::thread writer([held] {
            ::Sleep(400);
            ::CloseHandle(held);
        });
        QElapsedTimer waited;
        waited.start();
        const bool replaced = writeFileAtomically(settingsFilePath(), "[Configuracoes]\r\nUsuario=B\r\n");
        const qint64 elapsed = waited.elapsed();
        writer.join();
        QVERIFY(replaced);
        QVERIFY2(elapsed >= 300, qPrintable(QString::number(elapsed)));
        QCOMPARE(profileString(SettingsSection, u"Usuario"_s), u"B"_s);
    }

    void readOnlyFileIsLeftAlone() {
        QVERIFY(QDir().mkpath(settingsFolder()));
        const QByteArray before = "[Configuracoes]\r\nUsuario=A\r\n";
        QFile seed(settingsFilePath());
        QVERIFY(seed.open(QIODevice::WriteOnly));
        seed.write(before);
        seed.close();
        QVERIFY(::SetFileAttributesW(wide(settingsFilePath()).c_str(), FILE_ATTRIBUTE_READONLY));
        Values.Usuario = u"B"_s;
        QVERIFY_THROWS_EXCEPTION(ShownError, SalvaIni(Values));
        QVERIFY(::SetFileAttributesW(wide(settingsFilePath()).c_str(), FILE_ATTRIBUTE_NORMAL));
        QCOMPARE(fileBytes(settingsFilePath()), before);
    }

    // The lock is the same protocol as on Linux: one holder at a time, a
    // bounded wait, and a holder's end frees it.
    void lockFileIsExclusive() {
        QVERIFY(QDir().mkpath(settingsFolder()));
        const QString lockPath = IniFile::lockPathFor(settingsFilePath());
        auto first = std::make_unique<FileLock>();
        QCOMPARE(first->acquire(lockPath, std::chrono::milliseconds(1000)), FileLock::Result::Locked);
        FileLock second;
        QString why;
        QCOMPARE(second.acquire(lockPath, std::chrono::milliseconds(100), &why), FileLock::Result::TimedOut);
        QVERIFY(why.contains(lockPath));
        first.reset();
        QCOMPARE(second.acquire(lockPath, std::chrono::milliseconds(1000)), FileLock::Result::Locked);
    }

    // A save that waits for the lock does not write: the file keeps the
    // holder's state until the holder is done.
    void saveWaitsForTheLock() {
        QVERIFY(QDir().mkpath(settingsFolder()));
        FileLock holder;
        QCOMPARE(holder.acquire(IniFile::lockPathFor(settingsFilePath()), std::chrono::milliseconds(1000)),
                 FileLock::Result::Locked);
        const auto saved = SettingsLockTimeout;
        SettingsLockTimeout = std::chrono::milliseconds(200);
        Values.Usuario = u"B"_s;
        QVERIFY_THROWS_EXCEPTION(ShownError, SalvaIni(Values));
        SettingsLockTimeout = saved;
        QVERIFY(!QFile::exists(settingsFilePath()));
    }

    // A wait for the lock ends as soon as the holder lets go, and the lock
    // is then the waiter's: no other handle takes it until it is let go. A
    // waiter that gave up keeps nothing once the holder is gone.
    void lockWaitEndsWhenTheHolderLetsGo() {
        QVERIFY(QDir().mkpath(settingsFolder()));
        const QString lockPath = IniFile::lockPathFor(settingsFilePath());
        auto holder = std::make_unique<FileLock>();
        QCOMPARE(holder->acquire(lockPath, std::chrono::milliseconds(0)), FileLock::Result::Locked);
        FileLock gaveUp;
        QCOMPARE(gaveUp.acquire(lockPath, std::chrono::milliseconds(100)), FileLock::Result::TimedOut);
        std::thread letGo([&holder] {
            ::Sleep(300);
            holder.reset();
        });
        FileLock waiter;
        QElapsedTimer waited;
        waited.start();
        const FileLock::Result result = waiter.acquire(lockPath, std::chrono::seconds(20));
        const qint64 elapsed = waited.elapsed();
        letGo.join();
        QCOMPARE(result, FileLock::Result::Locked);
        QVERIFY2(elapsed < 10000, qPrintable(QString::number(elapsed)));
        FileLock other;
        QCOMPARE(other.acquire(lockPath, std::chrono::milliseconds(0)), FileLock::Result::TimedOut);
        waiter = FileLock();
        QCOMPARE(other.acquire(lockPath, std::chrono::seconds(10)), FileLock::Result::Locked);
    }

    // The wait for another program's write wakes when the file is written.
    void fileWatchSeesAWrite() {
        QVERIFY(QDir().mkpath(settingsFolder()));
        QVERIFY(writeProfileString(u"Tarvelo"_s, u"Left"_s, u"1"_s));
        FileWatch watch(settingsFilePath());
        QElapsedTimer waited;
        waited.start();
        QCOMPARE(watch.wait(std::chrono::steady_clock::now() + std::chrono::milliseconds(300)),
                 FileWatch::Result::TimedOut);
        QVERIFY2(waited.elapsed() >= 300, qPrintable(QString::number(waited.elapsed())));
        std::thread writer([] {
            ::Sleep(300);
            writeProfileString(u"Tarvelo"_s, u"Left"_s, u"120"_s);
        });
        waited.restart();
        const FileWatch::Result result =
            watch.wait(std::chrono::steady_clock::now() + std::chrono::seconds(20));
        const qint64 elapsed = waited.elapsed();
        writer.join();
        QCOMPARE(result, FileWatch::Result::Changed);
        QVERIFY2(elapsed < 10000, qPrintable(QString::number(elapsed)));
    }

    // What a killed save left behind (it may hold the password) goes with
    // the next save; a fresh one may belong to a save still running.
    void leftoverTemporaryFilesAreRemoved() {
        QVERIFY(QDir().mkpath(settingsFolder()));
        const QString stale = settingsFolder() + u"\\.ConfigGadGet.Ini.abc123.saving"_s;
        const QString fresh = settingsFolder() + u"\\.ConfigGadGet.Ini.def456.saving"_s;
        for (const QString& path : {stale, fresh}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("Senha=old\r\n");
        }
        HANDLE file =
            ::CreateFileW(wide(stale).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        QVERIFY(file != INVALID_HANDLE_VALUE);
        FILETIME now;
        ::GetSystemTimeAsFileTime(&now);
        ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
        t.QuadPart -= 5ULL * 60 * 10'000'000ULL; // five minutes ago
        const FILETIME old{t.LowPart, t.HighPart};
        QVERIFY(::SetFileTime(file, nullptr, nullptr, &old));
        ::CloseHandle(file);
        Values.Usuario = u"B"_s;
        SalvaIni(Values);
        QVERIFY(!QFile::exists(stale));
        QVERIFY(QFile::exists(fresh));
    }

    // No client library on this machine: the connection reports what it
    // tried, the old name first.
    void missingClientLibraryNamesWhatWasTried() {
        QCOMPARE(fb::LibraryName, u"gds32.dll"_s);
        try {
            fb::load();
            QFAIL("a client library was found");
        } catch (const ShownError& error) {
            const QString text = errorText(error);
            QVERIFY2(text.contains(u"gds32.dll, fbclient.dll"_s), qPrintable(text));
            QVERIFY2(text.contains(u"not found"_s), qPrintable(text));
        }
    }

    // The alias file is the databases.conf of the installation that the
    // registry names as the default instance.
    void aliasFileOfTheRegisteredInstallation() {
        const wchar_t* key = L"SOFTWARE\\Firebird Project\\Firebird Server\\Instances";
        const QString root = u"C:\\FirebirdTeste"_s;
        QVERIFY(QDir().mkpath(root));
        QFile conf(root + u"\\databases.conf"_s);
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("# aliases\r\nVALDORE = C:\\Dados\\valdore.fdb\r\n");
        conf.close();
        const std::wstring folder = wide(root + u"\\"_s);
        QCOMPARE(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, L"DefaultInstance", REG_SZ, folder.c_str(),
                                   DWORD((folder.size() + 1) * sizeof(wchar_t))),
                 LONG(ERROR_SUCCESS));
        const QString found = registeredAliasFile();
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key, L"DefaultInstance");
        QCOMPARE(found, u"C:\\FirebirdTeste\\databases.conf"_s);
        const QString saved = AliasFilePath;
        AliasFilePath = found;
        const QString path = retornaCaminho(u"valdore"_s);
        AliasFilePath = saved;
        QDir(root).removeRecursively();
        QCOMPARE(path, u"C:\\Dados\\valdore.fdb"_s);
        QCOMPARE(registeredAliasFile(), QString()); // no installation registered
    }

    // The program's end while a save waits for another program: the waits
    // end at once, and every later one too. Last, as it ends them for good.
    void endRequestEndsTheWaits() {
        QVERIFY(QDir().mkpath(settingsFolder()));
        const QString lockPath = IniFile::lockPathFor(settingsFilePath());
        FileLock holder;
        QCOMPARE(holder.acquire(lockPath, std::chrono::milliseconds(0)), FileLock::Result::Locked);
        std::thread ending([] {
            ::Sleep(300);
            endFileWaits();
        });
        FileLock waiter;
        QString why;
        QElapsedTimer waited;
        waited.start();
        const FileLock::Result result = waiter.acquire(lockPath, std::chrono::seconds(20), &why);
        const qint64 elapsed = waited.elapsed();
        ending.join();
        QCOMPARE(result, FileLock::Result::GaveUp);
        QCOMPARE(why, FileLock::endingReason());
        QVERIFY2(elapsed < 10000, qPrintable(QString::number(elapsed)));
        FileWatch watch(settingsFilePath());
        QCOMPARE(watch.wait(std::chrono::steady_clock::now() + std::chrono::seconds(20)),
                 FileWatch::Result::Ended);
        holder = FileLock();
        QCOMPARE(waiter.acquire(lockPath, std::chrono::seconds(1)), FileLock::Result::GaveUp);
    }
};

QTEST_GUILESS_MAIN(TestWindowsSettings)
#include "tst_windowssettings.moc"
