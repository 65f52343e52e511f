// The shared connection test: settings file in, the failure's text out
// (the settings dialog shows it), nothing shown here, nothing left open. Local paths use the embedded engine;
// the remote forms a private server started here.

#include "CoreTestSupport.h"
#include "ErpDatabase.h"
#include "FirebirdServer.h"
#include "RecordingPlatform.h"
#include "SilentListener.h"
#include "database/Conexao.h"
#include "database/FbClient.h"
#include "settings/Settings.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString NoFailure = u"<no failure>"_s;

struct Location {
    QString locRem;
    QString servidor;
    QString protocolo;
    QString caminho;
    QString usuario = u"SYSDBA"_s;
    QString senha = u"masterkey"_s;
};

// Writes the settings file with the location, as a save does.
void saveSettings(const Location& where) {
    Values.LocRem = where.locRem;
    Values.Comp = u"0"_s;
    Values.Servidor = where.servidor;
    Values.Protocolo = where.protocolo;
    Values.CaminhoBanco = where.caminho;
    Values.Usuario = where.usuario;
    Values.Senha = where.senha;
    SalvaIni(Values);
}

} // namespace

class TestConexao : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_erp;
    std::unique_ptr<FirebirdServer> m_server;
    QString m_remoteErp;
    std::unique_ptr<ScratchHome> m_home;
    std::unique_ptr<RecordingPlatform> m_platform;

    // Callers skip first (a skip inside a helper would not end the test).
    void startServer() {
        if (!m_server) {
            m_server = std::make_unique<FirebirdServer>();
            m_remoteErp = QDir(m_server->dataFolder()).filePath(u"erp.fdb"_s);
            createErpDatabase(m_remoteErp, {{u"01"_s, u"Matriz"_s, u"S"_s}});
        }
    }

    // Tests the connection as a save does: the failure's text, or
    // NoFailure; nothing is ever shown from here.
    QString connect(bool repeated) {
        const std::optional<QString> failure = ConectaBancoDados(Values, repeated);
        if (!m_platform->texts().isEmpty())
            return u"<shown: "_s + m_platform->texts().join(u'|') + u'>';
        return failure.value_or(NoFailure);
    }

    void verifyNothingLeft() {
        QVERIFY(!BancoGadgets);
        QVERIFY(!TransacGadgets);
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_erp = m_dir.filePath(u"erp.fdb"_s);
        createErpDatabase(m_erp, {{u"01"_s, u"Matriz"_s, u"S"_s}});
    }

    void init() {
        // Each case gets its own settings file and records its own boxes.
        m_home = std::make_unique<ScratchHome>();
        m_platform = std::make_unique<RecordingPlatform>();
        ConnectRetryPause = std::chrono::milliseconds(0);
    }

    void cleanup() {
        BancoGadgets.reset();
        TransacGadgets.reset();
        m_platform.reset();
        m_home.reset();
        fb::LibraryName = u"libfbclient.so.2"_s;
        ConnectRetryPause = std::chrono::milliseconds(500);
    }

    void cleanupTestCase() { m_server.reset(); }

    void localDatabaseConnectsSilently() {
        saveSettings({u"L"_s, QString(), QString(), m_erp});
        QCOMPARE(connect(false), NoFailure);
        verifyNothingLeft();
    }

    void settingsAreReloadedFromTheFile() {
        saveSettings({u"L"_s, QString(), QString(), m_erp});
        Values.CaminhoBanco = m_dir.filePath(u"elsewhere.fdb"_s); // not saved
        QCOMPARE(connect(false), NoFailure);
        QCOMPARE(Values.CaminhoBanco, m_erp);
    }

    void failuresShowOneBox_data() {
        QTest::addColumn<QString>("locRem");
        QTest::addColumn<QString>("protocolo");
        QTest::addColumn<QString>("caminho");
        QTest::addColumn<QString>("library");
        QTest::addColumn<QString>("error");
        const QString missing = m_dir.filePath(u"missing.fdb"_s);
        QTest::newRow("missing database file")
            << u"L"_s << QString() << missing << u"libfbclient.so.2"_s
            << u"I/O error during \"open\" operation for file \"%1\"\r\nError while trying to open file\r\nNo such file or directory"_s
                   .arg(missing);
        QTest::newRow("remote without protocol")
            << u"R"_s << u"-1"_s << m_erp << u"libfbclient.so.2"_s << u"Database name is missing"_s;
        QTest::newRow("client library missing")
            << u"L"_s << QString() << m_erp << u"libfbclient-missing.so.2"_s
            << u"InterBase library libfbclient-missing.so.2 not found in the path. Please install InterBase to use this functionality"_s;
    }
    void failuresShowOneBox() {
        QFETCH(QString, locRem);
        QFETCH(QString, protocolo);
        QFETCH(QString, caminho);
        QFETCH(QString, library);
        QFETCH(QString, error);
        fb::LibraryName = library;
        saveSettings({locRem, u"127.0.0.1"_s, protocolo, caminho});
        QCOMPARE(connect(false), error);
        verifyNothingLeft();
    }

    void emptyValueEndsSilently_data() {
        QTest::addColumn<int>("which");
        QTest::newRow("path") << 0;
        QTest::newRow("user") << 1;
        QTest::newRow("password") << 2;
    }
    void emptyValueEndsSilently() {
        QFETCH(int, which);
        Location where{u"L"_s, QString(), QString(), m_erp};
        (which == 0 ? where.caminho : which == 1 ? where.usuario : where.senha).clear();
        fb::LibraryName = u"libfbclient-missing.so.2"_s; // an attempt would show a box
        saveSettings(where);
        QCOMPARE(connect(false), NoFailure);
        // The objects stay, closed, until the next test replaces them.
        QVERIFY(BancoGadgets && TransacGadgets);
        QVERIFY(!BancoGadgets->Connected());
        QVERIFY(!TransacGadgets->InTransaction());
        QVERIFY(BancoGadgets->DatabaseName.isEmpty());

        fb::LibraryName = u"libfbclient.so.2"_s;
        saveSettings({u"L"_s, QString(), QString(), m_erp});
        QCOMPARE(connect(false), NoFailure);
        verifyNothingLeft();
    }

    void noSettingsFileEndsSilently() {
        // Nothing saved: the values read before stay, here all empty.
        Values.CaminhoBanco.clear();
        Values.Usuario.clear();
        Values.Senha.clear();
        QCOMPARE(connect(false), NoFailure);
    }

    void repeatedModeGivesUpSilently() {
        fb::LibraryName = u"libfbclient-missing.so.2"_s;
        saveSettings({u"L"_s, QString(), QString(), m_erp});
        QCOMPARE(connect(true), NoFailure);
        verifyNothingLeft();
    }

    void repeatedModeConnects() {
        saveSettings({u"L"_s, QString(), QString(), m_erp});
        QCOMPARE(connect(true), NoFailure);
        verifyNothingLeft();
    }

    void tcpFormConnectsToTheServer() {
        ORVANTO_REQUIRE_FIREBIRD_SERVER();
        startServer();
        saveSettings(
            {u"R"_s, m_server->hostPort(), u"0"_s, m_remoteErp, m_server->user(), m_server->password()});
        QCOMPARE(connect(false), NoFailure);
        verifyNothingLeft();
    }

    // A server that accepts the connection and never answers: the test
    // gives up after the connect time-out (shortened here) and says so in
    // the one box, instead of holding the window for the client's 180 s.
    void silentServerFailsAfterTheConnectTimeout() {
        const SilentListener silent;
        const auto defaultTimeout = fb::ConnectTimeout;
        fb::ConnectTimeout = std::chrono::seconds(1);
        saveSettings({u"R"_s, silent.hostPort(), u"0"_s, u"/dados/erp.fdb"_s});
        QElapsedTimer waited;
        waited.start();
        const QString failure = connect(false);
        // Far above the bound, far below the client's own default.
        QVERIFY2(waited.elapsed() < 60000, qPrintable(QString::number(waited.elapsed())));
        fb::ConnectTimeout = defaultTimeout;
        QVERIFY2(failure != NoFailure && !failure.isEmpty() && !failure.startsWith(u"<shown"_s),
                 qPrintable(failure));
        verifyNothingLeft();
    }

    void wrongPasswordShowsClientText() {
        ORVANTO_REQUIRE_FIREBIRD_SERVER();
        startServer();
        saveSettings({u"R"_s, m_server->hostPort(), u"0"_s, m_remoteErp, m_server->user(), u"wrong"_s});
        QCOMPARE(
            connect(false),
            u"Your user name and password are not defined. Ask your database administrator to set up a Firebird login"_s);
        verifyNothingLeft();
    }

    // This client knows neither form: it takes the name for a local file
    // and fails with its own text.
    void otherProtocolsFailWithClientText_data() {
        QTest::addColumn<QString>("protocolo");
        QTest::addColumn<QString>("form");
        QTest::newRow("named pipe") << u"1"_s << u"\\\\%1\\%2"_s;
        QTest::newRow("SPX") << u"2"_s << u"%1@%2"_s;
    }
    void otherProtocolsFailWithClientText() {
        QFETCH(QString, protocolo);
        QFETCH(QString, form);
        ORVANTO_REQUIRE_FIREBIRD_SERVER();
        startServer();
        saveSettings(
            {u"R"_s, m_server->hostPort(), protocolo, m_remoteErp, m_server->user(), m_server->password()});
        const QString name = form.arg(m_server->hostPort(), m_remoteErp);
        QCOMPARE(connect(false),
                 u"I/O error during \"open\" operation for file \"%1\"\r\nError while trying to open file\r\n"
                 u"No such file or directory"_s.arg(name));
        verifyNothingLeft();
    }
};

ORVANTO_CORE_TEST_MAIN(TestConexao)
#include "tst_conexao.moc"
