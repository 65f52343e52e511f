// The stand-in gadget: which gadget a name plays, what it reads from the
// settings file, the branch it finds in a real database, and its own
// section, which neither it nor the panel's saves may disturb.

#include "ErpDatabase.h"
#include "GadgetWindow.h"
#include "SilentListener.h"
#include "StandInGadget.h"
#include "TestSupport.h"
#include "settings/AtomicWrite.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "settings/ShownError.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

const QString Password = u"s3nha-que-nunca-aparece"_s;

// Writes section Configuracoes as the panel's save does.
void saveSettings(const QString& locRem, const QString& servidor, const QString& protocolo,
                  const QString& caminho, const QString& filial) {
    Values.LocRem = locRem;
    Values.Comp = u"0"_s;
    Values.Servidor = servidor;
    Values.Protocolo = protocolo;
    Values.CaminhoBanco = caminho;
    Values.Usuario = u"SYSDBA"_s;
    Values.Senha = Password;
    Values.DiretorioGadgets = u"/gadgets/"_s;
    Values.ModoPainel.clear();
    Values.Filial = filial;
    SalvaIni(Values);
}

QStringList sectionsOf(const QByteArray& content) {
    QStringList sections;
    const QRegularExpression header(u"^\\[([^\\]]+)\\]\\r?$"_s, QRegularExpression::MultilineOption);
    for (auto it = header.globalMatch(QString::fromUtf8(content)); it.hasNext();)
        sections << it.next().captured(1);
    return sections;
}

// Every text the window shows, tooltips and title included.
QString everythingShown(const QWidget& window) {
    QStringList texts{window.windowTitle()};
    for (const QLabel* label : window.findChildren<QLabel*>())
        texts << label->text() << label->toolTip();
    return texts.join(u'\n');
}

QLabel* statusOf(const QWidget& window) {
    return window.findChild<QLabel*>(u"status"_s);
}

} // namespace

class TestStandIn : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_erp;
    std::unique_ptr<ScratchHome> m_home;

    // The stand-in started from folder under a gadget's name, as the panel
    // starts one, with this case's home and no display.
    bool startAsGadget(QProcess& gadget, const QTemporaryDir& folder) {
        const QString name = folder.filePath(u"Tarvelo.exe"_s);
        if (!QFile::link(QStringLiteral(ORVANTO_GADGET_PROGRAM), name))
            return false;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"HOME"_s, m_home->path());
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        gadget.setProcessEnvironment(env);
        gadget.setProcessChannelMode(QProcess::ForwardedChannels);
        gadget.start(name, {});
        return gadget.waitForStarted();
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_erp = m_dir.filePath(u"erp.fdb"_s);
        createErpDatabase(m_erp, {{u"01"_s, u"Matriz São Paulo"_s, u"S"_s},
                                  {u"02"_s, u"Filial Campinas"_s, u"S"_s},
                                  {u"05"_s, u"Filial Sorocaba"_s, u"N"_s},
                                  {u"06"_s, u"Depósito Jundiaí"_s, std::nullopt}});
    }

    void init() {
        // A settings file of each case's own.
        m_home = std::make_unique<ScratchHome>();
    }
    // Before the next case's: each restores the HOME it found.
    void cleanup() { m_home.reset(); }

    void gadgetForProgram_data() {
        QTest::addColumn<QString>("argv0");
        QTest::addColumn<QString>("caption"); // empty: no gadget
        QTest::newRow("full path, first row")
            << u"/home/u/Morvelt/Gadgets VUX/Tarvelo.exe"_s << u"Produtos Mais Vendidos"_s;
        QTest::newRow("last row") << u"Varnelo.exe"_s << u"Índice de Inadimplência"_s;
        QTest::newRow("letter case") << u"./CALVORIA.EXE"_s << u"Produtos em Ponto Crítico"_s;
        QTest::newRow("without .exe") << u"Mirendo"_s << u"Saldo Disponível/Circulante"_s;
        QTest::newRow("own name") << u"/usr/libexec/orvanto/orvanto-gadget"_s << QString();
        QTest::newRow("longer name") << u"Tarvelo.exe.old"_s << QString();
        QTest::newRow("name as a folder") << u"/x/Tarvelo.exe/other"_s << QString();
        QTest::newRow("empty") << QString() << QString();
    }
    void gadgetForProgram() {
        QFETCH(QString, argv0);
        QFETCH(QString, caption);
        const Gadget* gadget = ::gadgetForProgram(argv0);
        QCOMPARE(gadget ? QString::fromUtf8(gadget->caption) : QString(), caption);
    }

    void everyCatalogueNameHasItsOwnSection() {
        QStringList sections;
        for (const Gadget& gadget : GadgetCatalogue) {
            QCOMPARE(::gadgetForProgram(QString::fromUtf8(gadget.executable)), &gadget);
            sections << gadgetSection(gadget);
        }
        QCOMPARE(sections.first(), u"Tarvelo"_s);
        QCOMPARE(sections.removeDuplicates(), 0);
        QVERIFY(!sections.contains(SettingsSection, Qt::CaseInsensitive));
    }

    void readsWhatThePanelSaved_data() {
        QTest::addColumn<QString>("locRem");
        QTest::addColumn<QString>("servidor");
        QTest::addColumn<QString>("protocolo");
        QTest::addColumn<QString>("caminho");
        QTest::addColumn<QString>("databaseName");
        QTest::newRow("local") << u"L"_s << QString() << QString() << u"/dados/erp.fdb"_s
                               << u"/dados/erp.fdb"_s;
        QTest::newRow("tcp") << u"R"_s << u"10.0.0.5"_s << u"0"_s << u"/dados/erp.fdb"_s
                             << u"10.0.0.5:/dados/erp.fdb"_s;
        QTest::newRow("server by name")
            << u"L"_s << u"srv"_s << u"-1"_s << u"srv:/dados/erp.fdb"_s << u"srv:/dados/erp.fdb"_s;
        QTest::newRow("remote, no protocol")
            << u"R"_s << u"10.0.0.5"_s << u"-1"_s << u"/dados/erp.fdb"_s << QString();
    }
    void readsWhatThePanelSaved() {
        QFETCH(QString, locRem);
        QFETCH(QString, servidor);
        QFETCH(QString, protocolo);
        QFETCH(QString, caminho);
        QFETCH(QString, databaseName);
        saveSettings(locRem, servidor, protocolo, caminho, u"02"_s);
        const GadgetSettings read = readGadgetSettings(settingsFilePath());
        QVERIFY(read.fileFound);
        QCOMPARE(read.databaseName, databaseName);
        QCOMPARE(read.user, u"SYSDBA"_s);
        QCOMPARE(read.password, Password);
        QCOMPARE(read.branch, u"02"_s);
    }

    void noSettingsFile() {
        const GadgetSettings read = readGadgetSettings(settingsFilePath());
        QVERIFY(!read.fileFound);
        QVERIFY(read.databaseName.isEmpty());
    }

    void branchLookup_data() {
        QTest::addColumn<QString>("branch");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("name");
        QTest::newRow("active") << u"02"_s << true << u"Filial Campinas"_s;
        QTest::newRow("accented name") << u"01"_s << true << u"Matriz São Paulo"_s;
        QTest::newRow("inactive still named") << u"05"_s << true << u"Filial Sorocaba"_s;
        QTest::newRow("unknown code") << u"99"_s << false << QString();
        QTest::newRow("code cut with a blank") << u"1 "_s << false << QString();
    }
    void branchLookup() {
        QFETCH(QString, branch);
        QFETCH(bool, found);
        QFETCH(QString, name);
        GadgetSettings settings{true, m_erp, u"SYSDBA"_s, Password, branch};
        const auto result = lookupBranchName(settings);
        QCOMPARE(result.has_value(), found);
        if (found)
            QCOMPARE(*result, name);
    }

    // The gadgets' turn at a database file is a lock in the user's own
    // settings folder, never under a name that another user could take
    // first in a shared folder: a turn held there makes a lookup wait.
    void databaseTurnLivesInTheUsersFolder() {
        QVERIFY(QDir().mkpath(settingsFolder()));
        const QByteArray key =
            QCryptographicHash::hash(m_erp.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
        FileLock held;
        QCOMPARE(
            held.acquire(settingsFolder() + u"/.orvanto-gadget-"_s + QString::fromLatin1(key) + u".lock"_s,
                         std::chrono::milliseconds(0)),
            FileLock::Result::Locked);
        std::atomic<bool> finished{false};
        std::thread lookup([&] {
            try {
                lookupBranchName(GadgetSettings{true, m_erp, u"SYSDBA"_s, Password, u"01"_s});
            } catch (const ShownError&) {
            }
            finished = true;
        });
        QTest::qWait(700);
        const bool waited = !finished;
        held = FileLock(); // the other gadget's turn ends
        lookup.join();
        QVERIFY2(waited, "the lookup did not wait for the turn held in the settings folder");
        QVERIFY(finished);
    }

    void branchLookupFailuresCarryTheClientText_data() {
        QTest::addColumn<bool>("withTable");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no database file") << false << u"erp-missing.fdb"_s;
        QTest::newRow("no table FILIAIS") << true << u"FILIAIS"_s;
    }
    void branchLookupFailuresCarryTheClientText() {
        QFETCH(bool, withTable);
        QFETCH(QString, expected);
        QString path = m_dir.filePath(u"erp-missing.fdb"_s);
        if (withTable) {
            path = m_dir.filePath(u"erp-without-table.fdb"_s);
            createErpDatabase(path, {}, false);
        }
        GadgetSettings settings{true, path, u"SYSDBA"_s, Password, u"01"_s};
        try {
            lookupBranchName(settings);
            QFAIL("the lookup should have failed");
        } catch (const ShownError& error) {
            QVERIFY2(error.text().contains(expected), qPrintable(error.text()));
        }
    }

    void windowShowsTheSettingsAndBranchButNeverThePassword() {
        saveSettings(u"L"_s, QString(), QString(), m_erp, u"02"_s);
        GadgetWindow window(&GadgetCatalogue[0], u"Tarvelo.exe"_s, settingsFilePath());
        window.show();
        QCOMPARE(window.windowTitle(), u"Produtos Mais Vendidos"_s);
        QTRY_VERIFY_WITH_TIMEOUT(
            !window.lookupRunning() && statusOf(window)->text() == u"Banco de dados aberto."_s, 20000);
        const QString shown = everythingShown(window);
        QVERIFY2(shown.contains(u"02 - Filial Campinas"_s), qPrintable(shown));
        QVERIFY(shown.contains(u"SYSDBA"_s));
        QVERIFY(!shown.contains(Password));
        QVERIFY(!shown.contains(u"s3nha"_s));
        // What it showed is kept in its own section.
        IniFile ini(settingsFilePath());
        QCOMPARE(ini.read(u"Tarvelo"_s, LastBranchKey), u"02 - Filial Campinas"_s);
    }

    void windowReportsAnUnopenableDatabase() {
        const QString missing = m_dir.filePath(u"nowhere.fdb"_s);
        saveSettings(u"L"_s, QString(), QString(), missing, u"02"_s);
        GadgetWindow window(&GadgetCatalogue[1], u"Mirendo.exe"_s, settingsFilePath());
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(!window.lookupRunning() && statusOf(window)->text().startsWith(
                                                                u"Não foi possível abrir o banco de dados"_s),
                                 20000);
        QVERIFY(statusOf(window)->text().contains(u"nowhere.fdb"_s));
        QVERIFY(!everythingShown(window).contains(Password));
    }

    // A gadget that cannot read the database shows the whole error text
    // below its picture: the window grows to hold it, nothing is drawn over
    // the picture, and no two texts cover each other.
    void errorTextLeavesThePictureWhole_data() {
        QTest::addColumn<QString>("database"); // "missing", "without table"; empty: no settings file
        QTest::addColumn<QString>("status");
        QTest::newRow("database file missing")
            << u"missing"_s << u"Não foi possível abrir o banco de dados"_s;
        QTest::newRow("no table FILIAIS")
            << u"without table"_s << u"Não foi possível abrir o banco de dados"_s;
        QTest::newRow("no settings file") << QString() << u"Configurações não encontradas"_s;
    }
    void errorTextLeavesThePictureWhole() {
        QFETCH(QString, database);
        QFETCH(QString, status);
        if (database == u"missing"_s) {
            saveSettings(u"L"_s, QString(), QString(),
                         m_dir.filePath(u"a-folder-that-is-not-there/erp.fdb"_s), u"02"_s);
        } else if (database == u"without table"_s) {
            const QString path = m_dir.filePath(u"erp-no-branches.fdb"_s);
            if (!QFile::exists(path))
                createErpDatabase(path, {}, false);
            saveSettings(u"L"_s, QString(), QString(), path, u"02"_s);
        }
        GadgetWindow window(&GadgetCatalogue[0], u"Tarvelo.exe"_s, settingsFilePath());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY_WITH_TIMEOUT(!window.lookupRunning() && statusOf(window)->text().startsWith(status),
                                 20000);
        QTest::qWait(50); // the grown window's layout

        // Every text whole, inside the window, covering no other.
        QList<std::pair<QString, QRect>> texts;
        for (QLabel* label : window.findChildren<QLabel*>()) {
            if (!label->isVisible())
                continue;
            const QRect shown(label->mapTo(&window, QPoint(0, 0)), label->size());
            QVERIFY2(window.rect().contains(shown), qPrintable(label->objectName() + u" "_s + label->text()));
            if (label->wordWrap())
                QVERIFY2(label->height() >= label->heightForWidth(label->width()), qPrintable(label->text()));
            for (const auto& [other, where] : texts)
                QVERIFY2(!where.intersects(shown), qPrintable(other + u"\n  covers\n"_s + label->text()));
            texts.append({label->text().isEmpty() ? label->objectName() : label->text(), shown});
        }

        // The picture in the window is the picture alone: nothing drawn over it.
        QLabel* preview = window.findChild<QLabel*>(u"preview"_s);
        QVERIFY(preview && !preview->pixmap().isNull());
        const QRect inside = preview->rect().adjusted(5, 5, -5, -5); // clear of the rounded border
        const QImage alone = preview->grab(inside).toImage().convertToFormat(QImage::Format_RGB32);
        const QImage inWindow = window.grab(inside.translated(preview->mapTo(&window, QPoint(0, 0))))
                                    .toImage()
                                    .convertToFormat(QImage::Format_RGB32);
        QCOMPARE(inWindow.size(), alone.size());
        QVERIFY2(inWindow == alone, "something is drawn over the gadget's picture");
    }

    void positionGoesToTheGadgetsOwnSectionOnly() {
        // A file as a panel and another gadget left it, comment included.
        saveSettings(u"L"_s, QString(), QString(), m_erp, u"01"_s);
        const QString path = settingsFilePath();
        QByteArray before = readFile(path) + "[Mirendo]\r\n; ultima abertura\r\nLeft=5\r\nTop=6\r\n";
        writeFile(path, before);

        QVERIFY(saveWindowPosition(path, u"Tarvelo"_s, {120, -40}));
        const QByteArray after = readFile(path);
        QVERIFY2(after.startsWith(before), after.constData()); // nothing before it moved by a byte
        QCOMPARE(readWindowPosition(path, u"Tarvelo"_s), std::optional<QPoint>(QPoint(120, -40)));
        QCOMPARE(readWindowPosition(path, u"Mirendo"_s), std::optional<QPoint>(QPoint(5, 6)));

        // The same place again writes nothing.
        QVERIFY(!saveWindowPosition(path, u"Tarvelo"_s, {120, -40}));
        QCOMPARE(readFile(path), after);

        // A panel's save keeps the section whole.
        Values.Filial = u"02"_s;
        SalvaIni(Values);
        const QByteArray saved = readFile(path);
        QVERIFY(saved.contains("[Mirendo]\r\n; ultima abertura\r\nLeft=5\r\nTop=6\r\n"));
        QVERIFY(saved.contains("[Tarvelo]\r\nLeft=120\r\nTop=-40\r\n"));
        QCOMPARE(readGadgetSettings(path).branch, u"02"_s);
    }

    void noSettingsFileIsNeverCreatedByAGadget() {
        QVERIFY(!saveWindowPosition(settingsFilePath(), u"Tarvelo"_s, {1, 2}));
        QVERIFY(!QFile::exists(settingsFilePath()));
        QVERIFY(!QFile::exists(settingsFolder()));

        GadgetWindow window(&GadgetCatalogue[0], u"Tarvelo.exe"_s, settingsFilePath());
        window.show();
        window.move(window.pos() + QPoint(10, 10));
        window.close();
        QVERIFY(!QFile::exists(settingsFilePath()));
        QVERIFY(statusOf(window)->text().startsWith(u"Configurações não encontradas"_s));
    }

    void storedPositionIsWhereTheWindowOpens() {
        saveSettings(u"L"_s, QString(), QString(), m_erp, u"01"_s);
        QVERIFY(saveWindowPosition(settingsFilePath(), u"Fendoral"_s, {64, 48}));
        GadgetWindow window(&GadgetCatalogue[5], u"Fendoral.exe"_s, settingsFilePath());
        QCOMPARE(window.pos(), QPoint(64, 48));
        // A lookup still running would hand its open database file to the
        // programs this process starts next.
        QTRY_VERIFY(!window.lookupRunning());
    }

    // A gadget ends on SIGTERM (a session's logout), SIGINT and SIGHUP with
    // status 0: after it has used the database client (whose library takes
    // these signals for itself), and while its lookup still waits on a
    // server that never answers.
    void signalsEndTheGadget_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("waiting");
        for (const auto& [name, number] :
             {std::pair{"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}, {"SIGHUP", SIGHUP}}) {
            QTest::addRow("%s after the lookup", name) << number << false;
            QTest::addRow("%s during the lookup", name) << number << true;
        }
    }
    void signalsEndTheGadget() {
        QFETCH(int, signal);
        QFETCH(bool, waiting);
        const SilentListener silent;
        if (waiting) {
            saveSettings(u"R"_s, silent.hostPort(), u"0"_s, u"/dados/erp.fdb"_s, u"01"_s);
        } else {
            saveSettings(u"L"_s, QString(), QString(), m_erp, u"01"_s);
        }
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QProcess gadget;
        QVERIFY(startAsGadget(gadget, folder));
        auto stop = qScopeGuard([&] {
            gadget.kill();
            gadget.waitForFinished();
        });
        if (waiting) {
            QTest::qWait(1000); // connected to the listener, waiting for its answer
        } else {
            // The branch it read is saved in its section: the client is loaded.
            QTRY_VERIFY_WITH_TIMEOUT(IniFile(settingsFilePath()).read(u"Tarvelo"_s, LastBranchKey) ==
                                         u"01 - Matriz São Paulo"_s,
                                     20000);
            QTest::qWait(200);
        }
        QCOMPARE(gadget.state(), QProcess::Running);
        QCOMPARE(::kill(pid_t(gadget.processId()), signal), 0);
        QVERIFY2(gadget.waitForFinished(10000), "the gadget did not end");
        QCOMPARE(gadget.exitStatus(), QProcess::NormalExit);
        QCOMPARE(gadget.exitCode(), 0);
    }

    // A gadget ends within the panel's bound on SIGTERM while another
    // program holds the settings lock: its saves (the window's position,
    // the branch it found) give up their waits at the end request instead
    // of running out the lock's bound one after the other.
    void endsAtOnceWhileAnotherProgramHoldsTheLock() {
        saveSettings(u"L"_s, QString(), QString(), m_erp, u"01"_s);
        const QByteArray before = readFile(settingsFilePath());
        FileLock held;
        QCOMPARE(held.acquire(IniFile::lockPathFor(settingsFilePath()), std::chrono::milliseconds(0)),
                 FileLock::Result::Locked);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QProcess gadget;
        QVERIFY(startAsGadget(gadget, folder));
        auto stop = qScopeGuard([&] {
            gadget.kill();
            gadget.waitForFinished();
        });
        QTest::qWait(1500); // shown, its position save waiting for the lock
        QCOMPARE(gadget.state(), QProcess::Running);
        QElapsedTimer ending;
        ending.start();
        QCOMPARE(::kill(pid_t(gadget.processId()), SIGTERM), 0);
        QVERIFY2(gadget.waitForFinished(5000), "the gadget did not end within 5 s");
        qInfo("ended %lld ms after SIGTERM", qint64(ending.elapsed()));
        QCOMPARE(gadget.exitStatus(), QProcess::NormalExit);
        QCOMPARE(gadget.exitCode(), 0);
        QCOMPARE(readFile(settingsFilePath()), before); // nothing written without the lock
    }

    void thirteenGadgetsStartedTogetherKeepTheirSections() {
        saveSettings(u"L"_s, QString(), QString(), m_erp, u"01"_s);
        const QByteArray configuracoes = readFile(settingsFilePath());
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"HOME"_s, m_home->path());
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        std::vector<std::unique_ptr<QProcess>> gadgets;
        for (const Gadget& gadget : GadgetCatalogue) {
            const QString name = folder.filePath(QString::fromUtf8(gadget.executable));
            QVERIFY(QFile::link(QStringLiteral(ORVANTO_GADGET_PROGRAM), name));
            auto process = std::make_unique<QProcess>();
            process->setProcessEnvironment(env);
            process->setProcessChannelMode(QProcess::ForwardedChannels);
            process->start(name, {});
            gadgets.push_back(std::move(process));
        }
        auto stopAll = qScopeGuard([&] {
            for (auto& process : gadgets) {
                process->kill();
                process->waitForFinished();
            }
        });
        for (auto& process : gadgets)
            QVERIFY(process->waitForStarted());

        // Every gadget has placed its window and, one after the other since
        // the embedded engine lets one process at a time open the file, read
        // its branch.
        auto allSections = [&] {
            const QByteArray content = readFile(settingsFilePath());
            IniFile ini(settingsFilePath());
            for (const Gadget& gadget : GadgetCatalogue) {
                if (!readWindowPosition(settingsFilePath(), gadgetSection(gadget)) ||
                    ini.read(gadgetSection(gadget), LastBranchKey) != u"01 - Matriz São Paulo"_s)
                    return false;
            }
            return content.startsWith(configuracoes);
        };
        QTRY_VERIFY_WITH_TIMEOUT(allSections(), 30000);
        for (auto& process : gadgets)
            QCOMPARE(process->state(), QProcess::Running); // none fell over on the way
        stopAll.dismiss();
        for (auto& process : gadgets) {
            process->kill();
            process->waitForFinished();
        }
        QStringList expected{SettingsSection};
        for (const Gadget& gadget : GadgetCatalogue)
            expected << gadgetSection(gadget);
        QStringList sections = sectionsOf(readFile(settingsFilePath()));
        QCOMPARE(sections.size(), 14); // no section twice
        sections.sort();
        expected.sort();
        QCOMPARE(sections, expected);
    }
};

ORVANTO_TEST_MAIN(TestStandIn)
#include "tst_standin.moc"
