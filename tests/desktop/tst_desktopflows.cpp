// The panel and the settings dialog as a user meets them on a real desktop:
// a private X server, the program's real platform (real message boxes and
// choosers, which take the window's activation away and give it back) and
// real input events (XTest, through xdotool). Each flow is a table row of
// steps that ends in the bytes of the settings file or in gadgets started.
//
// The steps run on a thread of their own that only types, clicks and looks:
// every look at a widget is a blocking call onto the user-interface thread,
// which meanwhile runs the program's own (modal) event loops.

#include "ErpDatabase.h"
#include "FirebirdServer.h"
#include "PrivateXServer.h"
#include "TestSupport.h"
#include "config_dialog/TfrmConfig.h"
#include "database/Alias.h"
#include "panel/GadgetCatalogue.h"
#include "panel/TFrmOrvanto.h"
#include "panel/TfrmPrints.h"
#include "platform/QtPlatform.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QThread>

#include <atomic>
#include <csignal>
#include <functional>
#include <memory>
#include <thread>

#include <sys/stat.h>

namespace {

using Steps = QStringList;
using Entries = QList<std::pair<QString, QString>>;
using Stored = QStringList; // "Key=value" of the program's section, or "started:<file>"

struct FlowFailed {
    QString why;
};

// Runs fn on the user-interface thread and gives back its result.
template <class F> auto onGui(F fn) {
    using R = decltype(fn());
    if constexpr (std::is_void_v<R>) {
        QMetaObject::invokeMethod(qApp, fn, Qt::BlockingQueuedConnection);
    } else {
        R result{};
        QMetaObject::invokeMethod(qApp, fn, Qt::BlockingQueuedConnection, &result);
        return result;
    }
}

QWidget* shownWindowWith(const QString& name) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        if (window->objectName() == name)
            return window;
        if (auto* found = window->findChild<QWidget*>(name); found && found->isVisible())
            return found;
    }
    return nullptr;
}

// What a user sees and does, one step at a time.
class User {
public:
    explicit User(QHash<QString, QString> names) : m_names(std::move(names)) {}

    QStringList unexpectedBoxes;

    void run(const Steps& steps) {
        for (const QString& step : steps) {
            const qsizetype space = step.indexOf(u' ');
            const QString verb = space < 0 ? step : step.left(space);
            const QString arg = space < 0 ? QString() : expand(step.mid(space + 1));
            m_step = step;
            if (verb == u"click")
                click(centreOf(arg));
            else if (verb == u"tab")
                click(centreOfTab(arg.toInt()));
            else if (verb == u"key")
                xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), arg});
            else if (verb == u"type")
                type(arg);
            else if (verb == u"retype")
                retype(arg);
            else if (verb == u"box")
                answerBox(arg);
            else if (verb == u"focus")
                waitFor(QStringLiteral("the focus in %1").arg(arg), [&] { return focusName() == arg; });
            else if (verb == u"checked")
                waitFor(arg + QStringLiteral(" checked"), [&] {
                    auto* radio = qobject_cast<QRadioButton*>(shownWindowWith(arg));
                    return radio && radio->isChecked();
                });
            else if (verb == u"text")
                expectText(arg);
            else if (verb == u"tabto")
                tabTo(arg);
            else if (verb == u"chooser")
                answerChooser(arg);
            else
                fail(QStringLiteral("unknown step"));
        }
    }

    // The dialog closed (a save or a cancel), with no box left unanswered.
    void waitForDialogGone() {
        m_step = QStringLiteral("(the dialog closes)");
        waitFor(QStringLiteral("the dialog to close"), [&] {
            if (const QString box = activeBoxText(); !box.isNull()) {
                unexpectedBoxes << box;
                xdotool({QStringLiteral("key"), QStringLiteral("Return")});
                QThread::msleep(200);
            }
            return onGui([] { return frmConfig == nullptr; });
        });
    }

    // Whatever is still open is closed, so that the program's modal loops
    // end whatever happened to the flow.
    void closeEverything() {
        for (int i = 0; i < 20; ++i) {
            const bool closed = onGui([] {
                QWidget* modal = QApplication::activeModalWidget();
                if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                    dialog->reject();
                    return false;
                }
                return true;
            });
            if (closed)
                return;
            QThread::msleep(50);
        }
    }

    void fail(const QString& why) { throw FlowFailed{QStringLiteral("step \"%1\": %2").arg(m_step, why)}; }

    template <class Pred> void waitFor(const QString& what, Pred pred, int ms = 30000) {
        QElapsedTimer clock;
        clock.start();
        while (!pred()) {
            if (clock.elapsed() > ms)
                fail(QStringLiteral("waited %1 ms for %2 (focus in \"%3\", active window \"%4\")")
                         .arg(ms)
                         .arg(what, focusName(), activeWindowName()));
            QThread::msleep(20);
        }
    }

    static QString focusName() {
        return onGui([] {
            QWidget* w = QApplication::focusWidget();
            return w ? w->objectName() : QString();
        });
    }

private:
    QString expand(QString text) const {
        for (auto it = m_names.cbegin(); it != m_names.cend(); ++it)
            text.replace(u'{' + it.key() + u'}', it.value());
        return text;
    }

    void xdotool(const QStringList& args) {
        QProcess process;
        process.start(QStringLiteral("xdotool"), args);
        if (!process.waitForFinished(10000) || process.exitCode() != 0)
            fail(QStringLiteral("xdotool %1 failed: %2")
                     .arg(args.join(u' '), QString::fromLocal8Bit(process.readAllStandardError())));
    }

    // (Not "mousemove --sync": it waits for a move that never comes when
    // the pointer is there already.)
    void click(QPoint at) {
        xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                 QStringLiteral("click"), QStringLiteral("1")});
    }

    void type(const QString& text) {
        xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("4"), QStringLiteral("--"),
                 text});
    }

    // Replaces the focused field's text, as a user selecting it all does.
    void retype(const QString& text) {
        xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("ctrl+a")});
        type(text);
        waitFor(QStringLiteral("the field to read \"%1\"").arg(text), [&] {
            return onGui([&] {
                auto* field = qobject_cast<QLineEdit*>(QApplication::focusWidget());
                return field && field->text() == text;
            });
        });
    }

    QPoint centreOf(const QString& name) {
        QPoint at;
        waitFor(name + QStringLiteral(" on the screen, in the active window"), [&] {
            at = onGui([&] {
                QWidget* w = shownWindowWith(name);
                if (!w || !w->isEnabled() || !w->window()->isActiveWindow())
                    return QPoint(-1, -1);
                return w->mapToGlobal(w->rect().center());
            });
            return at.x() >= 0;
        });
        return at;
    }

    QPoint centreOfTab(int index) {
        QPoint at;
        waitFor(QStringLiteral("the tab bar"), [&] {
            at = onGui([&] {
                auto* tabs = qobject_cast<QTabWidget*>(shownWindowWith(QStringLiteral("tbcConfig")));
                if (!tabs || !tabs->window()->isActiveWindow())
                    return QPoint(-1, -1);
                QTabBar* bar = tabs->tabBar();
                return bar->mapToGlobal(bar->tabRect(index).center());
            });
            return at.x() >= 0;
        });
        return at;
    }

    static QString activeBoxText() {
        return onGui([] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            return box && box->isActiveWindow() ? box->text() : QString();
        });
    }

    static QString activeWindowName() {
        return onGui([] {
            QWidget* w = QApplication::activeWindow();
            return w ? QString::fromLatin1(w->metaObject()->className()) + u' ' + w->objectName() : QString();
        });
    }

    // Waits for the box to take the activation, reads it, answers it with
    // Return as a user does, and waits for the window under it to be
    // active again (keys typed before that would reach no window).
    void answerBox(const QString& text) {
        QString shown;
        waitFor(QStringLiteral("a message box"), [&] {
            shown = activeBoxText();
            return !shown.isNull();
        });
        if (shown != text)
            fail(QStringLiteral("the box says \"%1\"").arg(shown));
        xdotool({QStringLiteral("key"), QStringLiteral("Return")});
        waitFor(QStringLiteral("the box to close and its window to be active"), [&] {
            return onGui([] {
                QWidget* active = QApplication::activeWindow();
                return !qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) && active &&
                       !qobject_cast<QMessageBox*>(active);
            });
        });
    }

    // The folder chooser: it must have opened in the folder given; the
    // folder typed into it is chosen.
    void answerChooser(const QString& arg) {
        const QStringList parts = arg.split(u'>');
        const QString startsIn = parts.value(0);
        QString shownIn;
        waitFor(QStringLiteral("the folder chooser"), [&] {
            shownIn = onGui([] {
                auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                return chooser && chooser->isActiveWindow() ? chooser->directory().absolutePath() : QString();
            });
            return !shownIn.isNull();
        });
        if (QDir(shownIn) != QDir(startsIn))
            fail(QStringLiteral("the chooser opened in %1").arg(shownIn));
        retype(parts.value(1));
        xdotool({QStringLiteral("key"), QStringLiteral("Return")});
        waitFor(QStringLiteral("the chooser to close"), [&] {
            return onGui([] { return !qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); });
        });
    }

    void expectText(const QString& arg) {
        const qsizetype eq = arg.indexOf(u'=');
        const QString name = arg.left(eq);
        const QString want = arg.mid(eq + 1);
        QString have;
        waitFor(QStringLiteral("%1 to read \"%2\"").arg(name, want), [&] {
            have = onGui([&] {
                QWidget* w = shownWindowWith(name);
                if (auto* field = qobject_cast<QLineEdit*>(w))
                    return field->text();
                if (auto* list = qobject_cast<QComboBox*>(w))
                    return list->currentText();
                return QStringLiteral("(no such field)");
            });
            return have == want;
        });
    }

    void tabTo(const QString& name) {
        for (int i = 0; i < 30 && focusName() != name; ++i) {
            xdotool({QStringLiteral("key"), QStringLiteral("Tab")});
            QThread::msleep(50);
        }
        waitFor(
            QStringLiteral("the focus in %1").arg(name), [&] { return focusName() == name; }, 2000);
    }

    QHash<QString, QString> m_names;
    QString m_step;
};

const QList<Branch> BranchesA = {
    {QStringLiteral("01"), QStringLiteral("MATRIZ"), QStringLiteral("S")},
    {QStringLiteral("02"), QStringLiteral("FILIAL CENTRO"), QStringLiteral("S")}};
const QList<Branch> BranchesB = {{QStringLiteral("05"), QStringLiteral("FILIAL NORTE"), QStringLiteral("S")}};
const QList<Branch> BranchesC = {{QStringLiteral("03"), QStringLiteral("FILIAL SUL"), QStringLiteral("S")},
                                 {QStringLiteral("01"), QStringLiteral("MATRIZ NOVA"), QStringLiteral("S")}};

} // namespace

class TestDesktopFlows : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void flows_data();
    void flows();
    void startWithASettingsPathThatIsNoFile_data();
    void startWithASettingsPathThatIsNoFile();

private:
    // Starts the program's windows, then runs the user's steps beside them.
    QString runFlow(const std::function<void(User&)>& steps);

    std::unique_ptr<ScratchHome> m_home;
    std::unique_ptr<FirebirdServer> m_server;
    QString m_savedAliasFile;
    QHash<QString, QString> m_names;
};

void TestDesktopFlows::initTestCase() {
    if (QGuiApplication::platformName() != u"xcb")
        QSKIP("no private X server (Xvfb) could be started");
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("xdotool is not installed");
    if (FirebirdServer::installed())
        m_server = std::make_unique<FirebirdServer>();
    m_savedAliasFile = AliasFilePath;
}

void TestDesktopFlows::cleanupTestCase() {
    AliasFilePath = m_savedAliasFile;
    m_server.reset();
}

void TestDesktopFlows::init() {
    m_home = std::make_unique<ScratchHome>();
    clearSettingsValues(); // process-wide values: every flow starts as a new program does
    AliasFilePath = m_home->path() + QStringLiteral("/databases.conf"); // no alias
    // The server must be able to open the databases too.
    const QString data = m_server ? m_server->dataFolder() : m_home->path();
    const QString tag = QString::number(QDateTime::currentMSecsSinceEpoch());
    m_names.clear();
    m_names[QStringLiteral("A")] = data + QStringLiteral("/a-%1.fdb").arg(tag);
    m_names[QStringLiteral("B")] = data + QStringLiteral("/b-%1.fdb").arg(tag);
    m_names[QStringLiteral("C")] = data + QStringLiteral("/c-%1.fdb").arg(tag);
    createErpDatabase(m_names[QStringLiteral("A")], BranchesA);
    createErpDatabase(m_names[QStringLiteral("B")], BranchesB);
    createErpDatabase(m_names[QStringLiteral("C")], BranchesC);
    m_names[QStringLiteral("server")] = m_server ? m_server->hostPort() : QStringLiteral("127.0.0.1/1");
    m_names[QStringLiteral("password")] = m_server ? m_server->password() : QStringLiteral("masterkey");
    m_names[QStringLiteral("home")] = m_home->path();
    m_names[QStringLiteral("gadgets")] = m_home->path() + QStringLiteral("/gadgets");
    m_names[QStringLiteral("chosen")] = m_home->path() + QStringLiteral("/escolhida");
    QDir().mkpath(m_names[QStringLiteral("gadgets")]);
    QDir().mkpath(m_names[QStringLiteral("chosen")]);
}

void TestDesktopFlows::cleanup() {
    AliasFilePath = m_savedAliasFile;
    clearSettingsValues();
    for (const char* db : {"A", "B", "C"})
        QFile::remove(m_names[QString::fromLatin1(db)]);
    m_home.reset();
}

QString TestDesktopFlows::runFlow(const std::function<void(User&)>& steps) {
    TfrmPrints prints;
    frmPrints = &prints;
    TFrmOrvanto panel(Values);
    FrmOrvanto = &panel;
    panel.move(40, 40);
    panel.show();
    if (!QTest::qWaitForWindowActive(&panel))
        return QStringLiteral("the panel did not become active");

    std::atomic<bool> done = false;
    QString failure;
    User user(m_names);
    std::thread driver([&] {
        try {
            steps(user);
        } catch (const FlowFailed& failed) {
            failure = failed.why;
        }
        user.closeEverything();
        done = true;
    });
    QElapsedTimer clock;
    clock.start();
    while (!done && clock.elapsed() < 120000)
        QTest::qWait(20);
    if (!done)
        qFatal("the flow's driver did not end within 120 s");
    driver.join();
    FrmOrvanto = nullptr;
    frmPrints = nullptr;
    if (failure.isEmpty() && !user.unexpectedBoxes.isEmpty())
        failure = QStringLiteral("unexpected box: ") + user.unexpectedBoxes.join(QStringLiteral(" | "));
    return failure;
}

void TestDesktopFlows::flows_data() {
    QTest::addColumn<QString>("filial");     // the stored branch the dialog opens with
    QTest::addColumn<Steps>("steps");        // what the user does once the panel is up
    QTest::addColumn<Stored>("expected");    // the section's values after it, or started gadgets
    QTest::addColumn<bool>("desktopFolder"); // whether the home holds a desktop folder

    const QString open = QStringLiteral("click spbConfigurações");
    const QString ready = QStringLiteral("focus edtCaminhoBanco");
    const QString noBranch = QStringLiteral("box Selecione a Filial em que será validada a senha!");
    const QStringList onA = {QStringLiteral("CaminhoBanco={A}"), QStringLiteral("LocRem=L"),
                             QStringLiteral("Comp=0")};

    // A save never pairs a database with a branch read from another one.
    QTest::newRow("new path, save with no branch: warned, the list read again") // 01 and 02 are A's only
        << QStringLiteral("09")
        << Steps{open,
                 ready,
                 "retype {B}",
                 "click btnSalvar",
                 noBranch,
                 "focus ppbFiliais",
                 "key Down",
                 "text ppbFiliais=05 - FILIAL NORTE",
                 "click btnSalvar"}
        << Stored{"CaminhoBanco={B}", "Filial=05"} << false;
    QTest::newRow("new path, tab clicked, Down, save")
        << QStringLiteral("01") << Steps{open,         ready,
                                         "retype {B}", "tab 1",
                                         "key Down",   "click btnSalvar",
                                         noBranch,     "focus ppbFiliais",
                                         "key Down",   "click btnSalvar"}
        << Stored{"CaminhoBanco={B}", "Filial=05"} << false;
    QTest::newRow("new path, save at once: the branch is not the new database's")
        << QStringLiteral("01") << Steps{open,         ready,
                                         "retype {B}", "click btnSalvar",
                                         noBranch,     "focus ppbFiliais",
                                         "key Down",   "click btnSalvar"}
        << Stored{"CaminhoBanco={B}", "Filial=05"} << false;
    QTest::newRow("new path, save at once: the new database has the branch")
        << QStringLiteral("01") << Steps{open, ready, "retype {C}", "click btnSalvar"}
        << Stored{"CaminhoBanco={C}", "Filial=01"} << false;
    QTest::newRow("new path, Enter chain into the list, Down, save")
        << QStringLiteral("01")
        << Steps{open,
                 ready,
                 "retype {B}",
                 "key Return",
                 "focus edtUsuario",
                 "key Return",
                 "key Return",
                 "key Return",
                 "focus edtPasta",
                 "key Return",
                 "focus ppbFiliais",
                 "key Down",
                 "text ppbFiliais=05 - FILIAL NORTE",
                 "click btnSalvar"}
        << Stored{"CaminhoBanco={B}", "Filial=05"} << false;

    // Boxes of the other checks, and the Enter chain across the pages after them.
    QTest::newRow("password not confirmed, corrected through the Enter chain")
        << QStringLiteral("01")
        << Steps{open,
                 ready,
                 "key Return",
                 "key Return",
                 "focus edtSenha",
                 "type x",
                 "click btnSalvar",
                 "box Senha do banco de dados não confirmada!",
                 "focus edtSenha",
                 "text edtSenha=",
                 "type {password}",
                 "key Return",
                 "type {password}",
                 "key Return",
                 "focus edtPasta",
                 "key Return",
                 "focus ppbFiliais",
                 "text ppbFiliais=01 - MATRIZ",
                 "click btnSalvar"}
        << (onA + Stored{"Senha={password}", "Filial=01"}) << false;

    // The arrow keys on the location buttons end where the switch puts the focus.
    QTest::newRow("Right on Local: Remota, the focus in the server field")
        << QStringLiteral("01")
        << Steps{open,
                 ready,
                 "click rdbLocal",
                 "key Right",
                 "checked rdbRemota",
                 "focus edtServidor",
                 "type {server}",
                 "click btnSalvar"}
        << Stored{"CaminhoBanco={server}:{A}", "LocRem=L",     "Comp=1",
                  "Servidor={server}",         "Protocolo=-1", "Filial=01"}
        << false;
    QTest::newRow("Left on Remota: Local again, the server field emptied")
        << QStringLiteral("01")
        << Steps{open,
                 ready,
                 "click rdbLocal",
                 "key Right",
                 "focus edtServidor",
                 "type servidor01",
                 "click rdbRemota",
                 "key Left",
                 "checked rdbLocal",
                 "focus rdbLocal",
                 "text edtServidor=",
                 "click btnSalvar"}
        << (onA + Stored{"Servidor=", "Protocolo=", "Filial=01"}) << false;

    // The folder chooser starts at the desktop folder, or at home without one.
    QTest::newRow("folder chooser at the desktop") << QStringLiteral("01")
                                                   << Steps{open,
                                                            ready,
                                                            "tab 1",
                                                            "click spbPastaGadgets",
                                                            "chooser {home}/Desktop>{chosen}",
                                                            "text edtPasta={chosen}",
                                                            "click btnSalvar"}
                                                   << Stored{"DiretorioGadgets={chosen}/"} << true;
    QTest::newRow("folder chooser at home without a desktop folder")
        << QStringLiteral("01")
        << Steps{open,
                 ready,
                 "tab 1",
                 "click spbPastaGadgets",
                 "chooser {home}>{chosen}",
                 "text edtPasta={chosen}",
                 "click btnSalvar"}
        << Stored{"DiretorioGadgets={chosen}/"} << false;

    // Enter presses the panel's focused push button.
    QTest::newRow("Enter on Iniciar Gadgets")
        << QStringLiteral("01") << Steps{"click ckbMirendo", "tabto btnIniciarGadgets", "key Return"}
        << Stored{"started:Mirendo.exe"} << false;
}

void TestDesktopFlows::flows() {
    QFETCH(QString, filial);
    QFETCH(Steps, steps);
    QFETCH(Stored, expected);
    QFETCH(bool, desktopFolder);
    if (!m_server && std::any_of(expected.cbegin(), expected.cend(),
                                 [](const QString& e) { return e.contains(u"{server}"); }))
        QSKIP("no Firebird server installed");

    const QString gadgets = m_names[QStringLiteral("gadgets")];
    const QString marks = m_home->path() + QStringLiteral("/started");
    for (const Gadget& gadget : GadgetCatalogue) {
        const QString exe = gadgets + u'/' + QString::fromUtf8(gadget.executable);
        writeFile(exe, QStringLiteral("#!/bin/sh\necho %1 >> '%2'\n")
                           .arg(QString::fromUtf8(gadget.executable), marks)
                           .toUtf8());
        QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    if (desktopFolder)
        QDir().mkpath(m_home->path() + QStringLiteral("/Desktop"));

    const Entries stored = {{"DiretorioGadgets", gadgets + u'/'},
                            {"Usuario", ErpDatabaseOwner},
                            {"Senha", m_names[QStringLiteral("password")]},
                            {"CaminhoBanco", m_names[QStringLiteral("A")]},
                            {"LocRem", "L"},
                            {"Comp", "0"},
                            {"Servidor", ""},
                            {"Protocolo", ""},
                            {"ModoPainel", ""},
                            {"Filial", filial}};
    writeFile(settingsFilePath(), settingsText(stored));

    const QString failure = runFlow([&](User& user) {
        user.run(steps);
        if (steps.first() == u"click spbConfigurações")
            user.waitForDialogGone();
    });
    QVERIFY2(failure.isEmpty(), qPrintable(failure));

    for (QString e : expected) {
        for (auto it = m_names.cbegin(); it != m_names.cend(); ++it)
            e.replace(u'{' + it.key() + u'}', it.value());
        if (e.startsWith(u"started:")) {
            const QString exe = e.mid(8);
            QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(readFile(marks)).trimmed(), exe, 10000);
            continue;
        }
        const qsizetype eq = e.indexOf(u'=');
        QCOMPARE(storedSetting(e.left(eq)), e.mid(eq + 1));
    }
}

void TestDesktopFlows::startWithASettingsPathThatIsNoFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("starts"); // else an error box, then status 1
    QTest::newRow("a folder: read as no file") << QStringLiteral("folder") << true;
    QTest::newRow("a FIFO: refused") << QStringLiteral("fifo") << false;
}

// The real program, started as a user starts it, with something other than
// a file where its settings file belongs.
void TestDesktopFlows::startWithASettingsPathThatIsNoFile() {
    QFETCH(QString, kind);
    QFETCH(bool, starts);
    QDir().mkpath(settingsFolder());
    if (kind == u"folder")
        QVERIFY(QDir().mkpath(settingsFilePath()));
    else
        QCOMPARE(::mkfifo(QFile::encodeName(settingsFilePath()).constData(), 0600), 0);

    QProcess program;
    program.setProgram(QStringLiteral(ORVANTO_PROGRAM));
    program.start();
    QVERIFY(program.waitForStarted());
    struct EndIt {
        QProcess& p;
        ~EndIt() {
            if (p.state() != QProcess::NotRunning) {
                p.kill();
                p.waitForFinished(5000);
            }
        }
    } endIt{program}; // whatever a failed check leaves running
    const QString pid = QString::number(program.processId());
    // The sizes of the program's windows on the screen, once it shows one.
    const auto windows = [&] {
        QProcess search;
        search.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                 QStringLiteral("--pid"), pid});
        search.waitForFinished(10000);
        QStringList sizes;
        for (const QByteArray& id : search.readAllStandardOutput().split('\n')) {
            if (id.isEmpty())
                continue;
            QProcess geometry;
            geometry.start(QStringLiteral("xdotool"),
                           {QStringLiteral("getwindowgeometry"), QString::fromLatin1(id)});
            geometry.waitForFinished(10000);
            const QString out = QString::fromLatin1(geometry.readAllStandardOutput());
            sizes << out.section(QStringLiteral("Geometry: "), 1).trimmed();
        }
        return sizes;
    };
    QTRY_VERIFY_WITH_TIMEOUT(!windows().isEmpty() || program.state() == QProcess::NotRunning, 20000);
    QTest::qWait(500); // a box would come with the window, or not at all
    const QStringList shown = windows();
    if (starts) {
        QCOMPARE(shown, QStringList{QStringLiteral("641x584")});
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    } else {
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.front() != u"641x584");
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")});
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 1);
    }
}

int main(int argc, char** argv) {
    // The X server comes first: the application connects to it at once.
    PrivateXServer xserver("1280x1024x24");
    if (xserver.use() && !xserver.startWindowManager())
        qWarning("no window manager (openbox) could be started");
    return runTestObject<OrvantoApplication, TestDesktopFlows>(argc, argv, setUpWidgetTest);
}

#include "tst_desktopflows.moc"
