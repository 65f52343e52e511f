// The branch list after opening: stale when the path changes, read again
// through the fields' database when entered; the server:path split; the
// local/remote switch.

#include "DialogFixture.h"

#include "FirebirdServer.h"

#include <QFile>
#include <QTabBar>

#include "database/Database.h"

class TestConfigDialogBranches : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { server.reset(); }
    void init() { fx = std::make_unique<DialogFixture>(); }
    void cleanup() {
        fx.reset();
        QVERIFY2(noDialogLeft(), "a settings dialog was left over");
    }

    void enteringACurrentListReadsNothing();
    void changedPathRefillsWithNothingSelected();
    void samePathTypedAgainKeepsTheListCurrent();
    void listLeftEmptyByOpeningWaitsForAPathChange();
    void failedRefillKeepsTheListStale();
    void queryErrorOnRefillIsReported();
    void pageSwitchAndStaleList_data();
    void pageSwitchAndStaleList();
    void saveReadsAStaleListFirst_data();
    void saveReadsAStaleListFirst();
    void pathSplitsIntoServerAndPath_data();
    void pathSplitsIntoServerAndPath();
    void probeFromTheFields_data();
    void probeFromTheFields();
    void wrongPasswordThenCorrected();
    void switchingLocalAndRemote();
    void branchConnectionEndsAfterTheFirstFrame_data();
    void branchConnectionEndsAfterTheFirstFrame();
    void branchConnectionIsGoneBeforeTheNextDatabaseUse_data();
    void branchConnectionIsGoneBeforeTheNextDatabaseUse();

private:
    // The server's user attachments other than the asking one.
    int otherAttachments();
    // Opened with the list read from a database with two branches, "01" selected.
    std::unique_ptr<TfrmConfig> currentDialog();
    void enterList(TfrmConfig* d);
    void leaveList(TfrmConfig* d);
    void typePath(TfrmConfig* d, const QString& text, const char* leaveTo = "edtConfSenha");
    void clickTab(TfrmConfig* d, int index);

    std::unique_ptr<DialogFixture> fx;
    std::unique_ptr<FirebirdServer> server;
    QString remoteDb;
    QString db;
};

void TestConfigDialogBranches::initTestCase() {
    if (!FirebirdServer::installed())
        return;
    server = std::make_unique<FirebirdServer>();
    remoteDb = server->dataFolder() + QStringLiteral("/erp.fdb");
    createErpDatabase(remoteDb,
                      {{"07", "REMOTA", QStringLiteral("S")}, {"08", "OUTRA", QStringLiteral("S")}});
}

std::unique_ptr<TfrmConfig> TestConfigDialogBranches::currentDialog() {
    db = fx->database(QStringLiteral("erp.fdb"), TwoBranches);
    setLocalValues(db);
    writeSettings({{"LocRem", "L"},
                   {"Comp", "0"},
                   {"CaminhoBanco", db},
                   {"Usuario", "SYSDBA"},
                   {"Senha", "masterkey"},
                   {"Filial", "01"}});
    auto d = openDialog();
    if (list(d.get(), "ppbFiliais")->currentText() != u"01 - MATRIZ" || d->mudouBanco())
        qWarning("the list was not read at opening");
    return d;
}

void TestConfigDialogBranches::enterList(TfrmConfig* d) {
    tabs(d)->setCurrentIndex(1);
    QLineEdit* folder = edit(d, "edtPasta");
    folder->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(folder, Qt::Key_Return);
    QCOMPARE(focusName(), QStringLiteral("ppbFiliais"));
}

void TestConfigDialogBranches::leaveList(TfrmConfig* d) {
    QTest::mouseClick(edit(d, "edtPasta"), Qt::LeftButton);
    QCOMPARE(focusName(), QStringLiteral("edtPasta"));
}

// Types into the path field as a user would, then clicks another field.
void TestConfigDialogBranches::typePath(TfrmConfig* d, const QString& text, const char* leaveTo) {
    tabs(d)->setCurrentIndex(0);
    QLineEdit* path = edit(d, "edtCaminhoBanco");
    QTest::mouseClick(path, Qt::LeftButton);
    path->selectAll();
    QTest::keyClick(path, Qt::Key_Delete);
    QTest::keyClicks(path, text);
    QTest::mouseClick(edit(d, leaveTo), Qt::LeftButton);
}

void TestConfigDialogBranches::clickTab(TfrmConfig* d, int index) {
    QTabBar* bar = tabs(d)->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    QCOMPARE(tabs(d)->currentIndex(), index);
}

void TestConfigDialogBranches::enteringACurrentListReadsNothing() {
    auto d = currentDialog();
    QVERIFY(QFile::remove(db)); // any read now would empty the list
    enterList(d.get());
    leaveList(d.get());
    enterList(d.get());
    QCOMPARE(items(list(d.get(), "ppbFiliais")), QStringList({"01 - MATRIZ", "02 - FILIAL CENTRO"}));
    QCOMPARE(list(d.get(), "ppbFiliais")->currentText(), QStringLiteral("01 - MATRIZ"));
    QVERIFY(!d->mudouBanco());
}

void TestConfigDialogBranches::changedPathRefillsWithNothingSelected() {
    auto d = currentDialog();
    const QString other = fx->database(QStringLiteral("outro.fdb"), {{"01", "MATRIZ", QStringLiteral("S")},
                                                                     {"03", "NOVA", QStringLiteral("S")}});
    typePath(d.get(), other);
    QVERIFY(d->mudouBanco());
    // Leaving the path changes nothing in the list yet.
    QCOMPARE(list(d.get(), "ppbFiliais")->currentText(), QStringLiteral("01 - MATRIZ"));

    enterList(d.get());
    QCOMPARE(items(list(d.get(), "ppbFiliais")), QStringList({"01 - MATRIZ", "03 - NOVA"}));
    QCOMPARE(list(d.get(), "ppbFiliais")->currentIndex(), -1);
    QCOMPARE(d->camBanco(), other);
    QVERIFY(!d->mudouBanco());
    QVERIFY(fx->platform.messages.isEmpty());
}

void TestConfigDialogBranches::samePathTypedAgainKeepsTheListCurrent() {
    auto d = currentDialog();
    typePath(d.get(), QStringLiteral("  ") + db + QStringLiteral("  "));
    QVERIFY(!d->mudouBanco());

    // Once stale, typing the old path back does not make it current again.
    typePath(d.get(), db + QStringLiteral("x"));
    QVERIFY(d->mudouBanco());
    typePath(d.get(), db);
    QVERIFY(d->mudouBanco());
}

void TestConfigDialogBranches::listLeftEmptyByOpeningWaitsForAPathChange() {
    // The file names a good database, but the values in memory are empty.
    db = fx->database(QStringLiteral("erp.fdb"), TwoBranches);
    writeSettings({{"LocRem", "L"}, {"CaminhoBanco", db}, {"Usuario", "SYSDBA"}, {"Senha", "masterkey"}});
    auto d = openDialog();
    enterList(d.get());
    QCOMPARE(list(d.get(), "ppbFiliais")->count(), 0);

    const QString other = fx->database(QStringLiteral("outro.fdb"), TwoBranches);
    typePath(d.get(), other);
    enterList(d.get());
    QCOMPARE(list(d.get(), "ppbFiliais")->count(), 2);
}

void TestConfigDialogBranches::failedRefillKeepsTheListStale() {
    auto d = currentDialog();
    typePath(d.get(), fx->path(QStringLiteral("ainda-nao.fdb")));
    enterList(d.get());
    QCOMPARE(list(d.get(), "ppbFiliais")->count(), 0);
    QCOMPARE(list(d.get(), "ppbFiliais")->currentIndex(), -1);
    QVERIFY(d->mudouBanco());
    QVERIFY(fx->platform.messages.isEmpty());

    // The database appears; entering again reads it, though the path did not change.
    leaveList(d.get());
    fx->database(QStringLiteral("ainda-nao.fdb"), {{"09", "AGORA", QStringLiteral("S")}});
    enterList(d.get());
    QCOMPARE(items(list(d.get(), "ppbFiliais")), QStringList{QStringLiteral("09 - AGORA")});
    QVERIFY(!d->mudouBanco());

    // An empty table leaves the list stale as well.
    const QString empty = fx->database(QStringLiteral("vazio.fdb"), {{"05", "FECHADA", QStringLiteral("N")}});
    typePath(d.get(), empty);
    enterList(d.get());
    QCOMPARE(list(d.get(), "ppbFiliais")->count(), 0);
    QVERIFY(d->mudouBanco());
}

void TestConfigDialogBranches::queryErrorOnRefillIsReported() {
    auto d = currentDialog();
    const QString noTable = fx->database(QStringLiteral("semtabela.fdb"), {}, false);
    typePath(d.get(), noTable);
    enterList(d.get());

    QCOMPARE(fx->platform.messages.size(), 1);
    const auto& report = fx->platform.messages.front();
    QCOMPARE(report.kind, MessageKind::Plain);
    QCOMPARE(report.caption, QStringLiteral("Orvanto"));
    QVERIFY2(report.text.contains(QStringLiteral("FILIAIS")), qPrintable(report.text));
    QVERIFY(report.text.endsWith(u'.'));
    QCOMPARE(list(d.get(), "ppbFiliais")->count(), 0);
    QCOMPARE(list(d.get(), "ppbFiliais")->currentIndex(), -1);
    QVERIFY(d->mudouBanco());
    QVERIFY(d->isVisible());
}

void TestConfigDialogBranches::pageSwitchAndStaleList_data() {
    QTest::addColumn<bool>("enterChain");
    QTest::newRow("Enter chain from the path field") << true;
    QTest::newRow("click on the page's tab") << false;
}

// The list was entered once, so showing its page hands the focus back to
// it. The Enter chain's own switch moves on to the folder field without
// reading anything; a page the user shows hands the list the focus, and a
// stale list is read then: the keys never step through another database's
// branches.
void TestConfigDialogBranches::pageSwitchAndStaleList() {
    QFETCH(bool, enterChain);
    auto d = currentDialog();
    const QString other = fx->database(QStringLiteral("outro.fdb"), {{"05", "OUTRA", QStringLiteral("S")}});
    enterList(d.get());
    clickTab(d.get(), 0);

    QComboBox* branches = list(d.get(), "ppbFiliais");
    if (enterChain) {
        QLineEdit* path = edit(d.get(), "edtCaminhoBanco");
        QTest::mouseClick(path, Qt::LeftButton);
        path->selectAll();
        QTest::keyClicks(path, other);
        for (const char* next : {"edtUsuario", "edtSenha", "edtConfSenha", "edtPasta"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QCOMPARE(focusName(), QString::fromLatin1(next));
        }
        QCOMPARE(tabs(d.get())->currentIndex(), 1);
        QVERIFY(d->mudouBanco());
        QCOMPARE(items(branches), QStringList({"01 - MATRIZ", "02 - FILIAL CENTRO"}));
    } else {
        typePath(d.get(), other);
        clickTab(d.get(), 1);
        QCOMPARE(focusName(), QStringLiteral("ppbFiliais"));
        QVERIFY(!d->mudouBanco());
        QCOMPARE(items(branches), QStringList{QStringLiteral("05 - OUTRA")});
        QCOMPARE(branches->currentIndex(), -1);
        QTest::keyClick(branches, Qt::Key_Down);
        QCOMPARE(branches->currentText(), QStringLiteral("05 - OUTRA"));
    }
}

void TestConfigDialogBranches::saveReadsAStaleListFirst_data() {
    QTest::addColumn<QList<Branch>>("otherBranches");
    QTest::addColumn<QString>("filial"); // saved, or empty: nothing saved and warned
    QTest::newRow("the new database lacks the chosen branch")
        << QList<Branch>{{"05", "OUTRA", "S"}} << QString();
    QTest::newRow("the new database has the chosen branch")
        << QList<Branch>{{"03", "OUTRA", "S"}, {"01", "MATRIZ NOVA", "S"}} << QStringLiteral("01");
    QTest::newRow("the new database cannot be read") << QList<Branch>{} << QString();
}

// A list read for another path would pair the saved database with a branch
// it does not have: the save reads a stale list through the fields first,
// keeps the chosen branch when the new list has its code, and warns
// otherwise.
void TestConfigDialogBranches::saveReadsAStaleListFirst() {
    QFETCH(QList<Branch>, otherBranches);
    QFETCH(QString, filial);
    auto d = currentDialog();
    const QString other = otherBranches.isEmpty() ? fx->path(QStringLiteral("nada.fdb"))
                                                  : fx->database(QStringLiteral("outro.fdb"), otherBranches);
    QComboBox* branches = list(d.get(), "ppbFiliais");
    QCOMPARE(branches->currentText(), QStringLiteral("01 - MATRIZ"));
    edit(d.get(), "edtPasta")->setText(fx->path(QStringLiteral("gadgets")));
    typePath(d.get(), other);
    const QByteArray before = readFile(settingsFilePath());

    QTest::mouseClick(control<QPushButton>(d.get(), "btnSalvar"), Qt::LeftButton);
    if (filial.isEmpty()) {
        QCOMPARE(fx->platform.texts(), QStringList{"Selecione a Filial em que será validada a senha!"});
        QCOMPARE(d->result(), int(QDialog::Rejected));
        QCOMPARE(readFile(settingsFilePath()), before);
        QCOMPARE(focusName(), QStringLiteral("ppbFiliais"));
        QCOMPARE(tabs(d.get())->currentIndex(), 1);
        QCOMPARE(branches->currentIndex(), -1);
        QCOMPARE(branches->count(), otherBranches.size());
    } else {
        QVERIFY2(fx->platform.messages.isEmpty(), qPrintable(fx->platform.texts().join(u'|')));
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(Values.CaminhoBanco, other);
        QCOMPARE(Values.Filial, filial);
        QCOMPARE(storedSetting(QStringLiteral("Filial")), filial);
    }
}

void TestConfigDialogBranches::pathSplitsIntoServerAndPath_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("startRemote");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("servidor"); // null: no split
    QTest::addColumn<QString>("focus");

    QTest::newRow("server and path") << "srv:C:\\dados\\erp.fdb" << false << "C:\\dados\\erp.fdb"
                                     << "srv"
                                     << "edtUsuario";
    QTest::newRow("address and path") << "10.0.0.1:/dados/erp.fdb" << false << "/dados/erp.fdb"
                                      << "10.0.0.1"
                                      << "edtUsuario";
    QTest::newRow("blanks around") << "  srv:/x.fdb " << false << "/x.fdb"
                                   << "srv"
                                   << "edtUsuario";
    QTest::newRow("only the first colon") << "srv:a:b" << false << "a:b"
                                          << "srv"
                                          << "edtUsuario";
    QTest::newRow("already remote") << "srv:/x.fdb" << true << "/x.fdb"
                                    << "srv"
                                    << "edtUsuario";
    QTest::newRow("drive letter") << "C:\\dados\\erp.fdb" << false << "C:\\dados\\erp.fdb" << QString()
                                  << "edtConfSenha";
    QTest::newRow("one-letter server") << "a:b" << false << "a:b" << QString() << "edtConfSenha";
    QTest::newRow("colon first") << ":abc" << false << ":abc" << QString() << "edtConfSenha";
    QTest::newRow("no colon") << "/dados/erp.fdb" << false << "/dados/erp.fdb" << QString() << "edtConfSenha";
}

void TestConfigDialogBranches::pathSplitsIntoServerAndPath() {
    QFETCH(QString, typed);
    QFETCH(bool, startRemote);
    QFETCH(QString, path);
    QFETCH(QString, servidor);
    QFETCH(QString, focus);

    auto d = openDialog();
    if (startRemote) {
        radio(d.get(), "rdbRemota")->setChecked(true);
        list(d.get(), "ppbProtocolo")->setCurrentIndex(2);
    }
    typePath(d.get(), typed);

    const bool split = !servidor.isNull();
    QCOMPARE(edit(d.get(), "edtCaminhoBanco")->text(), split ? path : typed);
    QCOMPARE(edit(d.get(), "edtServidor")->text(), split ? servidor : QString());
    QCOMPARE(radio(d.get(), "rdbRemota")->isChecked(), split || startRemote);
    QCOMPARE(edit(d.get(), "edtServidor")->isEnabled(), split || startRemote);
    QCOMPARE(list(d.get(), "ppbProtocolo")->isEnabled(), split || startRemote);
    QCOMPARE(control<QToolButton>(d.get(), "spbCaminhoBanco")->isEnabled(), !(split || startRemote));
    QCOMPARE(list(d.get(), "ppbProtocolo")->currentIndex(), startRemote ? 2 : -1); // never touched
    QCOMPARE(focusName(), focus);
    QVERIFY(d->mudouBanco());
}

void TestConfigDialogBranches::probeFromTheFields_data() {
    QTest::addColumn<bool>("remote");
    QTest::addColumn<QString>("servidor"); // <server> stands for the test server's host and port
    QTest::addColumn<int>("protocolo");
    QTest::addColumn<QString>("senha");
    QTest::addColumn<bool>("read");

    QTest::newRow("TCP") << true << "<server>" << 0 << "<pw>" << true;
    QTest::newRow("no protocol: server:path") << true << "<server>" << -1 << "<pw>" << true;
    QTest::newRow("fields trimmed") << true << " <server> " << 0 << " <pw>  " << true;
    QTest::newRow("named pipe form") << true << "<server>" << 1 << "<pw>" << false;
    QTest::newRow("SPX form") << true << "<server>" << 2 << "<pw>" << false;
    QTest::newRow("remote without a server") << true << "" << -1 << "<pw>" << false;
    QTest::newRow("wrong password") << true << "<server>" << 0 << "errada" << false;
    QTest::newRow("password of blanks") << true << "<server>" << 0 << "   " << false;
}

void TestConfigDialogBranches::probeFromTheFields() {
    ORVANTO_REQUIRE_FIREBIRD_SERVER();
    QFETCH(bool, remote);
    QFETCH(QString, servidor);
    QFETCH(int, protocolo);
    QFETCH(QString, senha);
    QFETCH(bool, read);
    servidor.replace(QStringLiteral("<server>"), server->hostPort());
    senha.replace(QStringLiteral("<pw>"), server->password());

    auto d = openDialog(); // no file: the list is stale from the start
    QVERIFY(d->mudouBanco());
    if (remote) {
        radio(d.get(), "rdbRemota")->setChecked(true);
        edit(d.get(), "edtServidor")->setText(servidor);
        list(d.get(), "ppbProtocolo")->setCurrentIndex(protocolo);
    }
    edit(d.get(), "edtCaminhoBanco")->setText(remoteDb);
    edit(d.get(), "edtUsuario")->setText(QStringLiteral(" SYSDBA "));
    edit(d.get(), "edtSenha")->setText(senha);
    edit(d.get(), "edtConfSenha")->setText(QStringLiteral("nao usada"));
    enterList(d.get());

    QCOMPARE(items(list(d.get(), "ppbFiliais")),
             read ? QStringList({"07 - REMOTA", "08 - OUTRA"}) : QStringList());
    QCOMPARE(d->mudouBanco(), !read);
    QVERIFY(fx->platform.messages.isEmpty());
}

void TestConfigDialogBranches::wrongPasswordThenCorrected() {
    ORVANTO_REQUIRE_FIREBIRD_SERVER();
    auto d = openDialog();
    radio(d.get(), "rdbRemota")->setChecked(true);
    edit(d.get(), "edtServidor")->setText(server->hostPort());
    typePath(d.get(), remoteDb);
    edit(d.get(), "edtSenha")->setText(QStringLiteral("errada"));
    enterList(d.get());
    QCOMPARE(list(d.get(), "ppbFiliais")->count(), 0);
    QVERIFY(d->mudouBanco());

    tabs(d.get())->setCurrentIndex(0);
    edit(d.get(), "edtSenha")->setText(server->password());
    enterList(d.get());
    QCOMPARE(list(d.get(), "ppbFiliais")->count(), 2);
    QVERIFY(!d->mudouBanco());
}

void TestConfigDialogBranches::switchingLocalAndRemote() {
    auto d = currentDialog();
    QTest::mouseClick(radio(d.get(), "rdbRemota"), Qt::LeftButton);
    QVERIFY(radio(d.get(), "rdbRemota")->isChecked());
    QCOMPARE(focusName(), QStringLiteral("edtServidor"));
    QVERIFY(edit(d.get(), "edtServidor")->isEnabled());
    QVERIFY(list(d.get(), "ppbProtocolo")->isEnabled());
    QVERIFY(!control<QToolButton>(d.get(), "spbCaminhoBanco")->isEnabled());
    QTest::keyClicks(edit(d.get(), "edtServidor"), QStringLiteral("10.0.0.5"));
    list(d.get(), "ppbProtocolo")->setCurrentIndex(0);

    QTest::mouseClick(radio(d.get(), "rdbLocal"), Qt::LeftButton);
    QVERIFY(radio(d.get(), "rdbLocal")->isChecked());
    QCOMPARE(edit(d.get(), "edtServidor")->text(), QString());
    QVERIFY(!edit(d.get(), "edtServidor")->isEnabled());
    QCOMPARE(list(d.get(), "ppbProtocolo")->currentIndex(), -1);
    QVERIFY(!list(d.get(), "ppbProtocolo")->isEnabled());
    QVERIFY(control<QToolButton>(d.get(), "spbCaminhoBanco")->isEnabled());
    // Neither the path nor the list is touched, and the list stays current.
    QCOMPARE(edit(d.get(), "edtCaminhoBanco")->text(), db);
    QCOMPARE(list(d.get(), "ppbFiliais")->currentText(), QStringLiteral("01 - MATRIZ"));
    QVERIFY(!d->mudouBanco());
}

int TestConfigDialogBranches::otherAttachments() {
    TTransaction transaction;
    TDatabase watcher;
    watcher.DatabaseName = server->databaseName(remoteDb);
    watcher.Params = ConnectionParams(server->user(), server->password());
    watcher.DefaultTransaction = &transaction;
    transaction.DefaultDatabase = &watcher;
    TQuery query(&watcher);
    query.SQL = QStringLiteral("SELECT COUNT(*) AS N FROM MON$ATTACHMENTS "
                               "WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION AND MON$SYSTEM_FLAG = 0");
    query.Open();
    return query.FieldByName(QStringLiteral("N")).toInt();
}

void TestConfigDialogBranches::branchConnectionEndsAfterTheFirstFrame_data() {
    QTest::addColumn<bool>("shown");
    QTest::newRow("shown") << true;
    QTest::newRow("closed unseen") << false;
}

void TestConfigDialogBranches::branchConnectionEndsAfterTheFirstFrame() {
    ORVANTO_REQUIRE_FIREBIRD_SERVER();
    QFETCH(bool, shown);
    Values.LocRem = QStringLiteral("R");
    Values.Protocolo = QStringLiteral("0");
    Values.Servidor = server->hostPort();
    Values.CaminhoBanco = remoteDb;
    Values.Usuario = server->user();
    Values.Senha = server->password();
    QCOMPARE(otherAttachments(), 0);

    auto d = std::make_unique<TfrmConfig>(nullptr, Values);
    QCOMPARE(list(d.get(), "ppbFiliais")->count(), 2);
    // Letting go of the connection waits for the dialog to be seen...
    QCOMPARE(otherAttachments(), 1);
    if (shown) {
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d.get()));
        QTRY_COMPARE(otherAttachments(), 0);
        QVERIFY(d->isVisible());
    } else {
        // ...or for it to close, whichever comes first.
        d->reject();
        QCOMPARE(otherAttachments(), 0);
    }
}

void TestConfigDialogBranches::branchConnectionIsGoneBeforeTheNextDatabaseUse_data() {
    QTest::addColumn<bool>("save");
    QTest::newRow("save") << true;
    QTest::newRow("refill of a stale list") << false;
}

// Before its first frame the dialog still holds the opening's connection;
// a save or a refill that comes first lets go of it before it attaches.
void TestConfigDialogBranches::branchConnectionIsGoneBeforeTheNextDatabaseUse() {
    ORVANTO_REQUIRE_FIREBIRD_SERVER();
    QFETCH(bool, save);
    Values.LocRem = QStringLiteral("R");
    Values.Protocolo = QStringLiteral("0");
    Values.Servidor = server->hostPort();
    Values.CaminhoBanco = remoteDb;
    Values.Usuario = server->user();
    Values.Senha = server->password();

    auto d = std::make_unique<TfrmConfig>(nullptr, Values);
    QCOMPARE(otherAttachments(), 1);

    // Counts the attachments as the dialog's next attachment starts.
    int seen = -1;
    bool counting = false;
    setBeforeBlockingCall([&](BlockingCall kind) {
        if (kind == BlockingCall::Open && seen < 0 && !counting) {
            counting = true;
            seen = otherAttachments();
            counting = false;
        }
    });
    struct RunnerReset {
        ~RunnerReset() { setBeforeBlockingCall({}); }
    } runnerReset;

    edit(d.get(), "edtCaminhoBanco")->setText(server->databaseName(remoteDb));
    edit(d.get(), "edtUsuario")->setText(server->user());
    edit(d.get(), "edtSenha")->setText(server->password());
    edit(d.get(), "edtConfSenha")->setText(server->password());
    if (save) {
        list(d.get(), "ppbFiliais")->setCurrentIndex(0);
        d->btnSalvarClick();
        QCOMPARE(d->result(), int(QDialog::Accepted));
    } else {
        d->edtCaminhoBancoExit();
        QVERIFY(d->mudouBanco());
        d->ppbFiliaisEnter();
        QCOMPARE(list(d.get(), "ppbFiliais")->count(), 2);
    }
    QCOMPARE(seen, 0);
    QVERIFY2(fx->platform.messages.isEmpty(), qPrintable(fx->platform.texts().join(u'|')));
}

ORVANTO_TEST_MAIN(TestConfigDialogBranches)
#include "tst_configdialog_branches.moc"
