// The database server goes away while the settings dialog is open: the
// dialog read its branch list through the server at opening, then the
// server stops. Saving still stores the settings and the connection test
// reports the failure in its message; a refill of the list finds nothing
// and says nothing. No crash either way.

#include "DialogFixture.h"

#include "FirebirdServer.h"
#include "settings/IniFile.h"

namespace {
const QString ConnectFailure =
    QStringLiteral("Rezovuz - Edozed ev Urevivar\r\n\r\nNão foi possível conectar ao banco de dados!\r\n");

} // namespace

class ServerStoppedTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        ORVANTO_REQUIRE_FIREBIRD_SERVER();
        fx = std::make_unique<DialogFixture>();
        server = std::make_unique<FirebirdServer>();
        remoteDb = server->dataFolder() + QStringLiteral("/erp.fdb");
        createErpDatabase(remoteDb,
                          {{"07", "REMOTA", QStringLiteral("S")}, {"08", "OUTRA", QStringLiteral("S")}});
        // As the panel's start leaves them: a remote database over TCP.
        port = server->port();
        writeSettings({{"LocRem", "R"},
                       {"Comp", "0"},
                       {"Servidor", server->hostPort()},
                       {"Protocolo", "0"},
                       {"CaminhoBanco", remoteDb},
                       {"Usuario", server->user()},
                       {"Senha", server->password()},
                       {"DiretorioGadgets", fx->path(QStringLiteral("gadgets/"))},
                       {"Filial", "07"}},
                      "[GadgetVendas]\r\nPosX=10\r\n");
        CarregaConfig(Values);
    }
    void cleanup() {
        server.reset();
        fx.reset();
        QVERIFY2(noDialogLeft(), "a settings dialog was left over");
    }

    void saveAfterTheServerStoppedStoresAndReportsTheConnection() {
        auto d = openDialog();
        QCOMPARE(list(d.get(), "ppbFiliais")->currentText(),
                 QStringLiteral("07 - REMOTA")); // read through the server
        QVERIFY(radio(d.get(), "rdbRemota")->isChecked());

        server.reset();
        list(d.get(), "ppbFiliais")->setCurrentIndex(1);
        edit(d.get(), "edtUsuario")->setText(QStringLiteral(" SYSDBA "));
        QTest::mouseClick(control<QPushButton>(d.get(), "btnSalvar"), Qt::LeftButton);

        QCOMPARE(fx->platform.messages.size(), 1);
        const auto& message = fx->platform.messages.front();
        QCOMPARE(message.kind, MessageKind::Plain);
        QVERIFY2(message.text.startsWith(ConnectFailure), qPrintable(message.text));
        QVERIFY2(message.text.size() > ConnectFailure.size(), "the client's own text is missing");
        QVERIFY(!d->isVisible());
        QCOMPARE(d->result(), int(QDialog::Accepted));

        // Saved before the test: a server given with its port is a name, so
        // it is stored in the server:path form.
        const QString hostPort = QStringLiteral("127.0.0.1/") + QString::number(port);
        QCOMPARE(storedSetting(QStringLiteral("CaminhoBanco")), hostPort + u':' + remoteDb);
        QCOMPARE(storedSetting(QStringLiteral("Comp")), QStringLiteral("1"));
        QCOMPARE(storedSetting(QStringLiteral("Filial")), QStringLiteral("08"));
        QCOMPARE(storedSetting(QStringLiteral("Usuario")), QStringLiteral("SYSDBA"));
        QVERIFY(readFile(settingsFilePath()).contains("\r\n[GadgetVendas]\r\nPosX=10\r\n"));
    }

    void refillAfterTheServerStoppedFindsNothingQuietly() {
        auto d = openDialog();
        QCOMPARE(items(list(d.get(), "ppbFiliais")), QStringList({"07 - REMOTA", "08 - OUTRA"}));
        const QByteArray before = readFile(settingsFilePath());

        server.reset();
        // Another path makes the list stale; entering it probes the stopped server.
        tabs(d.get())->setCurrentIndex(0);
        QLineEdit* path = edit(d.get(), "edtCaminhoBanco");
        QTest::mouseClick(path, Qt::LeftButton);
        path->setText(remoteDb + QStringLiteral(".outro"));
        QTest::mouseClick(edit(d.get(), "edtUsuario"), Qt::LeftButton);
        QVERIFY(d->mudouBanco());
        tabs(d.get())->setCurrentIndex(1);
        list(d.get(), "ppbFiliais")->setFocus(Qt::TabFocusReason);

        QCOMPARE(list(d.get(), "ppbFiliais")->count(), 0);
        QCOMPARE(list(d.get(), "ppbFiliais")->currentIndex(), -1);
        QVERIFY2(fx->platform.messages.isEmpty(), qPrintable(fx->platform.texts().join(u'|')));

        // With no branch to pick, the save stops at its check and writes nothing.
        QTest::mouseClick(control<QPushButton>(d.get(), "btnSalvar"), Qt::LeftButton);
        QCOMPARE(fx->platform.texts(),
                 QStringList{QStringLiteral("Selecione a Filial em que será validada a senha!")});
        QVERIFY(d->isVisible());
        QCOMPARE(readFile(settingsFilePath()), before);
        d->btnCancelarClick();
    }

private:
    std::unique_ptr<DialogFixture> fx;
    std::unique_ptr<FirebirdServer> server;
    QString remoteDb;
    int port = 0;
};

ORVANTO_TEST_MAIN(ServerStoppedTest)
#include "tst_serverstopped.moc"
