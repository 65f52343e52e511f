// The program's end on SIGTERM (a session's logout), SIGINT and SIGHUP:
// status 0, also once the database client library is loaded (it takes
// these signals for itself) and while a database call still waits. Each
// case runs a child copy of this program with the panel's own start-up
// pieces: the signal handling, the database client and the painting wait.

#include "ErpDatabase.h"
#include "SilentListener.h"
#include "TestSupport.h"
#include "app/BusyWait.h"
#include "settings/Database.h"
#include "settings/FbClient.h"
#include "ui/EndSignals.h"

#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <cstdio>

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
};

int main(int argc, char** argv) {
    if (argc == 4 && QByteArrayView(argv[1]) == "--child")
        return runChild(argv[2], QString::fromLocal8Bit(argv[3]));
    QTEST_SET_MAIN_SOURCE_PATH
    return runTestObject<OrvantoApplication, TestEndSignals>(argc, argv, [](OrvantoApplication&) {});
}

#include "tst_endsignals.moc"
