// The settings dialog's window: its controls as described, the focus chain,
// fonts, and dragging the frameless window by its handles.

#include "DialogFixture.h"

#include <QGroupBox>
#include <QLabel>
#include <QTabBar>
#include <QWindow>

class TestConfigDialogWindow : public QObject {
    Q_OBJECT

private slots:
    void init() { fx = std::make_unique<DialogFixture>(); }
    void cleanup() {
        fx.reset();
        QVERIFY2(noDialogLeft(), "a settings dialog was left over");
    }

    void controlsAreWhereTheWindowDescriptionPutsThem_data();
    void controlsAreWhereTheWindowDescriptionPutsThem();
    void windowAndStates();
    void fonts();
    void tabKeyFollowsTheFocusChain();
    void dragsByItsHandles_data();
    void dragsByItsHandles();
    void otherControlsAndButtonsStartNoDrag_data();
    void otherControlsAndButtonsStartNoDrag();
    void screenshot();

private:
    std::unique_ptr<DialogFixture> fx;
};

void TestConfigDialogWindow::controlsAreWhereTheWindowDescriptionPutsThem_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("autoSize");

    auto row = [](const char* name, const char* parent, QRect geometry, const QString& text) {
        static const QStringList autoSized = {"lblTitulo", "lblTitulo2",   "lblCaminhoBanco", "lblUsuario",
                                              "lblSenha",  "lblConfSenha", "lblDirGadgets"};
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(parent) << geometry << text
                            << autoSized.contains(QLatin1String(name));
    };
    row("pnlFundo", "frmConfig", {0, 0, 274, 466}, {});
    row("lblTitulo", "frmConfig", {8, 3, 150, 19}, "Rezovuz - Edozed ev Urevivar");
    row("lblTitulo2", "frmConfig", {8, 15, 104, 24}, "Configurações");
    row("imgLogo", "frmConfig", {217, 3, 50, 17}, {});
    row("grbConexao", "frmConfig", {6, 42, 261, 87}, " Conexão");
    row("lblServidor", "grbConexao", {128, 8, 120, 15}, "Servidor");
    row("edtServidor", "grbConexao", {129, 22, 116, 22}, "");
    row("lblProtocolo", "grbConexao", {128, 44, 120, 15}, "Protocolo");
    row("ppbProtocolo", "grbConexao", {129, 58, 116, 22}, "");
    row("rdbLocal", "grbConexao", {6, 24, 54, 19}, "Local");
    row("rdbRemota", "grbConexao", {61, 24, 68, 19}, "Remota");
    row("tbcConfig", "frmConfig", {6, 139, 261, 197}, {});
    row("lblCaminhoBanco", "tbiConfigBancoDados", {9, 6, 151, 19}, "Caminho do Banco de Dados");
    row("edtCaminhoBanco", "tbiConfigBancoDados", {8, 21, 217, 22}, "");
    row("spbCaminhoBanco", "tbiConfigBancoDados", {227, 21, 24, 22}, "...");
    row("lblUsuario", "tbiConfigBancoDados", {9, 44, 134, 19}, "Usuário (Banco de Dados)");
    row("edtUsuario", "tbiConfigBancoDados", {8, 59, 243, 22}, "SYSDBA");
    row("lblSenha", "tbiConfigBancoDados", {9, 82, 125, 19}, "Senha (Banco de Dados)");
    row("edtSenha", "tbiConfigBancoDados", {8, 97, 243, 22}, "quillvane");
    row("lblConfSenha", "tbiConfigBancoDados", {9, 120, 160, 19}, "Confir. Senha (Banco de Dados)");
    row("edtConfSenha", "tbiConfigBancoDados", {8, 135, 243, 22}, "quillvane");
    row("lblDirGadgets", "tbiConfGeral", {8, 6, 97, 19}, "Pasta das Gadgets");
    row("edtPasta", "tbiConfGeral", {8, 21, 217, 22}, "<home>/Morvelt/Gadgets VUX");
    row("spbPastaGadgets", "tbiConfGeral", {227, 21, 24, 22}, "...");
    row("lblFilial", "tbiConfGeral", {8, 48, 243, 15}, "Validar Senha com base na Filial...");
    row("ppbFiliais", "tbiConfGeral", {8, 63, 243, 23}, "");
    row("btnSalvar", "frmConfig", {49, 352, 80, 22}, "Salvar");
    row("btnCancelar", "frmConfig", {144, 352, 80, 22}, "Cancelar");
}

void TestConfigDialogWindow::controlsAreWhereTheWindowDescriptionPutsThem() {
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(bool, autoSize);
    text.replace(QStringLiteral("<home>"), QDir::homePath());

    auto d = openDialog();
    QWidget* w = d->findChild<QWidget*>(name);
    QVERIFY2(w, qPrintable(name));
    // A caption that sizes itself may be wider than designed, never narrower.
    if (autoSize) {
        QCOMPARE(w->pos(), geometry.topLeft());
        QCOMPARE(w->height(), geometry.height());
        QVERIFY(w->width() >= geometry.width());
    } else {
        QCOMPARE(w->geometry(), geometry);
    }
    // The parent named by the description (pages sit inside the tab control's stack).
    QWidget* p = w->parentWidget();
    QCOMPARE(p == d.get() ? QStringLiteral("frmConfig") : p->objectName(), parent);
    QString shown;
    if (auto* label = qobject_cast<QLabel*>(w))
        shown = label->text();
    else if (auto* line = qobject_cast<QLineEdit*>(w))
        shown = line->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        shown = button->text();
    else if (auto* group = qobject_cast<QGroupBox*>(w))
        shown = group->title();
    else if (auto* box = qobject_cast<QComboBox*>(w))
        shown = box->currentText();
    QCOMPARE(shown, text);
    if (auto* label = qobject_cast<QLabel*>(w))
        QVERIFY(!label->wordWrap());
}

void TestConfigDialogWindow::windowAndStates() {
    auto d = openDialog();
    QCOMPARE(d->objectName(), QStringLiteral("frmConfig"));
    QCOMPARE(d->windowTitle(), QStringLiteral("Form1"));
    QVERIFY(d->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(d->size(), QSize(274, 390));

    QCOMPARE(edit(d.get(), "edtSenha")->echoMode(), QLineEdit::Password);
    QCOMPARE(edit(d.get(), "edtConfSenha")->echoMode(), QLineEdit::Password);
    QCOMPARE(edit(d.get(), "edtCaminhoBanco")->echoMode(), QLineEdit::Normal);
    QCOMPARE(control<QToolButton>(d.get(), "spbCaminhoBanco")->focusPolicy(), Qt::NoFocus);
    QCOMPARE(control<QToolButton>(d.get(), "spbPastaGadgets")->focusPolicy(), Qt::NoFocus);

    QCOMPARE(items(list(d.get(), "ppbProtocolo")), QStringList({"TCP", "NamedPipe", "SPX"}));
    QCOMPARE(list(d.get(), "ppbProtocolo")->currentIndex(), -1);
    QVERIFY(!edit(d.get(), "edtServidor")->isEnabled());
    QVERIFY(!list(d.get(), "ppbProtocolo")->isEnabled());
    QVERIFY(radio(d.get(), "rdbLocal")->isChecked());

    QTabWidget* t = tabs(d.get());
    QCOMPARE(t->count(), 2);
    QCOMPARE(t->widget(0)->objectName(), QStringLiteral("tbiConfigBancoDados"));
    QCOMPARE(t->widget(1)->objectName(), QStringLiteral("tbiConfGeral"));
    QCOMPARE(t->tabText(0), QStringLiteral("Config. Banco de Dados"));
    QCOMPARE(t->tabText(1), QStringLiteral("Config. Gerais"));
    QCOMPARE(t->currentIndex(), 0);
    QCOMPARE(t->tabBar()->tabRect(0), QRect(0, 0, 142, 20));
    QCOMPARE(t->tabBar()->tabRect(1), QRect(142, 0, 87, 20));

    QCOMPARE(d->tmrMover.interval(), 1);
    QVERIFY(!d->tmrMover.isActive());
}

void TestConfigDialogWindow::fonts() {
    auto d = openDialog();
    const QFont label = control<QLabel>(d.get(), "lblCaminhoBanco")->font();
    QCOMPARE(label.pixelSize(), 11);
    QVERIFY(!label.bold());
    const QFont title = control<QLabel>(d.get(), "lblTitulo2")->font();
    QCOMPARE(title.pixelSize(), 15);
    QVERIFY(title.bold());
    for (const char* name : {"btnSalvar", "btnCancelar"}) {
        const QFont button = control<QPushButton>(d.get(), name)->font();
        QCOMPARE(button.pixelSize(), 12);
        QVERIFY(button.bold());
    }
    QVERIFY(tabs(d.get())->tabBar()->font().bold());
    // Every auto-sized caption fits its box on one line.
    for (QLabel* l : d->findChildren<QLabel*>()) {
        const QSize needed = l->fontMetrics().size(Qt::TextSingleLine, l->text());
        QVERIFY2(needed.width() <= l->width(), qPrintable(l->objectName()));
    }
}

void TestConfigDialogWindow::tabKeyFollowsTheFocusChain() {
    auto d = openDialog();
    QCOMPARE(focusName(), QStringLiteral("edtCaminhoBanco"));
    QStringList seen;
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen << focusName();
    }
    // The hidden page's fields and the disabled server and protocol are skipped.
    QCOMPARE(seen, QStringList({"edtUsuario", "edtSenha", "edtConfSenha", "rdbLocal", "btnSalvar",
                                "btnCancelar", "edtCaminhoBanco"}));

    tabs(d.get())->setCurrentIndex(1);
    radio(d.get(), "rdbRemota")->setChecked(true);
    edit(d.get(), "edtPasta")->setFocus(Qt::TabFocusReason);
    seen.clear();
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen << focusName();
    }
    // The radio pair is one stop, as Qt makes it; the arrows move inside it.
    QCOMPARE(seen, QStringList({"ppbFiliais", "edtServidor", "ppbProtocolo", "rdbLocal", "btnSalvar",
                                "btnCancelar", "edtPasta"}));
}

void TestConfigDialogWindow::dragsByItsHandles_data() {
    QTest::addColumn<QString>("handle");
    QTest::newRow("background panel") << "pnlFundo";
    QTest::newRow("title label, on the background") << "lblTitulo2";
    QTest::newRow("tab control") << "tbcConfig";
    QTest::newRow("label on a page") << "lblUsuario";
    QTest::newRow("connection group") << "grbConexao";
    QTest::newRow("label in the group") << "lblServidor";
    QTest::newRow("logo") << "imgLogo";
}

namespace {
// A point of the window over the named control, clear of its children.
QPoint windowPointOver(TfrmConfig* d, const QString& name) {
    QWidget* w = d->findChild<QWidget*>(name);
    if (name == u"pnlFundo")
        return QPoint(200, 30); // background only, right of the titles
    if (name == u"tbcConfig")
        return w->mapTo(d, QPoint(w->width() - 4, w->height() - 4));
    if (name == u"grbConexao")
        return w->mapTo(d, QPoint(w->width() / 2, w->height() - 4));
    return w->mapTo(d, QPoint(3, w->height() / 2));
}
} // namespace

void TestConfigDialogWindow::dragsByItsHandles() {
    QFETCH(QString, handle);
    auto d = openDialog();
    frmConfig = d.get();
    d->move(100, 50);
    QTRY_COMPARE(d->pos(), QPoint(100, 50));
    const QPoint at = windowPointOver(d.get(), handle);

    fx->platform.cursor = QPoint(500, 300);
    QTest::mousePress(d->windowHandle(), Qt::LeftButton, {}, at);
    QVERIFY(d->drag().Capturar);
    QVERIFY(d->tmrMover.isActive());
    fx->platform.cursor = QPoint(520, 280);
    QTRY_COMPARE(d->pos(), QPoint(120, 30));

    QTest::mouseRelease(d->windowHandle(), Qt::LeftButton, {}, at);
    QVERIFY(!d->drag().Capturar);
    QVERIFY(!d->tmrMover.isActive());
    fx->platform.cursor = QPoint(600, 400);
    d->tmrMoverTimer();
    QCOMPARE(d->pos(), QPoint(120, 30));
    frmConfig = nullptr;
}

void TestConfigDialogWindow::otherControlsAndButtonsStartNoDrag_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("button");
    QTest::newRow("edit field") << "edtUsuario" << int(Qt::LeftButton);
    QTest::newRow("disabled server field") << "edtServidor" << int(Qt::LeftButton);
    QTest::newRow("disabled protocol list") << "ppbProtocolo" << int(Qt::LeftButton);
    QTest::newRow("button") << "btnCancelar" << int(Qt::LeftButton);
    QTest::newRow("radio button") << "rdbRemota" << int(Qt::LeftButton);
    QTest::newRow("picker button") << "spbCaminhoBanco" << int(Qt::LeftButton);
    QTest::newRow("right button on the background") << "pnlFundo" << int(Qt::RightButton);
}

void TestConfigDialogWindow::otherControlsAndButtonsStartNoDrag() {
    QFETCH(QString, name);
    QFETCH(int, button);
    fx->platform.nextFiles.enqueue(std::nullopt);
    auto d = openDialog();
    const QPoint at = windowPointOver(d.get(), name);
    QTest::mousePress(d->windowHandle(), Qt::MouseButton(button), {}, at);
    QVERIFY(!d->drag().Capturar);
    QVERIFY(!d->tmrMover.isActive());
    QTest::mouseRelease(d->windowHandle(), Qt::MouseButton(button), {}, at);
}

void TestConfigDialogWindow::screenshot() {
    // Kept for people: ORVANTO_SCREENSHOT=<file.png> saves the dialog as it draws.
    const QByteArray file = qgetenv("ORVANTO_SCREENSHOT");
    if (file.isEmpty())
        QSKIP("set ORVANTO_SCREENSHOT to save a picture of the dialog");
    auto d = openDialog();
    QVERIFY(d->grab().save(QString::fromLocal8Bit(file)));
    tabs(d.get())->setCurrentIndex(1);
    QString second = QString::fromLocal8Bit(file);
    second.insert(second.lastIndexOf(u'.'), QStringLiteral("-page1"));
    QVERIFY(d->grab().save(second));
}

ORVANTO_TEST_MAIN(TestConfigDialogWindow)
#include "tst_configdialog_window.moc"
