// Opening the settings dialog: fields from the settings file, defaults, the
// alias path, the branch list from the database the values in memory name.

#include "DialogFixture.h"

#include "FirebirdServer.h"
#include "database/Database.h"
#include "settings/ShownError.h"

#include <QFileInfo>

class TestConfigDialogOpen : public QObject {
    Q_OBJECT

private slots:
    void init() { fx = std::make_unique<DialogFixture>(); }
    void cleanup();

    void noFileAndNoAliasGivesDefaults();
    void aliasGivesThePathWhenNoneIsStored();
    void storedLocation_data();
    void storedLocation();
    void missingKeysGetDefaults();
    void branchesComeFromTheDatabaseInMemory();
    void storedBranchIsSelectedAgain_data();
    void storedBranchIsSelectedAgain();
    void fileValuesWithEmptyValuesInMemoryTryNoConnection();
    void unreachableDatabaseLeavesTheListEmptySilently();
    void wrongDatabaseIsReportedAndTheDialogStillOpens_data();
    void wrongDatabaseIsReportedAndTheDialogStillOpens();
    void openingWritesNothing();

private:
    std::unique_ptr<DialogFixture> fx;
};

void TestConfigDialogOpen::cleanup() {
    fx.reset();
    QVERIFY2(noDialogLeft(), "a settings dialog was left over");
}

void TestConfigDialogOpen::noFileAndNoAliasGivesDefaults() {
    auto d = openDialog();
    QCOMPARE(edit(d.get(), "edtCaminhoBanco")->text(), QString());
    QCOMPARE(edit(d.get(), "edtUsuario")->text(), QStringLiteral("SYSDBA"));
    QCOMPARE(edit(d.get(), "edtSenha")->text(), QStringLiteral("quillvane"));
    QCOMPARE(edit(d.get(), "edtConfSenha")->text(), QStringLiteral("quillvane"));
    QCOMPARE(edit(d.get(), "edtPasta")->text(), QDir::homePath() + QStringLiteral("/Morvelt/Gadgets VUX"));
    QVERIFY(radio(d.get(), "rdbLocal")->isChecked());
    QVERIFY(!radio(d.get(), "rdbRemota")->isChecked());
    QVERIFY(!edit(d.get(), "edtServidor")->isEnabled());
    QVERIFY(!list(d.get(), "ppbProtocolo")->isEnabled());
    QCOMPARE(list(d.get(), "ppbProtocolo")->currentIndex(), -1);
    QVERIFY(control<QToolButton>(d.get(), "spbCaminhoBanco")->isEnabled());
    QCOMPARE(list(d.get(), "ppbFiliais")->count(), 0);
    QCOMPARE(list(d.get(), "ppbFiliais")->currentIndex(), -1);
    QCOMPARE(tabs(d.get())->currentIndex(), 0);
    QCOMPARE(focusName(), QStringLiteral("edtCaminhoBanco"));
    QCOMPARE(d->camBanco(), QString());
    QVERIFY(d->mudouBanco());
    QVERIFY(fx->platform.messages.isEmpty());
    // Comp and Filial keep their values when there is no file.
    QCOMPARE(Values.Comp, QString());
}

void TestConfigDialogOpen::aliasGivesThePathWhenNoneIsStored() {
    const QString db = fx->database(QStringLiteral("erp.fdb"), TwoBranches);
    fx->writeAlias(QStringLiteral("valdore"), db); // the alias name is not case-sensitive
    writeSettings({{"LocRem", "L"}, {"Comp", "0"}, {"CaminhoBanco", "   "}, {"Usuario", "ana"}});

    auto d = openDialog();
    QCOMPARE(edit(d.get(), "edtCaminhoBanco")->text(), db);
    QCOMPARE(d->camBanco(), db);
    QVERIFY(d->mudouBanco());
    QCOMPARE(edit(d.get(), "edtUsuario")->text(), QStringLiteral("ana"));
    // The list is not read at opening: the values in memory name no database.
    QCOMPARE(list(d.get(), "ppbFiliais")->count(), 0);
}

void TestConfigDialogOpen::storedLocation_data() {
    QTest::addColumn<QString>("locRem");
    QTest::addColumn<QString>("comp");
    QTest::addColumn<QString>("caminho");
    QTest::addColumn<QString>("protocolo");
    QTest::addColumn<bool>("remota");
    QTest::addColumn<QString>("shownPath");
    QTest::addColumn<QString>("shownServer");
    QTest::addColumn<int>("protocolIndex");

    const QString path = QStringLiteral("/dados/erp.fdb");
    const QString composed = QStringLiteral("srv:/dados/erp.fdb");
    QTest::newRow("remote by address") << "R"
                                       << "0" << path << "1" << true << path << "srv" << 1;
    QTest::newRow("R with Comp 1") << "R"
                                   << "1" << composed << "2" << true << path << "srv" << 2;
    QTest::newRow("host name stored as L/1") << "L"
                                             << "1" << composed << "-1" << true << path << "srv" << -1;
    QTest::newRow("local") << "L"
                           << "0" << path << "0" << false << path << "" << -1;
    QTest::newRow("other LocRem with Comp 1") << "X"
                                              << "1" << composed << "0" << false << path << "" << -1;
    QTest::newRow("other LocRem") << "X"
                                  << "0" << path << "0" << false << path << "" << -1;
    QTest::newRow("empty LocRem") << ""
                                  << "0" << path << "0" << false << path << "" << -1;
    QTest::newRow("small r is not remote") << "r"
                                           << "0" << path << "0" << false << path << "" << -1;
    QTest::newRow("protocol not a number") << "R"
                                           << "0" << path << "abc" << true << path << "srv" << -1;
    QTest::newRow("protocol out of the list") << "R"
                                              << "0" << path << "7" << true << path << "srv" << -1;
    QTest::newRow("Comp 1 and no colon") << "L"
                                         << "1" << path << "-1" << true << path << "srv" << -1;
    QTest::newRow("Comp 1, colon first") << "L"
                                         << "1"
                                         << ":x"
                                         << "-1" << true << "x"
                                         << "srv" << -1;
}

void TestConfigDialogOpen::storedLocation() {
    QFETCH(QString, locRem);
    QFETCH(QString, comp);
    QFETCH(QString, caminho);
    QFETCH(QString, protocolo);
    QFETCH(bool, remota);
    QFETCH(QString, shownPath);
    QFETCH(QString, shownServer);
    QFETCH(int, protocolIndex);

    writeSettings({{"LocRem", locRem},
                   {"Comp", comp},
                   {"Servidor", "srv"},
                   {"Protocolo", protocolo},
                   {"CaminhoBanco", caminho},
                   {"Usuario", "ana"},
                   {"Senha", "segredo"},
                   {"DiretorioGadgets", "/opt/gadgets/"},
                   {"ModoPainel", "1"},
                   {"Filial", "07"}});
    auto d = openDialog();
    QCOMPARE(radio(d.get(), "rdbRemota")->isChecked(), remota);
    QCOMPARE(radio(d.get(), "rdbLocal")->isChecked(), !remota);
    QCOMPARE(edit(d.get(), "edtCaminhoBanco")->text(), shownPath);
    QCOMPARE(d->camBanco(), shownPath);
    QVERIFY(!d->mudouBanco());
    QCOMPARE(edit(d.get(), "edtServidor")->text(), shownServer);
    QCOMPARE(edit(d.get(), "edtServidor")->isEnabled(), remota);
    QCOMPARE(list(d.get(), "ppbProtocolo")->isEnabled(), remota);
    QCOMPARE(list(d.get(), "ppbProtocolo")->currentIndex(), protocolIndex);
    QCOMPARE(list(d.get(), "ppbProtocolo")->currentText(),
             protocolIndex < 0 ? QString() : list(d.get(), "ppbProtocolo")->itemText(protocolIndex));
    QCOMPARE(control<QToolButton>(d.get(), "spbCaminhoBanco")->isEnabled(), !remota);
    QCOMPARE(edit(d.get(), "edtUsuario")->text(), QStringLiteral("ana"));
    QCOMPARE(edit(d.get(), "edtSenha")->text(), QStringLiteral("segredo"));
    QCOMPARE(edit(d.get(), "edtConfSenha")->text(), QStringLiteral("segredo"));
    QCOMPARE(edit(d.get(), "edtPasta")->text(), QStringLiteral("/opt/gadgets/"));
    // Checking "Remota" moved the focus to the server; opening ends in the path.
    QCOMPARE(tabs(d.get())->currentIndex(), 0);
    QCOMPARE(focusName(), QStringLiteral("edtCaminhoBanco"));
    // Comp and Filial come from the file; the other values stay as they were.
    QCOMPARE(Values.Comp, comp);
    QCOMPARE(Values.Filial, QStringLiteral("07"));
    QCOMPARE(Values.LocRem, QString());
    QCOMPARE(Values.Servidor, QString());
    QCOMPARE(Values.ModoPainel, QString());
}

void TestConfigDialogOpen::missingKeysGetDefaults() {
    writeSettings({{"LocRem", "L"}, {"CaminhoBanco", "/dados/erp.fdb"}, {"Usuario", "ana"}, {"Senha", ""}});
    auto d = openDialog();
    QCOMPARE(edit(d.get(), "edtUsuario")->text(), QStringLiteral("ana"));
    QCOMPARE(edit(d.get(), "edtSenha")->text(), QStringLiteral("quillvane"));
    QCOMPARE(edit(d.get(), "edtConfSenha")->text(), QStringLiteral("quillvane"));
    // A file without a folder entry leaves the folder empty: only a missing file gives the default.
    QCOMPARE(edit(d.get(), "edtPasta")->text(), QString());
    QCOMPARE(Values.Comp, QString());
    QCOMPARE(Values.Filial, QString());
}

void TestConfigDialogOpen::branchesComeFromTheDatabaseInMemory() {
    const QString inMemory =
        fx->database(QStringLiteral("memory.fdb"), {{"03", "TERCEIRA", QStringLiteral("S")},
                                                    {"01", "MATRIZ", QStringLiteral("")},
                                                    {"05", "FECHADA", QStringLiteral("N")},
                                                    {"06", "SEM SITUACAO", std::nullopt},
                                                    {"02", "SEGUNDA", QStringLiteral("X")}});
    const QString inFile = fx->database(QStringLiteral("file.fdb"), {{"09", "OUTRA", QStringLiteral("S")}});
    setLocalValues(inMemory);
    writeSettings({{"LocRem", "L"},
                   {"Comp", "0"},
                   {"CaminhoBanco", inFile},
                   {"Usuario", "SYSDBA"},
                   {"Senha", "x"},
                   {"Filial", "01"}});

    auto d = openDialog();
    // Active rows in the order they arrive; "N" and NULL are not listed.
    QCOMPARE(items(list(d.get(), "ppbFiliais")),
             QStringList({"03 - TERCEIRA", "01 - MATRIZ", "02 - SEGUNDA"}));
    QCOMPARE(list(d.get(), "ppbFiliais")->currentText(), QStringLiteral("01 - MATRIZ"));
    // The fields show the file; the values in memory keep theirs.
    QCOMPARE(edit(d.get(), "edtCaminhoBanco")->text(), inFile);
    QCOMPARE(Values.CaminhoBanco, inMemory);
    QVERIFY(fx->platform.messages.isEmpty());
}

void TestConfigDialogOpen::storedBranchIsSelectedAgain_data() {
    QTest::addColumn<QString>("filial");
    QTest::addColumn<QString>("selected");
    QTest::newRow("active branch") << "02"
                                   << "02 - FILIAL CENTRO";
    QTest::newRow("inactive branch") << "05"
                                     << "";
    QTest::newRow("unknown branch") << "77"
                                    << "";
    QTest::newRow("code with another case") << "a1"
                                            << "";
    QTest::newRow("no branch stored") << ""
                                      << "";
}

void TestConfigDialogOpen::storedBranchIsSelectedAgain() {
    QFETCH(QString, filial);
    QFETCH(QString, selected);
    QList<Branch> rows = TwoBranches;
    rows.append({"05", "FECHADA", QStringLiteral("N")});
    rows.append({"A1", "LETRAS", QStringLiteral("S")});
    const QString db = fx->database(QStringLiteral("erp.fdb"), rows);
    setLocalValues(db);
    writeSettings(
        {{"LocRem", "L"}, {"CaminhoBanco", db}, {"Usuario", "SYSDBA"}, {"Senha", "x"}, {"Filial", filial}});
    auto d = openDialog();
    QCOMPARE(list(d.get(), "ppbFiliais")->count(), 3);
    QCOMPARE(list(d.get(), "ppbFiliais")->currentText(), selected);
    QCOMPARE(list(d.get(), "ppbFiliais")->currentIndex() >= 0, !selected.isEmpty());
    QCOMPARE(Values.Filial, filial);
}

void TestConfigDialogOpen::fileValuesWithEmptyValuesInMemoryTryNoConnection() {
    const QString db = fx->database(QStringLiteral("erp.fdb"), TwoBranches);
    writeSettings(
        {{"LocRem", "L"}, {"CaminhoBanco", db}, {"Usuario", "SYSDBA"}, {"Senha", "x"}, {"Filial", "01"}});
    auto d = openDialog();
    QCOMPARE(edit(d.get(), "edtCaminhoBanco")->text(), db);
    QCOMPARE(list(d.get(), "ppbFiliais")->count(), 0);
    QVERIFY(!d->mudouBanco());
    QCOMPARE(d->camBanco(), db);
}

void TestConfigDialogOpen::unreachableDatabaseLeavesTheListEmptySilently() {
    setLocalValues(fx->path(QStringLiteral("missing.fdb")));
    writeSettings({{"LocRem", "L"}, {"CaminhoBanco", "/dados/erp.fdb"}, {"Usuario", "ana"}, {"Senha", "x"}});
    auto d = openDialog();
    QCOMPARE(list(d.get(), "ppbFiliais")->count(), 0);
    QCOMPARE(edit(d.get(), "edtCaminhoBanco")->text(), QStringLiteral("/dados/erp.fdb"));
    QVERIFY(fx->platform.messages.isEmpty());

    // A remote location with a protocol outside the list names no database: silent too.
    Values.LocRem = QStringLiteral("R");
    Values.Protocolo = QStringLiteral("-1");
    auto again = openDialog();
    QCOMPARE(list(again.get(), "ppbFiliais")->count(), 0);
    QVERIFY(fx->platform.messages.isEmpty());
}

void TestConfigDialogOpen::wrongDatabaseIsReportedAndTheDialogStillOpens_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("inText"); // a part of the reported text
    QTest::newRow("no table FILIAIS") << "no table"
                                      << "FILIAIS";
    QTest::newRow("FILIALATIVA of another type") << "integer flag"
                                                 << "conversion error from string \"N\"";
    QTest::newRow("error while the rows are read") << "bad second row"
                                                   << "conversion error from string \"MATRIZ\"";
    QTest::newRow("server lost once attached") << "lost server"
                                               << "connection";
}

// A database the branch query fails on: the error is reported as any
// uncaught error, and the dialog opens as after a failed connection, so
// the path can be corrected there.
void TestConfigDialogOpen::wrongDatabaseIsReportedAndTheDialogStillOpens() {
    QFETCH(QString, kind);
    QFETCH(QString, inText);
    std::unique_ptr<FirebirdServer> server;
    int calls = 0; // blocking calls seen by the hook below; outlives it
    struct RunnerReset {
        ~RunnerReset() { setBeforeBlockingCall({}); }
    } runnerReset;
    QString stored = fx->path(QStringLiteral("errado.fdb"));
    if (kind == u"no table") {
        createErpDatabase(stored, {}, false);
    } else if (kind == u"integer flag" || kind == u"bad second row") {
        createErpDatabase(stored, {}, false);
        const QString table =
            kind == u"integer flag"
                ? QStringLiteral("CREATE TABLE FILIAIS (CODEMPRESA VARCHAR(10), NOMEEMPRESA VARCHAR(60), "
                                 "FILIALATIVA INTEGER);\n"
                                 "INSERT INTO FILIAIS VALUES ('01', 'MATRIZ', 1);\n")
                : QStringLiteral("CREATE TABLE FILIAIS (CODEMPRESA VARCHAR(10), NOME VARCHAR(60), "
                                 "FILIALATIVA CHAR(1), NOMEEMPRESA COMPUTED BY (CAST(NOME AS INTEGER)));\n"
                                 "INSERT INTO FILIAIS VALUES ('01', '1', 'S');\n"
                                 "INSERT INTO FILIAIS VALUES ('02', 'MATRIZ', 'S');\n");
        runIsql(
            QStringLiteral("CONNECT %1 USER %2;\n").arg(sqlLiteral(stored), sqlLiteral(ErpDatabaseOwner)) +
            table + QStringLiteral("COMMIT;\n"));
    } else {
        ORVANTO_REQUIRE_FIREBIRD_SERVER();
        server = std::make_unique<FirebirdServer>();
        stored = server->dataFolder() + QStringLiteral("/erp.fdb");
        createErpDatabase(stored, TwoBranches);
    }
    if (server) {
        Values.LocRem = QStringLiteral("R");
        Values.Protocolo = QStringLiteral("0");
        Values.Servidor = server->hostPort();
        Values.CaminhoBanco = stored;
        Values.Usuario = server->user();
        Values.Senha = server->password();
        writeSettings({{"LocRem", "R"},
                       {"Comp", "0"},
                       {"Servidor", Values.Servidor},
                       {"Protocolo", "0"},
                       {"CaminhoBanco", stored},
                       {"Usuario", Values.Usuario},
                       {"Senha", Values.Senha},
                       {"Filial", "01"}});
        // The server goes away between the attachment and the query.
        setBeforeBlockingCall([&](BlockingCall kind) {
            if (kind == BlockingCall::Query && ++calls == 1)
                server->stop();
        });
    } else {
        setLocalValues(stored);
        writeSettings({{"LocRem", "L"},
                       {"Comp", "0"},
                       {"CaminhoBanco", stored},
                       {"Usuario", "SYSDBA"},
                       {"Senha", "masterkey"},
                       {"Filial", "01"}});
    }

    auto d = openDialog();
    QCOMPARE(fx->platform.messages.size(), 1);
    const auto& report = fx->platform.messages.front();
    QCOMPARE(report.kind, MessageKind::Plain);
    QCOMPARE(report.caption, QStringLiteral("Orvanto"));
    QVERIFY2(!report.text.isEmpty() && report.text.contains(inText), qPrintable(report.text));

    // Open as after a failed connection: fields from the file, no branches.
    QVERIFY(d->isVisible());
    QComboBox* branches = list(d.get(), "ppbFiliais");
    QCOMPARE(branches->count(), 0);
    QCOMPARE(branches->currentIndex(), -1);
    QCOMPARE(edit(d.get(), "edtCaminhoBanco")->text(), stored);
    QCOMPARE(Values.Filial, QStringLiteral("01"));
    QVERIFY(!d->mudouBanco());

    // The user corrects the path and reaches the branches.
    const QString good = fx->database(QStringLiteral("erp.fdb"), TwoBranches);
    QTest::mouseClick(radio(d.get(), "rdbLocal"), Qt::LeftButton, {}, QPoint(5, 9));
    QLineEdit* path = edit(d.get(), "edtCaminhoBanco");
    QTest::mouseClick(path, Qt::LeftButton);
    path->selectAll();
    QTest::keyClicks(path, good);
    edit(d.get(), "edtUsuario")->setText(ErpDatabaseOwner);
    QTest::keyClick(path, Qt::Key_Return);
    tabs(d.get())->setCurrentIndex(1);
    edit(d.get(), "edtPasta")->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(edit(d.get(), "edtPasta"), Qt::Key_Return);
    QCOMPARE(items(branches), QStringList({"01 - MATRIZ", "02 - FILIAL CENTRO"}));
    QCOMPARE(fx->platform.messages.size(), 1);
}

void TestConfigDialogOpen::openingWritesNothing() {
    // No file: opening creates neither the folder nor the file.
    { auto d = openDialog(); }
    QVERIFY(!QFileInfo::exists(settingsFolder()));

    const QByteArray before =
        settingsText({{"LocRem", "R"}, {"Comp", "0"}, {"Servidor", "10.0.0.1"}}, "[Gadget]\r\nX=1\r\n");
    writeFile(settingsFilePath(), before);
    { auto d = openDialog(); }
    QCOMPARE(readFile(settingsFilePath()), before);
}

ORVANTO_TEST_MAIN(TestConfigDialogOpen)
#include "tst_configdialog_open.moc"
