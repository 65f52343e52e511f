// The windows keep painting while the database client waits on a server
// that never answers, user input waits for the call, and outcomes stay.
#include "ErpDatabase.h"
#include "RecordingPlatform.h"
#include "TestSupport.h"
#include "app/BusyWait.h"
#include "config_dialog/TfrmConfig.h"
#include "database/Database.h"
#include "panel/TFrmOrvanto.h"
#include "panel/TfrmPrints.h"
#include "settings/Settings.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <qpa/qwindowsysteminterface.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A listener that takes connections into its backlog and never answers;
// closing it resets them.
class SilentListener {
public:
    SilentListener() {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_fd, 8);
        socklen_t length = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~SilentListener() { close(); }
    void close() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class ResponsiveTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        // The runner and the settings values are process-wide.
        setBlockingCallRunner(runWhilePainting);
        home = std::make_unique<ScratchHome>();
        fake = std::make_unique<RecordingPlatform>();
        clearSettingsValues();
    }
    void cleanup() {
        setBlockingCallRunner({});
        fake.reset();
        home.reset();
    }

    void panelRepaintsWhileTheProbeWaits() {
        SilentListener silent;
        Values.LocRem = QStringLiteral("R");
        Values.Protocolo = QStringLiteral("0");
        Values.Servidor = QStringLiteral("127.0.0.1/%1").arg(silent.port());
        Values.CaminhoBanco = QStringLiteral("/dados/erp.fdb");
        Values.Usuario = QStringLiteral("SYSDBA");
        Values.Senha = QStringLiteral("x");

        TfrmPrints prints;
        frmPrints = &prints;
        TFrmOrvanto panel(Values);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        PaintCounter counter;
        panel.installEventFilter(&counter);
        QLineEdit typed; // stands for any control the user might type into meanwhile
        typed.show();
        typed.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&typed));
        typed.setFocus();

        struct Seen {
            int paintsDuringWait = 0;
            bool busyCursor = false;
            QString typedDuringWait;
        } seen;
        QTimer::singleShot(200, [&] { panel.update(); });
        QTimer::singleShot(300, [&] {
            // As the window system delivers a key stroke: queued, not sent.
            QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
                typed.windowHandle(), QEvent::KeyPress, Qt::Key_A, {}, QStringLiteral("a"));
            QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
                typed.windowHandle(), QEvent::KeyRelease, Qt::Key_A, {}, QStringLiteral("a"));
        });
        QTimer::singleShot(700, [&] {
            seen.paintsDuringWait = counter.paints;
            seen.busyCursor = QGuiApplication::overrideCursor() &&
                              QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
            seen.typedDuringWait = typed.text();
            silent.close(); // now the client's attempt fails
        });
        QElapsedTimer clock;
        clock.start();
        {
            TfrmConfig dialog(&panel, Values); // its opening probes the silent server
            QVERIFY(clock.elapsed() >= 600);
            QCOMPARE(child<QComboBox>(&dialog, "ppbFiliais")->count(), 0); // the failure stays silent
        }
        QVERIFY2(seen.paintsDuringWait > 0, "the panel did not repaint while the client waited");
        QVERIFY(seen.busyCursor);
        QCOMPARE(seen.typedDuringWait, QString()); // input waits for the call
        QTRY_COMPARE(typed.text(), QStringLiteral("a"));
        QVERIFY(!QGuiApplication::overrideCursor());
        QVERIFY(fake->messages.isEmpty());
        frmPrints = nullptr;
    }

    void outcomesAreThoseOfTheBlockingCall() {
        const QString path = home->path() + QStringLiteral("/erp.fdb");
        createErpDatabase(path,
                          {{"01", "MATRIZ", QStringLiteral("S")}, {"02", "FILIAL", QStringLiteral("N")}});
        TDatabase database;
        TTransaction transaction;
        database.DatabaseName = path;
        database.Params = ConnectionParams(QStringLiteral("SYSDBA"), QStringLiteral("x"));
        database.DefaultTransaction = &transaction;
        transaction.DefaultDatabase = &database;
        database.Open();
        TQuery query(&database);
        query.SQL = QStringLiteral("SELECT CODEMPRESA, NOMEEMPRESA FROM FILIAIS WHERE FILIALATIVA <> 'N'");
        query.Open();
        QCOMPARE(query.RecordCount(), 1);
        QCOMPARE(query.FieldByName(QStringLiteral("NOMEEMPRESA")), QStringLiteral("MATRIZ"));
        // An error raised on the worker reaches the caller.
        query.SQL = QStringLiteral("SELECT * FROM NAO_EXISTE");
        QVERIFY_THROWS_EXCEPTION(ShownError, query.Open());
        TDatabase missing;
        missing.DatabaseName = home->path() + QStringLiteral("/nao-existe.fdb");
        missing.Params = database.Params;
        QVERIFY_THROWS_EXCEPTION(ShownError, missing.Open());
    }

private:
    std::unique_ptr<ScratchHome> home;
    std::unique_ptr<RecordingPlatform> fake;
};

ORVANTO_TEST_MAIN(ResponsiveTest)
#include "tst_responsive.moc"
