// The program's end on SIGTERM (a session's logout), SIGINT and SIGHUP:
// status 0, also once the database client library is loaded (it takes
// these signals for itself) and while a database call still waits. Each
// case runs a child copy of this program with the panel's own start-up
// pieces: the signal handling, the database client and the painting wait.

#include "ErpDatabase.h"
#include "FirebirdServer.h"
#include "SilentListener.h"
#include "StallingProxy.h"
#include "TestSupport.h"
#include "app/BusyWait.h"
#include "database/Database.h"
#include "database/FbClient.h"
#include "platform/EndSignals.h"

#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <sys/resource.h>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

void say(const char* what) {
    std::printf("%s\n", what);
    std::fflush(stdout);
}

// The child: "idle" (no client loaded), "loaded" (the client has opened a
// database and let it go) or "waiting" (an opening waits on a server that
// never answers). It reports "ready", then runs the event loop.
int runChild(const QByteArray& mode, const QString& database) {
    int argc = 1;
    char name[] = "tst_endsignals";
    char* argv[] = {name, nullptr};
    OrvantoApplication app(argc, argv);
    endOnSignals(app);
    fb::setSignalForwarder(requestEnd);
    setBlockingCallRunner(runWhilePainting);
    QTimer::singleShot(0, &app, [&] {
        TTransaction transaction;
        TDatabase connection;
        connection.DatabaseName = database;
        connection.Params = ConnectionParams(u"SYSDBA"_s, u"masterkey"_s);
        if (mode == "loaded") {
            connection.Open();
            connection.Close();
        }
        say("ready");
        if (mode == "waiting") {
            try {
                connection.Open();
            } catch (const ShownError&) {
            }
            say("returned"); // only when the wait ended by itself
        }
    });
    const int status = app.exec();
    setBlockingCallRunner({});
    return status;
}

const QString BranchQuery = u"SELECT CODEMPRESA, NOMEEMPRESA FROM FILIAIS WHERE FILIALATIVA <> 'N'"_s;

// Sets the process up as the program's main does, in its order.
void startAsTheProgram() {
    keepCoreDumpsOff();
    installEndSignals();
}

// The child of the stages: it connects as far as the stage needs, reports
// "ready", waits for a line on its input (the parent freezes the server
// meanwhile where the stage needs it), reports "calling" and makes the
// stage's call: "opening" (attach), "query" (prepare, execute and every
// fetch of the branch query), "commit" or "closing" (commit, detach).
int runStageChild(const QByteArray& stage, const QString& database, const QString& user,
                  const QString& password) {
    startAsTheProgram();
    int argc = 1;
    char name[] = "tst_endsignals";
    char* argv[] = {name, nullptr};
    OrvantoApplication app(argc, argv);
    endOnSignals(app);
    fb::setSignalForwarder(requestEnd);
    setBlockingCallRunner(runWhilePainting);
    TDatabase connection;
    TTransaction transaction;
    TQuery query(&connection);
    connection.DatabaseName = database;
    connection.Params = ConnectionParams(user, password);
    connection.DefaultTransaction = &transaction;
    transaction.DefaultDatabase = &connection;
    QTimer::singleShot(0, &app, [&] {
        try {
            if (stage != "opening")
                connection.Open();
            if (stage == "commit" || stage == "closing") {
                query.SQL = u"SELECT FIRST 1 CODEMPRESA FROM FILIAIS"_s;
                query.Open(); // leaves its transaction active
            }
            say("ready");
            std::string go;
            std::getline(std::cin, go);
            say("calling");
            if (stage == "opening") {
                connection.Open();
            } else if (stage == "query") {
                query.SQL = BranchQuery;
                query.Open();
            } else if (stage == "commit") {
                transaction.Commit();
            } else {
                connection.Close();
            }
            say("returned");
        } catch (const ShownError& error) {
            std::printf("error: %s\n", qPrintable(error.text()));
            say("returned");
        }
    });
    const int status = app.exec();
    setBlockingCallRunner({});
    return status;
}

// The child that takes the signal while its application object is being
// built: another thread sends it meanwhile. It reports "running" once its
// loop runs; the end should come at once.
int runBuildingChild() {
    startAsTheProgram();
    std::thread sender([] { ::kill(::getpid(), SIGTERM); });
    int argc = 1;
    char name[] = "tst_endsignals";
    char* argv[] = {name, nullptr};
    OrvantoApplication app(argc, argv);
    sender.join();
    endOnSignals(app);
    QTimer::singleShot(0, &app, [] { say("running"); });
    QTimer::singleShot(20000, &app, [] { say("still running"); });
    return app.exec();
}

// The child of the core dump check: core files allowed as far as the
// system lets, the program's set-up ("off") or not ("on"), then a crash.
int runCrashChild(const QByteArray& dumps) {
    rlimit limit{};
    ::getrlimit(RLIMIT_CORE, &limit);
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_CORE, &limit);
    if (dumps == "off")
        keepCoreDumpsOff();
    ::signal(SIGQUIT, SIG_DFL);
    ::raise(SIGQUIT); // its default action writes a core
    return 0;
}

// The core files in a folder.
QStringList coreFiles(const QString& folder) {
    return QDir(folder).entryList({u"core*"_s}, QDir::Files);
}

} // namespace

class TestEndSignals : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_erp;

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_erp = m_dir.filePath(u"erp.fdb"_s);
        createErpDatabase(m_erp, {{u"01"_s, u"Matriz"_s, u"S"_s}});
    }

    void signalEndsTheProgram_data() {
        QTest::addColumn<QByteArray>("mode");
        QTest::addColumn<int>("signal");
        for (const char* mode : {"idle", "loaded", "waiting"}) {
            for (const auto& [name, number] :
                 {std::pair{"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}, {"SIGHUP", SIGHUP}})
                QTest::addRow("%s, %s", mode, name) << QByteArray(mode) << number;
        }
    }
    void signalEndsTheProgram() {
        QFETCH(QByteArray, mode);
        QFETCH(int, signal);
        const SilentListener silent;
        const QString database = mode == "waiting" ? silent.hostPort() + u":/dados/erp.fdb"_s : m_erp;
        QProcess child;
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.setReadChannel(QProcess::StandardOutput);
        child.start(QCoreApplication::applicationFilePath(),
                    {u"--child"_s, QString::fromLatin1(mode), database});
        QVERIFY(child.waitForStarted());
        auto stop = qScopeGuard([&] {
            child.kill();
            child.waitForFinished();
        });
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += child.readAllStandardOutput()).contains("ready\n"), 20000);
        QTest::qWait(mode == "waiting" ? 1000 : 200); // into the wait, or idle in the loop
        QCOMPARE(::kill(pid_t(child.processId()), signal), 0);
        QVERIFY2(child.waitForFinished(10000), "the program did not end");
        output += child.readAllStandardOutput();
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QVERIFY2(!output.contains("returned"), output.constData()); // it did not wait the server out
    }

    // A signal at each stage of reading many rows from a server ends the
    // program with status 0 and no crash (no core): while the client is
    // inside a call, its shutdown is not called. The stages that wait on
    // the server have it frozen; the fetch runs at full speed over a large
    // table, and over a slow link where it is sure to be under way.
    void signalAtEachStageOfAServerFetch_data() {
        QTest::addColumn<QByteArray>("stage");
        QTest::addColumn<QByteArray>("link");
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("delayMs");
        QTest::newRow("opening, frozen server") << "opening"_ba
                                                << "frozen"_ba << SIGTERM << 500;
        QTest::newRow("prepare, frozen server") << "query"_ba
                                                << "frozen"_ba << SIGTERM << 500;
        QTest::newRow("fetch, first rows, SIGTERM") << "query"_ba
                                                    << "direct"_ba << SIGTERM << 0;
        QTest::newRow("fetch, full speed, SIGTERM") << "query"_ba
                                                    << "direct"_ba << SIGTERM << 150;
        QTest::newRow("fetch, full speed, SIGINT") << "query"_ba
                                                   << "direct"_ba << SIGINT << 150;
        QTest::newRow("fetch, full speed, SIGHUP") << "query"_ba
                                                   << "direct"_ba << SIGHUP << 150;
        QTest::newRow("fetch, slow link, SIGTERM") << "query"_ba
                                                   << "slow"_ba << SIGTERM << 1000;
        QTest::newRow("fetch, slow link, SIGINT") << "query"_ba
                                                  << "slow"_ba << SIGINT << 1000;
        QTest::newRow("commit, frozen server") << "commit"_ba
                                               << "frozen"_ba << SIGTERM << 500;
        QTest::newRow("detach, frozen server") << "closing"_ba
                                               << "frozen"_ba << SIGTERM << 500;
        QTest::newRow("fetch, embedded engine") << "query"_ba
                                                << "embedded"_ba << SIGTERM << 150;
    }
    void signalAtEachStageOfAServerFetch() {
        ORVANTO_REQUIRE_FIREBIRD_SERVER();
        QFETCH(QByteArray, stage);
        QFETCH(QByteArray, link);
        QFETCH(int, signal);
        QFETCH(int, delayMs);
        FirebirdServer& server = bigServer();
        std::optional<StallingProxy> slow;
        QString database = server.databaseName(m_bigRemote);
        if (link == "slow") {
            slow.emplace(quint16(server.port()), SIZE_MAX, 256 * 1024);
            database = slow->hostPort() + u':' + m_bigRemote;
        } else if (link == "embedded") {
            database = m_bigLocal;
            QVERIFY(QFileInfo::exists(database));
        }
        auto thaw = qScopeGuard([&] { server.freeze(false); });
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {u"--stage-child"_s, QString::fromLatin1(stage),
                                                              database, server.user(), server.password()});
        QVERIFY(child.waitForStarted());
        auto stop = qScopeGuard([&] {
            child.kill();
            child.waitForFinished();
        });
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += child.readAllStandardOutput()).contains("ready\n"), 20000);
        if (link == "frozen")
            server.freeze(true);
        child.write("go\n");
        QTRY_VERIFY_WITH_TIMEOUT((output += child.readAllStandardOutput()).contains("calling\n"), 10000);
        QTest::qWait(delayMs);
        output += child.readAllStandardOutput();
        QVERIFY2(!output.contains("returned"), "the call ended before the signal: make it longer");
        QElapsedTimer ending;
        ending.start();
        QCOMPARE(::kill(pid_t(child.processId()), signal), 0);
        QVERIFY2(child.waitForFinished(10000), "the program did not end");
        output += child.readAllStandardOutput();
        QCOMPARE(child.exitStatus(), QProcess::NormalExit); // no crash, so no core either
        QCOMPARE(child.exitCode(), 0);
        QVERIFY2(ending.elapsed() < 6000, "the end took longer than its bound");
        if (stage != "query" || link == "frozen")
            QVERIFY2(!output.contains("returned"), output.constData()); // it did not wait the server out
    }

    // A signal while the application object is being built (a logout just
    // after the start) is kept, and ends the program once its loop runs.
    void signalWhileTheApplicationIsBuilt() {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {u"--building-child"_s});
        QVERIFY(child.waitForStarted());
        auto stop = qScopeGuard([&] {
            child.kill();
            child.waitForFinished();
        });
        QVERIFY2(child.waitForFinished(15000), "the program did not end");
        const QByteArray output = child.readAllStandardOutput();
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QVERIFY2(!output.contains("still running"), output.constData());
    }

    // The panel itself: SIGTERM from the moment it takes the signal, that
    // is while its application object and its window are still being
    // built, up to its first idle loop, ends it with status 0.
    void signalDuringThePanelsStart_data() {
        QTest::addColumn<int>("delayMs");
        for (int delay : {0, 10, 30, 60, 120, 250})
            QTest::addRow("%d ms after the handlers", delay) << delay;
    }
    void signalDuringThePanelsStart() {
        QFETCH(int, delayMs);
        const ScratchHome home;
        QProcess panel;
        panel.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        panel.start(QStringLiteral(ORVANTO_PROGRAM), {});
        QVERIFY(panel.waitForStarted());
        auto stop = qScopeGuard([&] {
            panel.kill();
            panel.waitForFinished();
        });
        const pid_t pid = pid_t(panel.processId());
        QElapsedTimer waited;
        waited.start();
        while (!catchesSigterm(pid)) {
            QVERIFY2(waited.elapsed() < 20000, "the panel never took SIGTERM");
            QVERIFY(panel.state() == QProcess::Running);
        }
        if (delayMs)
            QThread::msleep(delayMs);
        QCOMPARE(::kill(pid, SIGTERM), 0);
        QVERIFY2(panel.waitForFinished(10000), "the panel did not end");
        QCOMPARE(panel.exitStatus(), QProcess::NormalExit);
        QCOMPARE(panel.exitCode(), 0);
    }

    // Core dumps are off: the process holds the password. A crash after the
    // program's set-up leaves no core where one without it does.
    void crashLeavesNoCore() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        for (const char* dumps : {"on", "off"}) {
            QProcess child;
            child.setWorkingDirectory(folder.path());
            child.start(QCoreApplication::applicationFilePath(),
                        {u"--crash-child"_s, QString::fromLatin1(dumps)});
            QVERIFY(child.waitForFinished(30000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            if (QByteArrayView(dumps) == "on" && coreFiles(folder.path()).isEmpty())
                QSKIP("this system writes no core file into the working folder (core pattern, limits)");
            if (QByteArrayView(dumps) == "on") {
                for (const QString& core : coreFiles(folder.path()))
                    QVERIFY(QFile::remove(folder.filePath(core)));
            }
        }
        QCOMPARE(coreFiles(folder.path()), QStringList());
    }

private:
    // The server and the large branch table of the stage cases: made once.
    FirebirdServer& bigServer() {
        if (!m_server) {
            m_server = std::make_unique<FirebirdServer>();
            m_bigRemote = QDir(m_server->dataFolder()).filePath(u"big.fdb"_s);
            createBulkErpDatabase(m_bigRemote, BigTable);
            m_bigLocal = m_dir.filePath(u"big.fdb"_s);
            QFile::copy(m_bigRemote, m_bigLocal); // checked where it is used
        }
        return *m_server;
    }

    static bool catchesSigterm(pid_t pid) {
        QFile status(u"/proc/%1/status"_s.arg(pid));
        if (!status.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("SigCgt:"))
                return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
        }
        return false;
    }

    static constexpr int BigTable = 300000;
    std::unique_ptr<FirebirdServer> m_server;
    QString m_bigRemote;
    QString m_bigLocal;
};

int main(int argc, char** argv) {
    if (argc == 4 && QByteArrayView(argv[1]) == "--child")
        return runChild(argv[2], QString::fromLocal8Bit(argv[3]));
    if (argc == 6 && QByteArrayView(argv[1]) == "--stage-child")
        return runStageChild(argv[2], QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]),
                             QString::fromLocal8Bit(argv[5]));
    if (argc == 2 && QByteArrayView(argv[1]) == "--building-child")
        return runBuildingChild();
    if (argc == 3 && QByteArrayView(argv[1]) == "--crash-child")
        return runCrashChild(argv[2]);
    QTEST_SET_MAIN_SOURCE_PATH
    return runTestObject<OrvantoApplication, TestEndSignals>(argc, argv, [](OrvantoApplication&) {});
}

#include "tst_endsignals.moc"
