// Filling the dialog from the keyboard (the Enter chain, arrows in the lists
// and on the buttons), the two pickers, and "Cancelar".

#include "DialogFixture.h"

#include <QScopeGuard>
#include <QTimer>

class TestConfigDialogKeys : public QObject {
    Q_OBJECT

private slots:
    void init() { fx = std::make_unique<DialogFixture>(); }
    void cleanup() {
        fx.reset();
        QVERIFY2(noDialogLeft(), "a settings dialog was left over");
    }

    void enterWalksTheChain_data();
    void enterWalksTheChain();
    void enterInTheFolderRefillsAStaleList();
    void enterAndEscapeNeitherSaveNorClose();
    void enterOnAFocusedButtonPressesIt();
    void arrowsStepTheProtocolList();
    void arrowsStepTheBranchList();
    void arrowsOnAnEmptyListChangeNothing();
    void arrowsMoveBetweenTheButtons();
    void stepping_data();
    void stepping();
    void folderPicker();
    void folderPickerCancelled();
    void filePicker();
    void filePickerOnlyForLocal();
    void cancelWritesNothing();
    void keyboardOnlyFromOpeningToSave();

private:
    std::unique_ptr<TfrmConfig> dialogWithBranches(const QList<Branch>& rows = TwoBranches);
    std::unique_ptr<DialogFixture> fx;
};

std::unique_ptr<TfrmConfig> TestConfigDialogKeys::dialogWithBranches(const QList<Branch>& rows) {
    const QString db = fx->database(QStringLiteral("erp.fdb"), rows);
    setLocalValues(db);
    writeSettings({{"LocRem", "L"},
                   {"CaminhoBanco", db},
                   {"Usuario", "SYSDBA"},
                   {"Senha", "masterkey"},
                   {"DiretorioGadgets", "/opt/gadgets/"}});
    return openDialog();
}

void TestConfigDialogKeys::enterWalksTheChain_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("startPage");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("page");

    QTest::newRow("path to user") << "edtCaminhoBanco" << 0 << int(Qt::Key_Return) << "edtUsuario" << 0;
    QTest::newRow("keypad Enter") << "edtCaminhoBanco" << 0 << int(Qt::Key_Enter) << "edtUsuario" << 0;
    QTest::newRow("user to password") << "edtUsuario" << 0 << int(Qt::Key_Return) << "edtSenha" << 0;
    QTest::newRow("password to confirmation")
        << "edtSenha" << 0 << int(Qt::Key_Return) << "edtConfSenha" << 0;
    QTest::newRow("confirmation to folder, page 1")
        << "edtConfSenha" << 0 << int(Qt::Key_Return) << "edtPasta" << 1;
    QTest::newRow("folder to branch list") << "edtPasta" << 1 << int(Qt::Key_Return) << "ppbFiliais" << 1;
    QTest::newRow("server to protocol") << "edtServidor" << 1 << int(Qt::Key_Return) << "ppbProtocolo" << 1;
    QTest::newRow("Local to path, page 0")
        << "rdbLocal" << 1 << int(Qt::Key_Return) << "edtCaminhoBanco" << 0;
    QTest::newRow("no Enter handling on Remota")
        << "rdbRemota" << 0 << int(Qt::Key_Return) << "rdbRemota" << 0;
    QTest::newRow("no Enter handling in the list")
        << "ppbProtocolo" << 0 << int(Qt::Key_Return) << "ppbProtocolo" << 0;
    QTest::newRow("other keys do nothing") << "edtUsuario" << 0 << int(Qt::Key_Down) << "edtUsuario" << 0;
}

void TestConfigDialogKeys::enterWalksTheChain() {
    QFETCH(QString, from);
    QFETCH(int, startPage);
    QFETCH(int, key);
    QFETCH(QString, to);
    QFETCH(int, page);

    auto d = dialogWithBranches();
    radio(d.get(), "rdbRemota")->setChecked(true); // the server and protocol take the focus only then
    tabs(d.get())->setCurrentIndex(startPage);
    QWidget* start = d->findChild<QWidget*>(from);
    start->setFocus(Qt::OtherFocusReason);
    QCOMPARE(focusName(), from);
    QTest::keyClick(start, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QCOMPARE(focusName(), to);
    QCOMPARE(tabs(d.get())->currentIndex(), page);
    QVERIFY(d->isVisible());
}

void TestConfigDialogKeys::enterInTheFolderRefillsAStaleList() {
    auto d = dialogWithBranches();
    QLineEdit* path = edit(d.get(), "edtCaminhoBanco");
    const QString other = fx->database(QStringLiteral("outro.fdb"), {{"04", "QUARTA", QStringLiteral("S")}});
    path->setText(other);
    // Enter through the chain: leaving the path makes the list stale.
    for (const char* name : {"edtCaminhoBanco", "edtUsuario", "edtSenha", "edtConfSenha", "edtPasta"})
        QTest::keyClick(d->findChild<QWidget*>(name), Qt::Key_Return);
    QCOMPARE(focusName(), QStringLiteral("ppbFiliais"));
    QCOMPARE(items(list(d.get(), "ppbFiliais")), QStringList{QStringLiteral("04 - QUARTA")});
    QCOMPARE(list(d.get(), "ppbFiliais")->currentIndex(), -1);
}

void TestConfigDialogKeys::enterAndEscapeNeitherSaveNorClose() {
    auto d = dialogWithBranches();
    const QByteArray before = readFile(settingsFilePath());
    list(d.get(), "ppbFiliais")->setCurrentIndex(0);
    radio(d.get(), "rdbLocal")->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(radio(d.get(), "rdbLocal"), Qt::Key_Return);
    QTest::keyClick(edit(d.get(), "edtCaminhoBanco"), Qt::Key_Escape);
    list(d.get(), "ppbFiliais")->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(list(d.get(), "ppbFiliais"), Qt::Key_Return);
    QVERIFY(d->isVisible());
    QCOMPARE(readFile(settingsFilePath()), before);
    QVERIFY(fx->platform.messages.isEmpty());
}

void TestConfigDialogKeys::enterOnAFocusedButtonPressesIt() {
    auto d = dialogWithBranches();
    control<QPushButton>(d.get(), "btnSalvar")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(control<QPushButton>(d.get(), "btnSalvar"), Qt::Key_Return);
    // No branch chosen: the save's last check answers.
    QCOMPARE(fx->platform.texts(),
             QStringList{QStringLiteral("Selecione a Filial em que será validada a senha!")});

    control<QPushButton>(d.get(), "btnCancelar")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(control<QPushButton>(d.get(), "btnCancelar"), Qt::Key_Return);
    QVERIFY(!d->isVisible());
    QCOMPARE(d->result(), int(QDialog::Rejected));
}

void TestConfigDialogKeys::arrowsStepTheProtocolList() {
    auto d = openDialog();
    radio(d.get(), "rdbRemota")->setChecked(true);
    QComboBox* protocol = list(d.get(), "ppbProtocolo");
    protocol->setFocus(Qt::TabFocusReason);
    auto press = [&](Qt::Key key, int times) {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(protocol, key);
    };
    press(Qt::Key_Down, 1);
    QCOMPARE(protocol->currentText(), QStringLiteral("TCP"));
    press(Qt::Key_Down, 2);
    QCOMPARE(protocol->currentText(), QStringLiteral("SPX"));
    press(Qt::Key_Down, 1);
    QCOMPARE(protocol->currentText(), QStringLiteral("SPX"));
    press(Qt::Key_Up, 3);
    QCOMPARE(protocol->currentText(), QStringLiteral("TCP"));
    QCOMPARE(focusName(), QStringLiteral("ppbProtocolo"));
}

void TestConfigDialogKeys::arrowsStepTheBranchList() {
    auto d = dialogWithBranches({{"01", "A", QStringLiteral("S")},
                                 {"02", "B", QStringLiteral("S")},
                                 {"03", "C", QStringLiteral("S")}});
    QComboBox* branches = list(d.get(), "ppbFiliais");
    tabs(d.get())->setCurrentIndex(1);
    branches->setFocus(Qt::TabFocusReason);
    QTest::keyClick(branches, Qt::Key_Right);
    QCOMPARE(branches->currentIndex(), 0);
    QTest::keyClick(branches, Qt::Key_Right);
    QTest::keyClick(branches, Qt::Key_Down);
    QCOMPARE(branches->currentText(), QStringLiteral("03 - C"));
    QTest::keyClick(branches, Qt::Key_Left);
    QCOMPARE(branches->currentIndex(), 1);
    QTest::keyClick(branches, Qt::Key_Up);
    QTest::keyClick(branches, Qt::Key_Left);
    QCOMPARE(branches->currentIndex(), 0);
}

void TestConfigDialogKeys::arrowsOnAnEmptyListChangeNothing() {
    auto d = openDialog();
    QComboBox* branches = list(d.get(), "ppbFiliais");
    tabs(d.get())->setCurrentIndex(1);
    branches->setFocus(Qt::TabFocusReason);
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Right, Qt::Key_Up, Qt::Key_Left}) {
        QTest::keyClick(branches, key);
        QCOMPARE(branches->currentIndex(), -1);
    }
}

void TestConfigDialogKeys::arrowsMoveBetweenTheButtons() {
    auto d = openDialog();
    auto* salvar = control<QPushButton>(d.get(), "btnSalvar");
    auto* cancelar = control<QPushButton>(d.get(), "btnCancelar");
    salvar->setFocus(Qt::TabFocusReason);
    QTest::keyClick(salvar, Qt::Key_Right);
    QCOMPARE(focusName(), QStringLiteral("btnCancelar"));
    QTest::keyClick(cancelar, Qt::Key_Right);
    QCOMPARE(focusName(), QStringLiteral("btnCancelar"));
    QTest::keyClick(cancelar, Qt::Key_Left);
    QCOMPARE(focusName(), QStringLiteral("btnSalvar"));
    QTest::keyClick(salvar, Qt::Key_Left);
    QCOMPARE(focusName(), QStringLiteral("btnSalvar"));
    QVERIFY(d->isVisible());
}

void TestConfigDialogKeys::stepping_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("after");

    QTest::newRow("Down from none") << 3 << -1 << 40 << 0;
    QTest::newRow("Right from none") << 3 << -1 << 39 << 0;
    QTest::newRow("Down on the last") << 3 << 2 << 40 << 2;
    QTest::newRow("Up from none") << 3 << -1 << 38 << -1;
    QTest::newRow("Left from none") << 3 << -1 << 37 << -1;
    QTest::newRow("Up on the first") << 3 << 0 << 38 << 0;
    QTest::newRow("Up from the middle") << 3 << 1 << 38 << 0;
    QTest::newRow("Enter") << 3 << 1 << 13 << 1;
    QTest::newRow("empty list, Down") << 0 << -1 << 40 << -1;
    QTest::newRow("empty list, Up") << 0 << -1 << 38 << -1;
    QTest::newRow("one item, Down") << 1 << -1 << 40 << 0;
}

void TestConfigDialogKeys::stepping() {
    QFETCH(int, count);
    QFETCH(int, index);
    QFETCH(int, key);
    QFETCH(int, after);
    auto d = openDialog();
    QComboBox box;
    for (int i = 0; i < count; ++i)
        box.addItem(QString::number(i));
    box.setCurrentIndex(index);
    d->MudaItemMenu(&box, quint16(key));
    QCOMPARE(box.currentIndex(), after);
}

void TestConfigDialogKeys::folderPicker() {
    auto d = openDialog();
    fx->platform.nextFolders.enqueue(QStringLiteral("/srv/Gadgets"));
    tabs(d.get())->setCurrentIndex(1);
    edit(d.get(), "edtUsuario")->setFocus(Qt::OtherFocusReason); // hidden page: the focus goes elsewhere
    QTest::mouseClick(control<QToolButton>(d.get(), "spbPastaGadgets"), Qt::LeftButton);
    QCOMPARE(fx->platform.folderTitles,
             QStringList{QStringLiteral("Informe em qual pasta se encontram as Gadgets")});
    QLineEdit* folder = edit(d.get(), "edtPasta");
    QCOMPARE(folder->text(), QStringLiteral("/srv/Gadgets"));
    QCOMPARE(folder->selectedText(), QStringLiteral("/srv/Gadgets"));
    QCOMPARE(focusName(), QStringLiteral("edtPasta"));
}

void TestConfigDialogKeys::folderPickerCancelled() {
    auto d = openDialog();
    tabs(d.get())->setCurrentIndex(1);
    QLineEdit* folder = edit(d.get(), "edtPasta");
    const QString before = folder->text();
    folder->setFocus(Qt::OtherFocusReason);
    folder->setCursorPosition(0);
    QTest::mouseClick(control<QToolButton>(d.get(), "spbPastaGadgets"), Qt::LeftButton);
    QCOMPARE(fx->platform.folderTitles.size(), 1);
    QCOMPARE(folder->text(), before);
    QVERIFY(!folder->hasSelectedText());
    QCOMPARE(focusName(), QStringLiteral("edtPasta")); // the button took no focus
}

void TestConfigDialogKeys::filePicker() {
    auto d = openDialog();
    QLineEdit* path = edit(d.get(), "edtCaminhoBanco");
    edit(d.get(), "edtUsuario")->setFocus(Qt::OtherFocusReason);
    fx->platform.nextFiles.enqueue(std::nullopt);
    QTest::mouseClick(control<QToolButton>(d.get(), "spbCaminhoBanco"), Qt::LeftButton);
    QCOMPARE(fx->platform.fileDialogsShown, 1);
    QCOMPARE(path->text(), QString());
    QCOMPARE(focusName(), QStringLiteral("edtUsuario"));

    fx->platform.nextFiles.enqueue(QStringLiteral("/dados/erp.fdb"));
    QTest::mouseClick(control<QToolButton>(d.get(), "spbCaminhoBanco"), Qt::LeftButton);
    QCOMPARE(path->text(), QStringLiteral("/dados/erp.fdb"));
    QCOMPARE(path->selectedText(), QStringLiteral("/dados/erp.fdb"));
    QCOMPARE(focusName(), QStringLiteral("edtCaminhoBanco"));
    // The new path is compared only when the field is left.
    QCOMPARE(d->camBanco(), QString());
}

void TestConfigDialogKeys::filePickerOnlyForLocal() {
    auto d = openDialog();
    auto* picker = control<QToolButton>(d.get(), "spbCaminhoBanco");
    radio(d.get(), "rdbRemota")->setChecked(true);
    QVERIFY(!picker->isEnabled());
    QTest::mouseClick(picker, Qt::LeftButton);
    QCOMPARE(fx->platform.fileDialogsShown, 0);
    radio(d.get(), "rdbLocal")->setChecked(true);
    QVERIFY(picker->isEnabled());
}

void TestConfigDialogKeys::cancelWritesNothing() {
    const QByteArray file = settingsText({{"LocRem", "L"},
                                          {"Comp", "0"},
                                          {"CaminhoBanco", "/dados/erp.fdb"},
                                          {"Usuario", "ana"},
                                          {"Senha", "s1"},
                                          {"DiretorioGadgets", "/opt/g/"}},
                                         "[Gadget]\r\nA=1\r\n");
    writeFile(settingsFilePath(), file);
    {
        auto d = openDialog();
        edit(d.get(), "edtUsuario")->setText(QStringLiteral("outro"));
        edit(d.get(), "edtPasta")->setText(QStringLiteral("/tmp/x"));
        QTest::mouseClick(control<QPushButton>(d.get(), "btnCancelar"), Qt::LeftButton);
        QVERIFY(!d->isVisible());
        QCOMPARE(d->result(), int(QDialog::Rejected));
    }
    QCOMPARE(readFile(settingsFilePath()), file);
    QVERIFY(fx->platform.messages.isEmpty());
    auto again = openDialog();
    QCOMPARE(edit(again.get(), "edtUsuario")->text(), QStringLiteral("ana"));
    QCOMPARE(edit(again.get(), "edtPasta")->text(), QStringLiteral("/opt/g/"));
}

void TestConfigDialogKeys::keyboardOnlyFromOpeningToSave() {
    const QString db = fx->database(QStringLiteral("erp.fdb"), TwoBranches);
    TfrmConfig dialog(nullptr, Values);
    dialog.resize(dialog.width(), 390);
    bool ran = false;
    QTimer::singleShot(0, &dialog, [&] {
        auto closeOnFailure = qScopeGuard([&] {
            if (!ran)
                dialog.reject();
        });
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto type = [](const QString& text) {
            QTest::keyClicks(QApplication::focusWidget(), text);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        };
        QCOMPARE(focusName(), QStringLiteral("edtCaminhoBanco"));
        type(db);
        QCOMPARE(focusName(), QStringLiteral("edtUsuario"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); // SYSDBA stays
        static_cast<QLineEdit*>(QApplication::focusWidget())->selectAll();
        type(QStringLiteral("masterkey"));
        static_cast<QLineEdit*>(QApplication::focusWidget())->selectAll();
        type(QStringLiteral("masterkey"));
        QCOMPARE(focusName(), QStringLiteral("edtPasta"));
        QCOMPARE(tabs(&dialog)->currentIndex(), 1);
        static_cast<QLineEdit*>(QApplication::focusWidget())->selectAll();
        type(QStringLiteral("/srv/gadgets"));
        QCOMPARE(focusName(), QStringLiteral("ppbFiliais"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(list(&dialog, "ppbFiliais")->currentText(), QStringLiteral("02 - FILIAL CENTRO"));
        for (int i = 0; i < 2; ++i) // past the radio pair to "Salvar"
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(focusName(), QStringLiteral("btnSalvar"));
        ran = true;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(ran);
    QVERIFY(fx->platform.messages.isEmpty());
    QCOMPARE(readFile(settingsFilePath()), settingsText({{"LocRem", "L"},
                                                         {"Comp", "0"},
                                                         {"Servidor", ""},
                                                         {"Protocolo", ""},
                                                         {"CaminhoBanco", db},
                                                         {"Usuario", "SYSDBA"},
                                                         {"Senha", "masterkey"},
                                                         {"DiretorioGadgets", "/srv/gadgets/"},
                                                         {"ModoPainel", ""},
                                                         {"Filial", "02"}}));
}

ORVANTO_TEST_MAIN(TestConfigDialogKeys)
#include "tst_configdialog_keys.moc"
