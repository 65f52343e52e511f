// "Salvar": the nine checks in order, what the fields become in the settings
// values and the settings file, the connection test, closing.

#include "DialogFixture.h"

#include "FirebirdServer.h"
#include "settings/IniFile.h"

#include <QFileInfo>
#include <QTimer>

namespace {
const QString ConnectFailure =
    QStringLiteral("Rezovuz - Edozed ev Urevivar\r\n\r\nNão foi possível conectar ao banco de dados!\r\n");

QStringList settingsValues() {
    return {Values.LocRem,  Values.Comp,  Values.Servidor,         Values.Protocolo,  Values.CaminhoBanco,
            Values.Usuario, Values.Senha, Values.DiretorioGadgets, Values.ModoPainel, Values.Filial};
}

} // namespace

class TestConfigDialogSave : public QObject {
    Q_OBJECT

private slots:
    void init() { fx = std::make_unique<DialogFixture>(); }
    void cleanup() {
        fx.reset();
        QVERIFY2(noDialogLeft(), "a settings dialog was left over");
    }

    void eachCheckStopsTheSave_data();
    void eachCheckStopsTheSave();
    void savesTheFileAsTheGadgetsReadIt();
    void firstSaveOnANewMachineCreatesFolderAndFile();
    void storedLocation_data();
    void storedLocation();
    void remoteServerByNameIsReachedThroughTheSavedPath();
    void filialIsTheFirstTwoCharacters_data();
    void filialIsTheFirstTwoCharacters();
    void gadgetsFolderGetsItsSeparator_data();
    void gadgetsFolderGetsItsSeparator();
    void failedConnectionTestStillCloses();
    void unwritableFileKeepsTheDialogOpen();
    void savingFromTheModalLoop();

private:
    // A dialog whose list was read at opening from a database with two
    // branches, and whose fields all pass the checks.
    std::unique_ptr<TfrmConfig> validDialog(const QList<Branch>& rows = TwoBranches);
    std::unique_ptr<DialogFixture> fx;
    QString db;
};

std::unique_ptr<TfrmConfig> TestConfigDialogSave::validDialog(const QList<Branch>& rows) {
    db = fx->database(QStringLiteral("erp.fdb"), rows);
    setLocalValues(db);
    auto d = openDialog();
    edit(d.get(), "edtCaminhoBanco")->setText(db);
    edit(d.get(), "edtUsuario")->setText(QStringLiteral("SYSDBA"));
    edit(d.get(), "edtSenha")->setText(QStringLiteral("masterkey"));
    edit(d.get(), "edtConfSenha")->setText(QStringLiteral("masterkey"));
    edit(d.get(), "edtPasta")->setText(fx->path(QStringLiteral("gadgets/")));
    // No settings file: the opening left the list to be read through the
    // fields, as entering it does.
    d->ppbFiliaisEnter();
    list(d.get(), "ppbFiliais")->setCurrentIndex(0);
    return d;
}

void TestConfigDialogSave::eachCheckStopsTheSave_data() {
    QTest::addColumn<QString>("pasta");
    QTest::addColumn<QString>("caminho");
    QTest::addColumn<QString>("usuario");
    QTest::addColumn<QString>("senha");
    QTest::addColumn<QString>("confSenha");
    QTest::addColumn<QString>("servidor"); // non-empty or blanks: "Remota" chosen
    QTest::addColumn<int>("protocolo");
    QTest::addColumn<bool>("branch");
    QTest::addColumn<int>("startPage");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("page");

    const QString ok = QStringLiteral("ok"); // stands for a valid value
    QTest::newRow("1 folder of blanks")
        << " \t " << ok << ok << ok << ok << QString() << -1 << true << 0 << "Informe a pasta das Gadgets!"
        << "edtPasta" << 1;
    QTest::newRow("1 before every other") << ""
                                          << ""
                                          << ""
                                          << ""
                                          << ""
                                          << " " << -1 << false << 0 << "Informe a pasta das Gadgets!"
                                          << "edtPasta" << 1;
    QTest::newRow("2 path") << ok << "  " << ok << ok << ok << QString() << -1 << true << 1
                            << "Informe o caminho do banco de dados!"
                            << "edtCaminhoBanco" << 0;
    QTest::newRow("3 user") << ok << ok << "\t" << ok << ok << QString() << -1 << true << 1
                            << "Informe o usuário do banco de dados!"
                            << "edtUsuario" << 0;
    QTest::newRow("4 password") << ok << ok << ok << " " << ok << QString() << -1 << true << 1
                                << "Informe a senha do banco de dados!"
                                << "edtSenha" << 0;
    QTest::newRow("5 confirmation") << ok << ok << ok << ok << "" << QString() << -1 << true << 1
                                    << "Confirme a senha do banco de dados!"
                                    << "edtConfSenha" << 0;
    QTest::newRow("6 letter case differs")
        << ok << ok << ok << "Segredo"
        << "segredo" << QString() << -1 << true << 1 << "Senha do banco de dados não confirmada!"
        << "edtSenha" << 0;
    QTest::newRow("7 server of blanks")
        << ok << ok << ok << ok << ok << "   " << 0 << true << 0 << "Informe o Servidor!"
        << "edtServidor" << 0;
    QTest::newRow("8 address without protocol") << ok << ok << ok << ok << ok << "192.168.0.10" << -1 << true
                                                << 1 << "Informe o Protocolo da conexão!"
                                                << "ppbProtocolo" << 1;
    QTest::newRow("9 no branch") << ok << ok << ok << ok << ok << QString() << -1 << false << 0
                                 << "Selecione a Filial em que será validada a senha!"
                                 << "ppbFiliais" << 1;
    QTest::newRow("9 after a host name without protocol")
        << ok << ok << ok << ok << ok << "servidor01" << -1 << false << 0
        << "Selecione a Filial em que será validada a senha!"
        << "ppbFiliais" << 1;
}

void TestConfigDialogSave::eachCheckStopsTheSave() {
    QFETCH(QString, pasta);
    QFETCH(QString, caminho);
    QFETCH(QString, usuario);
    QFETCH(QString, senha);
    QFETCH(QString, confSenha);
    QFETCH(QString, servidor);
    QFETCH(int, protocolo);
    QFETCH(bool, branch);
    QFETCH(int, startPage);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QFETCH(int, page);

    auto d = validDialog();
    auto set = [&](const char* name, const QString& value) {
        if (value != u"ok")
            edit(d.get(), name)->setText(value);
    };
    set("edtPasta", pasta);
    set("edtCaminhoBanco", caminho);
    set("edtUsuario", usuario);
    set("edtSenha", senha);
    set("edtConfSenha", confSenha);
    if (!servidor.isNull()) {
        radio(d.get(), "rdbRemota")->setChecked(true);
        edit(d.get(), "edtServidor")->setText(servidor);
        list(d.get(), "ppbProtocolo")->setCurrentIndex(protocolo);
    }
    if (!branch)
        list(d.get(), "ppbFiliais")->setCurrentIndex(-1);
    tabs(d.get())->setCurrentIndex(startPage);
    const QStringList before = settingsValues();

    QTest::mouseClick(control<QPushButton>(d.get(), "btnSalvar"), Qt::LeftButton);

    QCOMPARE(fx->platform.texts(), QStringList{message});
    QCOMPARE(fx->platform.messages.front().kind, MessageKind::Warning);
    QCOMPARE(fx->platform.messages.front().caption, QStringLiteral("Warning"));
    QCOMPARE(focusName(), focus);
    QCOMPARE(tabs(d.get())->currentIndex(), page);
    QVERIFY(d->isVisible());
    QCOMPARE(settingsValues(), before);
    QVERIFY(!QFileInfo::exists(settingsFilePath()));
    if (message.contains(u"não confirmada")) {
        QCOMPARE(edit(d.get(), "edtSenha")->text(), QString());
        QCOMPARE(edit(d.get(), "edtConfSenha")->text(), QString());
    }
}

void TestConfigDialogSave::savesTheFileAsTheGadgetsReadIt() {
    db = fx->database(QStringLiteral("erp.fdb"), TwoBranches);
    const QByteArray gadgetSection = "\r\n[GadgetVendas]\r\nPosX=10\r\nPosY= 20 \r\n; nota\r\n";
    writeSettings({{"LocRem", "L"},
                   {"Comp", "0"},
                   {"Servidor", ""},
                   {"Protocolo", ""},
                   {"CaminhoBanco", db},
                   {"Usuario", "SYSDBA"},
                   {"Senha", "masterkey"},
                   {"DiretorioGadgets", "/opt/gadgets/"},
                   {"ModoPainel", "2"},
                   {"Filial", "01"}},
                  gadgetSection);
    CarregaConfig(Values); // as the panel's start left the values

    auto d = openDialog();
    QCOMPARE(list(d.get(), "ppbFiliais")->currentText(), QStringLiteral("01 - MATRIZ"));
    list(d.get(), "ppbFiliais")->setCurrentIndex(1);
    edit(d.get(), "edtPasta")->setText(QStringLiteral("/srv/gadgets"));
    edit(d.get(), "edtSenha")->setText(QStringLiteral("  masterkey "));
    QTest::mouseClick(control<QPushButton>(d.get(), "btnSalvar"), Qt::LeftButton);

    QVERIFY(fx->platform.messages.isEmpty()); // the connection test passed
    QVERIFY(!d->isVisible());
    QCOMPARE(d->result(), int(QDialog::Accepted));
    QCOMPARE(edit(d.get(), "edtPasta")->text(), QStringLiteral("/srv/gadgets/"));
    const QByteArray expected = settingsText({{"LocRem", "L"},
                                              {"Comp", "0"},
                                              {"Servidor", ""},
                                              {"Protocolo", ""},
                                              {"CaminhoBanco", db},
                                              {"Usuario", "SYSDBA"},
                                              {"Senha", "masterkey"},
                                              {"DiretorioGadgets", "/srv/gadgets/"},
                                              {"ModoPainel", "2"},
                                              {"Filial", "02"}},
                                             gadgetSection);
    QCOMPARE(readFile(settingsFilePath()), expected);
}

void TestConfigDialogSave::firstSaveOnANewMachineCreatesFolderAndFile() {
    auto d = validDialog();
    QVERIFY(!QFileInfo::exists(settingsFolder()));
    QTest::mouseClick(control<QPushButton>(d.get(), "btnSalvar"), Qt::LeftButton);
    QVERIFY(fx->platform.messages.isEmpty());
    QCOMPARE(readFile(settingsFilePath()), settingsText({{"LocRem", "L"},
                                                         {"Comp", "0"},
                                                         {"Servidor", ""},
                                                         {"Protocolo", ""},
                                                         {"CaminhoBanco", db},
                                                         {"Usuario", "SYSDBA"},
                                                         {"Senha", "masterkey"},
                                                         {"DiretorioGadgets", fx->path("gadgets/")},
                                                         {"ModoPainel", ""},
                                                         {"Filial", "01"}}));
    // The file holds the password: readable by its owner only.
    QCOMPARE(QFileInfo(settingsFilePath()).permissions() & (QFile::ReadGroup | QFile::ReadOther),
             QFileDevice::Permissions());
}

void TestConfigDialogSave::storedLocation_data() {
    QTest::addColumn<QString>("servidor"); // null: "Local"
    QTest::addColumn<int>("protocolo");
    QTest::addColumn<QString>("locRem");
    QTest::addColumn<QString>("comp");
    QTest::addColumn<QString>("storedServer");
    QTest::addColumn<QString>("storedProtocol");
    QTest::addColumn<QString>("storedPath"); // <db> stands for the path field

    QTest::newRow("local") << QString() << -1 << "L"
                           << "0"
                           << ""
                           << ""
                           << "<db>";
    QTest::newRow("address, NamedPipe") << "127.0.0.1" << 1 << "R"
                                        << "0"
                                        << "127.0.0.1"
                                        << "1"
                                        << "<db>";
    QTest::newRow("address, trimmed") << " 127.0.0.1 " << 0 << "R"
                                      << "0"
                                      << "127.0.0.1"
                                      << "0"
                                      << "<db>";
    QTest::newRow("host name, no protocol") << "localhost" << -1 << "L"
                                            << "1"
                                            << "localhost"
                                            << "-1"
                                            << "localhost:<db>";
    QTest::newRow("host name, SPX") << "localhost" << 2 << "L"
                                    << "1"
                                    << "localhost"
                                    << "2"
                                    << "localhost:<db>";
    QTest::newRow("address with a leading zero is a name") << "127.0.0.01" << -1 << "L"
                                                           << "1"
                                                           << "127.0.0.01"
                                                           << "-1"
                                                           << "127.0.0.01:<db>";
}

void TestConfigDialogSave::storedLocation() {
    QFETCH(QString, servidor);
    QFETCH(int, protocolo);
    QFETCH(QString, locRem);
    QFETCH(QString, comp);
    QFETCH(QString, storedServer);
    QFETCH(QString, storedProtocol);
    QFETCH(QString, storedPath);

    auto d = validDialog();
    storedPath.replace(QStringLiteral("<db>"), db);
    edit(d.get(), "edtCaminhoBanco")->setText(QStringLiteral("  ") + db + QStringLiteral(" "));
    if (!servidor.isNull()) {
        radio(d.get(), "rdbRemota")->setChecked(true);
        edit(d.get(), "edtServidor")->setText(servidor);
        list(d.get(), "ppbProtocolo")->setCurrentIndex(protocolo);
    }
    d->btnSalvarClick();

    QVERIFY(!d->isVisible());
    QCOMPARE(Values.LocRem, locRem);
    QCOMPARE(Values.Comp, comp);
    QCOMPARE(Values.Servidor, storedServer);
    QCOMPARE(Values.Protocolo, storedProtocol);
    QCOMPARE(Values.CaminhoBanco, storedPath);
    QCOMPARE(storedSetting("LocRem"), locRem);
    QCOMPARE(storedSetting("Comp"), comp);
    QCOMPARE(storedSetting("Servidor"), storedServer);
    QCOMPARE(storedSetting("Protocolo"), storedProtocol);
    QCOMPARE(storedSetting("CaminhoBanco"), storedPath);
    // Only the connection test may speak, and only of its own failure (no server listens here).
    for (const auto& m : fx->platform.messages) {
        QCOMPARE(m.kind, MessageKind::Plain);
        QVERIFY2(m.text.startsWith(ConnectFailure), qPrintable(m.text));
    }
    if (servidor.isNull())
        QVERIFY(fx->platform.messages.isEmpty());
}

void TestConfigDialogSave::remoteServerByNameIsReachedThroughTheSavedPath() {
    ORVANTO_REQUIRE_FIREBIRD_SERVER();
    FirebirdServer server;
    const QString remote = server.dataFolder() + QStringLiteral("/erp.fdb");
    createErpDatabase(remote, TwoBranches);

    auto d = openDialog();
    radio(d.get(), "rdbRemota")->setChecked(true);
    edit(d.get(), "edtServidor")->setText(server.hostPort()); // not a dotted quad: a name
    edit(d.get(), "edtCaminhoBanco")->setText(remote);
    edit(d.get(), "edtUsuario")->setText(server.user());
    edit(d.get(), "edtSenha")->setText(server.password());
    edit(d.get(), "edtConfSenha")->setText(server.password());
    edit(d.get(), "edtPasta")->setText(fx->path(QStringLiteral("gadgets")));
    // Entering the list reads it through the server ("server:path" without a protocol).
    tabs(d.get())->setCurrentIndex(1);
    list(d.get(), "ppbFiliais")->setFocus(Qt::TabFocusReason);
    QCOMPARE(items(list(d.get(), "ppbFiliais")), QStringList({"01 - MATRIZ", "02 - FILIAL CENTRO"}));
    list(d.get(), "ppbFiliais")->setCurrentIndex(0);

    QTest::mouseClick(control<QPushButton>(d.get(), "btnSalvar"), Qt::LeftButton);
    QVERIFY2(fx->platform.messages.isEmpty(), qPrintable(fx->platform.texts().join(u'|')));
    QVERIFY(!d->isVisible());
    QCOMPARE(storedSetting("CaminhoBanco"), server.hostPort() + u':' + remote);
    QCOMPARE(storedSetting("LocRem"), QStringLiteral("L"));
    QCOMPARE(storedSetting("Comp"), QStringLiteral("1"));
    QCOMPARE(storedSetting("Senha"), server.password());
}

void TestConfigDialogSave::filialIsTheFirstTwoCharacters_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("filial");
    QTest::newRow("two characters") << "01"
                                    << "01";
    QTest::newRow("one character") << "1"
                                   << "1 ";
    QTest::newRow("three characters") << "001"
                                      << "00";
}

void TestConfigDialogSave::filialIsTheFirstTwoCharacters() {
    QFETCH(QString, code);
    QFETCH(QString, filial);
    auto d = validDialog({{code, QStringLiteral("MATRIZ"), QStringLiteral("S")}});
    QCOMPARE(list(d.get(), "ppbFiliais")->currentText(), code + QStringLiteral(" - MATRIZ"));
    d->btnSalvarClick();
    // Written as taken; the connection test's reload reads it back trimmed.
    QVERIFY(readFile(settingsFilePath()).contains("\r\nFilial          =" + filial.toUtf8() + "\r\n"));
    QCOMPARE(Values.Filial, Trimmed(filial));
}

void TestConfigDialogSave::gadgetsFolderGetsItsSeparator_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");
    QTest::newRow("without separator") << "/srv/Gadgets"
                                       << "/srv/Gadgets/";
    QTest::newRow("with separator") << "/srv/Gadgets/"
                                    << "/srv/Gadgets/";
    QTest::newRow("blanks after it") << "/srv/Gadgets  "
                                     << "/srv/Gadgets  /";
    QTest::newRow("separator, then blanks") << "/srv/Gadgets/ "
                                            << "/srv/Gadgets/ ";
}

void TestConfigDialogSave::gadgetsFolderGetsItsSeparator() {
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    auto d = validDialog();
    edit(d.get(), "edtPasta")->setText(typed);
    d->btnSalvarClick();
    QCOMPARE(edit(d.get(), "edtPasta")->text(), saved);
    QVERIFY(readFile(settingsFilePath()).contains("\r\nDiretorioGadgets=" + saved.toUtf8() + "\r\n"));
}

void TestConfigDialogSave::failedConnectionTestStillCloses() {
    auto d = validDialog();
    // The database gone after its list was read: the list stays current, and
    // the connection test after the save fails.
    QVERIFY(QFile::remove(db));
    QTest::mouseClick(control<QPushButton>(d.get(), "btnSalvar"), Qt::LeftButton);

    QCOMPARE(fx->platform.messages.size(), 1);
    QCOMPARE(fx->platform.messages.front().kind, MessageKind::Plain);
    QVERIFY(fx->platform.messages.front().text.startsWith(ConnectFailure));
    QVERIFY(fx->platform.messages.front().text.size() > ConnectFailure.size());
    QVERIFY(!d->isVisible());
    QCOMPARE(d->result(), int(QDialog::Accepted));
    QCOMPARE(storedSetting("CaminhoBanco"), db);
    QCOMPARE(storedSetting("Filial"), QStringLiteral("01"));
}

void TestConfigDialogSave::unwritableFileKeepsTheDialogOpen() {
    auto d = validDialog();
    // A file where the settings folder should be: neither it nor the file can be made.
    writeFile(settingsFolder(), "not a folder");
    QTest::mouseClick(control<QPushButton>(d.get(), "btnSalvar"), Qt::LeftButton);

    QCOMPARE(fx->platform.texts().size(), 1);
    const QString text = fx->platform.texts().front();
    QVERIFY2(text.startsWith(QStringLiteral("Unable to write to %1.\r\n%2 é um arquivo, e não uma pasta")
                                 .arg(settingsFilePath(), settingsFolder())),
             qPrintable(text));
    QVERIFY(d->isVisible());
    QCOMPARE(d->result(), int(QDialog::Rejected));
    QCOMPARE(readFile(settingsFolder()), QByteArray("not a folder"));
    // The values in memory already hold what was to be saved.
    QCOMPARE(Values.CaminhoBanco, db);
    QCOMPARE(Values.Filial, QStringLiteral("01"));
}

void TestConfigDialogSave::savingFromTheModalLoop() {
    auto d = validDialog();
    d->hide();
    bool ran = false;
    QTimer::singleShot(0, d.get(), [&] {
        QTest::mouseClick(control<QPushButton>(d.get(), "btnSalvar"), Qt::LeftButton);
        ran = true;
    });
    QCOMPARE(d->exec(), int(QDialog::Accepted));
    QVERIFY(ran);
    QCOMPARE(storedSetting("Filial"), QStringLiteral("01"));
}

ORVANTO_TEST_MAIN(TestConfigDialogSave)
#include "tst_configdialog_save.moc"
