#include "PanelFixture.h"
#include "RecordingPlatform.h"
#include "TestSupport.h"
#include "app/Startup.h"
#include "config_dialog/TfrmConfig.h"
#include "panel/GadgetCatalogue.h"
#include "panel/TFrmOrvanto.h"
#include "panel/TfrmPrints.h"
#include "platform/ErrorReport.h"
#include "platform/MessageBoxes.h"
#include "settings/Settings.h"
#include "settings/ShownError.h"
#include "ui/ImageBox.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
// This process's children, running or ended and not reaped, by process id.
QList<QByteArray> childProcesses() {
    QList<QByteArray> found;
    const QByteArray self = QByteArray::number(getpid());
    for (const QString& entry : QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(u"/proc/"_s + entry + u"/stat"_s);
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold spaces, so after its last ")".
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1] == self)
            found.append(entry.toUtf8());
    }
    return found;
}
} // namespace

namespace {

// Closes the settings dialog as soon as its modal loop runs, noting where it stood.
struct DialogProbe {
    QRect geometry;
    bool seen = false;
    void arm() {
        QTimer::singleShot(0, [this] {
            QVERIFY(frmConfig);
            QCOMPARE(QApplication::activeModalWidget(), static_cast<QWidget*>(frmConfig));
            geometry = frmConfig->geometry();
            seen = true;
            frmConfig->reject();
        });
    }
};

} // namespace

class PanelTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        fx = std::make_unique<PanelFixture>();
        panel = fx->panel.get();
        fake = &fx->platform;
        home = &fx->home;
        QVERIFY(fx->exposed());
    }
    void cleanup() {
        fx.reset();
        QVERIFY(!frmConfig);
        QVERIFY(QApplication::topLevelWidgets().size() <= 1 || !QApplication::activeModalWidget());
    }

    void layoutOfThePanel() {
        QCOMPARE(panel->size(), QSize(641, 584));
        QCOMPARE(panel->windowTitle(), QStringLiteral("Orvanto"));
        QVERIFY(panel->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(panel->testAttribute(Qt::WA_TranslucentBackground));
        auto* scb = child<QScrollArea>(panel, "scbChecks");
        QCOMPARE(scb->geometry(), QRect(51, 268, 309, 176));
        QCOMPARE(child<QPushButton>(panel, "btnIniciarGadgets")->geometry(), QRect(236, 484, 169, 35));
        QCOMPARE(child<QCheckBox>(panel, "ckbTodos")->text(), QStringLiteral("Todos"));
        QCOMPARE(child<QToolButton>(panel, "spbConfigurações")->text(), QStringLiteral("Configurações"));
        QCOMPARE(child<QLabel>(panel, "lblTitulo2")->text(), QStringLiteral("Listagem de Gadgets"));
        for (std::size_t row = 0; row < GadgetCatalogue.size(); ++row) {
            QCheckBox* box = panel->gadgetBox(row);
            QCOMPARE(box->objectName(), QString::fromLatin1(GadgetCatalogue[row].checkBox));
            QCOMPARE(box->text(), QString::fromUtf8(GadgetCatalogue[row].caption));
            QCOMPARE(box->geometry(), QRect(8, 2 + 30 * int(row), 289, 19));
            QVERIFY(!box->isChecked());
        }
        QCOMPARE(panel->gadgetBox(12)->text(), QStringLiteral("Índice de Inadimplência"));
        // The list's content is taller than the box, so it scrolls.
        QCOMPARE(scb->widget()->height(), 381);
    }

    void tabOrderFollowsTheList() {
        QWidget* w = panel->gadgetBox(0);
        QStringList order;
        while (order.size() < 17) {
            if (w->focusPolicy() & Qt::TabFocus)
                order << w->objectName();
            w = w->nextInFocusChain();
        }
        QStringList expected;
        for (const Gadget& g : GadgetCatalogue)
            expected << QString::fromLatin1(g.checkBox);
        expected << "spbFechar"
                 << "btnIniciarGadgets"
                 << "ckbTodos" << QStringLiteral("spbConfigurações");
        QCOMPARE(order, expected);
    }

    void clickShowsPreviewEitherWay() {
        QCheckBox* box = panel->gadgetBox(3); // 285 x 245 picture
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(box->isChecked());
        auto* preview = child<ImageBox>(panel, "imgGadget");
        QCOMPARE(preview->picture().size(), QSize(285, 245));
        QCOMPARE(preview->pictureRect(), QRect(28, 0, 163, 140));
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(!box->isChecked());
        QCOMPARE(preview->picture().size(), QSize(285, 245)); // still that gadget
    }

    void clickAnywhereInABoxToggles_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("x");
        for (std::size_t row = 0; row < GadgetCatalogue.size(); ++row)
            QTest::addRow("row %d, right end", int(row) + 1)
                << QString::fromLatin1(GadgetCatalogue[row].checkBox) << 288;
        QTest::newRow("row 1, x 230") << "ckbAbcProdutos" << 230;
        QTest::newRow("row 1, x 280") << "ckbAbcProdutos" << 280;
        QTest::newRow("row 1, on the tick") << "ckbAbcProdutos" << 9;
        QTest::newRow("Todos, x 65") << "ckbTodos" << 65;
        QTest::newRow("Todos, x 100") << "ckbTodos" << 100;
        QTest::newRow("Todos, right end") << "ckbTodos" << 141;
    }
    void clickAnywhereInABoxToggles() {
        QFETCH(QString, name);
        QFETCH(int, x);
        auto* box = child<QCheckBox>(panel, name.toUtf8().constData());
        child<QScrollArea>(panel, "scbChecks")->ensureWidgetVisible(box, 0, 0);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(x, 9));
        QVERIFY(box->isChecked());
        auto* preview = child<ImageBox>(panel, "imgGadget");
        if (name == u"ckbTodos") {
            for (std::size_t row = 0; row < GadgetCatalogue.size(); ++row)
                QVERIFY(panel->gadgetBox(row)->isChecked());
            QVERIFY(preview->picture().isNull());
        } else {
            const std::size_t row =
                std::size_t(std::find_if(GadgetCatalogue.begin(), GadgetCatalogue.end(),
                                         [&](const Gadget& g) { return name == QLatin1String(g.checkBox); }) -
                            GadgetCatalogue.begin());
            const QImage expected = frmPrints->image(GadgetCatalogue[row].previewImage)->picture().toImage();
            QCOMPARE(preview->picture().toImage(), expected);
        }
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(x, 9));
        QVERIFY(!box->isChecked());
    }

    void keyboardTogglesWithoutPreview() {
        QCheckBox* box = panel->gadgetBox(0);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Space);
        QVERIFY(box->isChecked());
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(!box->isChecked());
        QVERIFY(child<ImageBox>(panel, "imgGadget")->picture().isNull());
    }

    void todosSetsEveryBoxAndNeverThePreview() {
        auto* todos = child<QCheckBox>(panel, "ckbTodos");
        auto* preview = child<ImageBox>(panel, "imgGadget");
        QTest::mouseClick(panel->gadgetBox(12), Qt::LeftButton); // 180 x 129 picture
        QTest::mouseClick(todos, Qt::LeftButton, {}, QPoint(10, 9));
        for (std::size_t row = 0; row < 13; ++row)
            QVERIFY(panel->gadgetBox(row)->isChecked());
        QCOMPARE(preview->picture().size(), QSize(180, 129));
        QCOMPARE(preview->pictureRect(), QRect(19, 5, 180, 129));
        // Clearing one box leaves "Todos" checked; the next click clears everything.
        panel->gadgetBox(4)->setChecked(false);
        QVERIFY(todos->isChecked());
        QTest::mouseClick(todos, Qt::LeftButton, {}, QPoint(10, 9));
        for (std::size_t row = 0; row < 13; ++row)
            QVERIFY(!panel->gadgetBox(row)->isChecked());
        QCOMPARE(preview->picture().size(), QSize(180, 129));
    }

    void todosWithEveryBoxAlreadyChecked() {
        for (std::size_t row = 0; row < 13; ++row)
            panel->gadgetBox(row)->setChecked(true);
        auto* todos = child<QCheckBox>(panel, "ckbTodos");
        QTest::mouseClick(todos, Qt::LeftButton, {}, QPoint(10, 9));
        QVERIFY(todos->isChecked());
        for (std::size_t row = 0; row < 13; ++row)
            QVERIFY(panel->gadgetBox(row)->isChecked());
        QVERIFY(child<ImageBox>(panel, "imgGadget")->picture().isNull());
    }

    void dialogPlacement_data() {
        QTest::addColumn<QPoint>("panelPos");
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QPoint>("dialogPos");
        QTest::newRow("panel at 0,0") << QPoint(0, 0) << QSize(1920, 1080) << QPoint(184, 59);
        QTest::newRow("panel at 1,0: half to even") << QPoint(1, 0) << QSize(1920, 1080) << QPoint(184, 59);
        QTest::newRow("panel at 2,0") << QPoint(2, 0) << QSize(1920, 1080) << QPoint(186, 59);
        QTest::newRow("pushed back inside a small screen")
            << QPoint(900, 400) << QSize(1024, 768) << QPoint(750, 378);
        QTest::newRow("panel above the screen") << QPoint(0, -100) << QSize(1920, 1080) << QPoint(184, 0);
        QTest::newRow("screen narrower than the dialog")
            << QPoint(0, 0) << QSize(200, 1080) << QPoint(-74, 59);
    }
    void dialogPlacement() {
        QFETCH(QPoint, panelPos);
        QFETCH(QSize, screen);
        QFETCH(QPoint, dialogPos);
        fake->screen = screen;
        panel->move(panelPos);
        DialogProbe probe;
        probe.arm();
        panel->spbConfiguraçõesClick();
        QVERIFY(probe.seen);
        QCOMPARE(probe.geometry, QRect(dialogPos, QSize(274, 390)));
        QVERIFY(!frmConfig);
        QCOMPARE(panel->findChildren<TfrmConfig*>().size(), 0); // destroyed after closing
    }

    void settingsButtonOpensDialogByClick() {
        DialogProbe probe;
        probe.arm();
        QTest::mouseClick(child<QToolButton>(panel, "spbConfigurações"), Qt::LeftButton, {}, QPoint(5, 10));
        QVERIFY(probe.seen); // a click on the gear icon reaches the button too
    }

    void launcherStartsCheckedRowsInOrder() {
        QTemporaryDir gadgets;
        Values.DiretorioGadgets = gadgets.path(); // no trailing separator
        panel->gadgetBox(12)->setChecked(true);
        panel->gadgetBox(0)->setChecked(true);
        QTest::mouseClick(child<QPushButton>(panel, "btnIniciarGadgets"), Qt::LeftButton);
        QCOMPARE(Values.DiretorioGadgets, gadgets.path() + "/");
        QCOMPARE(fake->started,
                 QStringList({gadgets.path() + "/Tarvelo.exe", gadgets.path() + "/Varnelo.exe"}));
        QVERIFY(fake->messages.isEmpty());
        panel->btnIniciarGadgetsClick(); // a second click starts them again
        QCOMPARE(fake->started.size(), 4);
        QCOMPARE(Values.DiretorioGadgets, gadgets.path() + "/");
    }

    void launcherWithTodosStartsAllThirteen() {
        QTemporaryDir gadgets;
        Values.DiretorioGadgets = gadgets.path() + "/";
        child<QCheckBox>(panel, "ckbTodos")->setChecked(true);
        panel->btnIniciarGadgetsClick();
        QStringList expected;
        for (const Gadget& g : GadgetCatalogue)
            expected << gadgets.path() + "/" + QLatin1String(g.executable);
        QCOMPARE(fake->started, expected);
    }

    void launcherStartsRealPrograms() {
        QTemporaryDir gadgets;
        const QString marks = gadgets.path() + "/marks";
        QDir().mkpath(marks);
        for (const char* name : {"Tarvelo.exe", "Varnelo.exe", "Mirendo.exe"}) {
            writeFile(gadgets.path() + "/" + name,
                      QByteArray("#!/bin/sh\necho \"$#\" > '") + marks.toUtf8() + "/" + name + "'\n");
            QFile::setPermissions(gadgets.path() + "/" + name,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        fake->reallyStart = true;
        Values.DiretorioGadgets = gadgets.path();
        panel->gadgetBox(0)->setChecked(true);
        panel->gadgetBox(12)->setChecked(true);
        panel->btnIniciarGadgetsClick();
        QTRY_VERIFY(QFile::exists(marks + "/Tarvelo.exe") && QFile::exists(marks + "/Varnelo.exe"));
        QCOMPARE(readFile(marks + "/Tarvelo.exe"), QByteArray("0\n")); // no arguments
        QVERIFY(!QFile::exists(marks + "/Mirendo.exe"));
    }

    // Every gadget is reaped as it ends, whatever the order in which they
    // end: none lingers as a zombie while another still runs.
    void endedGadgetsLeaveNoZombies() {
        QTemporaryDir gadgets;
        const QString marks = gadgets.path() + "/marks";
        QDir().mkpath(marks);
        for (const Gadget& g : GadgetCatalogue) {
            const QString file = gadgets.path() + "/" + QLatin1String(g.executable);
            // The first one to start is the last to end.
            const QByteArray body = &g == &GadgetCatalogue.front()
                                        ? "echo $$ > '" + marks.toUtf8() + "/late'; sleep 3\n"
                                        : QByteArray("exit 0\n");
            writeFile(file, "#!/bin/sh\n" + body);
            QFile::setPermissions(file, QFile::ReadOwner | QFile::ExeOwner);
        }
        fake->reallyStart = true;
        Values.DiretorioGadgets = gadgets.path();
        for (std::size_t row = 0; row < GadgetCatalogue.size(); ++row)
            panel->gadgetBox(row)->setChecked(true);
        panel->btnIniciarGadgetsClick();
        QCOMPARE(fake->started.size(), qsizetype(GadgetCatalogue.size()));
        QTRY_VERIFY(QFile::exists(marks + "/late"));
        const QByteArray late = readFile(marks + "/late").trimmed();
        // The twelve that ended are reaped while the first still runs.
        QTRY_COMPARE_WITH_TIMEOUT(childProcesses(), QList<QByteArray>{late}, 2500);
        QTRY_COMPARE_WITH_TIMEOUT(childProcesses(), QList<QByteArray>{}, 10000);
    }

    // A gadget inherits the standard three descriptors and nothing else,
    // also none opened without close-on-exec (as the database engine opens
    // its lock and trace files).
    void startedGadgetInheritsOnlyTheStandardDescriptors() {
        QTemporaryDir gadgets;
        const QString list = gadgets.path() + "/fds";
        writeFile(gadgets.path() + "/Tarvelo.exe", "#!/bin/sh\nls /proc/$$/fd > '" + list.toUtf8() +
                                                       ".part' && mv '" + list.toUtf8() + ".part' '" +
                                                       list.toUtf8() + "'\n");
        QFile::setPermissions(gadgets.path() + "/Tarvelo.exe", QFile::ReadOwner | QFile::ExeOwner);
        // No O_CLOEXEC, on purpose; numbered above those a shell takes for
        // itself (dash keeps its script at 10), whatever this process has open.
        const int opened = ::open("/dev/null", O_RDONLY);
        const int leaked = ::fcntl(opened, F_DUPFD, 50);
        ::close(opened);
        QVERIFY(leaked >= 50);
        auto closeLeaked = qScopeGuard([&] { ::close(leaked); });
        fake->reallyStart = true;
        Values.DiretorioGadgets = gadgets.path();
        panel->gadgetBox(0)->setChecked(true);
        panel->btnIniciarGadgetsClick();
        QTRY_VERIFY(QFile::exists(list));
        // The shell's own descriptors (its script, a saved output) show too.
        QStringList fds = QString::fromUtf8(readFile(list)).split(u'\n', Qt::SkipEmptyParts);
        fds.removeAll(u"0"_s);
        fds.removeAll(u"1"_s);
        fds.removeAll(u"2"_s);
        QVERIFY2(!fds.contains(QString::number(leaked)), qPrintable(fds.join(u' ')));
        QVERIFY2(fds.size() <= 2, qPrintable(fds.join(u' ')));
    }

    void unstartableGadgetIsReportedAndTheRestStart() {
        QTemporaryDir gadgets;
        const QString marks = gadgets.path() + "/marks";
        QDir().mkpath(marks);
        // Tarvelo is missing, Mirendo is not executable, Calvoria is no program; Varnelo works.
        writeFile(gadgets.path() + "/Mirendo.exe", "#!/bin/sh\n");
        writeFile(gadgets.path() + "/Calvoria.exe", "just text\n");
        QFile::setPermissions(gadgets.path() + "/Calvoria.exe", QFile::ReadOwner | QFile::ExeOwner);
        writeFile(gadgets.path() + "/Varnelo.exe", "#!/bin/sh\ntouch '" + marks.toUtf8() + "/Varnelo'\n");
        QFile::setPermissions(gadgets.path() + "/Varnelo.exe", QFile::ReadOwner | QFile::ExeOwner);
        fake->reallyStart = true;
        Values.DiretorioGadgets = gadgets.path();
        for (std::size_t row : {0u, 1u, 2u, 12u})
            panel->gadgetBox(row)->setChecked(true);
        panel->btnIniciarGadgetsClick();
        const QString dir = gadgets.path() + "/";
        QCOMPARE(fake->texts(),
                 QStringList(
                     {"Não foi possível abrir \"" + dir + "Tarvelo.exe\".\r\nO arquivo não foi encontrado.",
                      "Não foi possível abrir \"" + dir +
                          "Mirendo.exe\".\r\nO arquivo não tem permissão de execução.",
                      "Não foi possível abrir \"" + dir +
                          "Calvoria.exe\".\r\nO arquivo não é um programa que possa ser executado."}));
        QTRY_VERIFY(QFile::exists(marks + "/Varnelo"));
    }

    // What stands under a gadget's name decides the reason given, in
    // Portuguese and naming what is really wrong.
    void unstartableGadgetReasons_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "missing"
                                 << "O arquivo não foi encontrado.";
        QTest::newRow("a folder") << "folder"
                                  << "O caminho é uma pasta, não um programa.";
        QTest::newRow("not executable") << "not executable"
                                        << "O arquivo não tem permissão de execução.";
        QTest::newRow("link loop")
            << "link loop"
            << "O arquivo é um link simbólico que forma um ciclo e não leva a nenhum arquivo.";
        QTest::newRow("dangling link")
            << "dangling link"
            << "O arquivo é um link simbólico que aponta para um arquivo que não existe.";
        QTest::newRow("not a program") << "not a program"
                                       << "O arquivo não é um programa que possa ser executado.";
        QTest::newRow("another machine's program")
            << "foreign program"
            << "O arquivo é um programa de outro tipo de computador, ou está danificado.";
        QTest::newRow("interpreter missing")
            << "interpreter missing"
            << "O interpretador \"/nao/existe/sh\" indicado na primeira linha do arquivo não foi encontrado.";
        QTest::newRow("Windows line breaks") << "windows line breaks"
                                             << "O arquivo tem quebras de linha do Windows: o sistema "
                                                "procura o interpretador \"/bin/sh\" com um CR "
                                                "no fim do nome e não o encontra.";
    }
    void unstartableGadgetReasons() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir gadgets;
        const QString gadget = gadgets.path() + "/Tarvelo.exe";
        const auto executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        if (kind == "folder") {
            QVERIFY(QDir().mkdir(gadget));
        } else if (kind == "not executable") {
            writeFile(gadget, "#!/bin/sh\n");
            QVERIFY(QFile::setPermissions(gadget, QFile::ReadOwner | QFile::WriteOwner));
        } else if (kind == "link loop") {
            QVERIFY(QFile::link(gadgets.path() + "/Outro.exe", gadget));
            QVERIFY(QFile::link(gadget, gadgets.path() + "/Outro.exe"));
        } else if (kind == "dangling link") {
            QVERIFY(QFile::link(gadgets.path() + "/removido.exe", gadget));
        } else if (kind == "not a program") {
            writeFile(gadget, "Tarvelo\n");
            QVERIFY(QFile::setPermissions(gadget, executable));
        } else if (kind == "foreign program") {
            // A real program, marked as built for a machine that does not exist.
            QByteArray program = readFile(u"/bin/true"_s);
            QVERIFY(program.startsWith("\x7f"
                                       "ELF"));
            program[18] = char(0x34);
            program[19] = char(0x12);
            writeFile(gadget, program);
            QVERIFY(QFile::setPermissions(gadget, executable));
        } else if (kind == "interpreter missing") {
            writeFile(gadget, "#!/nao/existe/sh\necho\n");
            QVERIFY(QFile::setPermissions(gadget, executable));
        } else if (kind == "windows line breaks") {
            writeFile(gadget, "#!/bin/sh\r\necho\r\n");
            QVERIFY(QFile::setPermissions(gadget, executable));
        }
        fake->reallyStart = true;
        Values.DiretorioGadgets = gadgets.path();
        panel->gadgetBox(0)->setChecked(true);
        panel->btnIniciarGadgetsClick();
        QCOMPARE(fake->texts(), QStringList{"Não foi possível abrir \"" + gadget + "\".\r\n" + reason});
        QCOMPARE(fake->messages.first().caption, u"Orvanto"_s);
    }

    void launcherComplaints_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("anyChecked");
        QTest::addColumn<QString>("message");
        const QString empty = QStringLiteral("Diretório das Gadgets não informado!\r\n"
                                             "Informe o diretório das Gadgets em 'Configurações'.");
        const QString missing =
            QStringLiteral("Não foi encontrado o diretório informado!\r\n"
                           "Confira se o caminho da pasta das Gadgets foi informado corretamente.");
        QTest::newRow("empty, nothing checked") << "" << false << empty;
        QTest::newRow("empty") << "" << true << missing.left(0) + empty;
        QTest::newRow("missing folder") << "{home}/nao-existe" << true << missing;
        QTest::newRow("a file, not a folder") << "{home}/arquivo" << true << missing;
    }
    void launcherComplaints() {
        QFETCH(QString, folder);
        QFETCH(bool, anyChecked);
        QFETCH(QString, message);
        writeFile(home->path() + "/arquivo", "x");
        Values.DiretorioGadgets = QString(folder).replace("{home}", home->path());
        panel->gadgetBox(1)->setChecked(anyChecked);
        panel->btnIniciarGadgetsClick();
        QCOMPARE(fake->texts(), QStringList{message});
        QCOMPARE(fake->messages.first().kind, MessageKind::Plain);
        QCOMPARE(fake->messages.first().caption, QStringLiteral("Orvanto"));
        QVERIFY(fake->started.isEmpty());
        if (!folder.isEmpty())
            QVERIFY(Values.DiretorioGadgets.endsWith('/')); // the separator stays in memory
    }

    void launchErrorStopsTheRemainingRows() {
        QTemporaryDir gadgets;
        Values.DiretorioGadgets = gadgets.path();
        fake->onStart = [](const QString& path) {
            if (path.endsWith("Dunavel.exe"))
                throw ShownError(QStringLiteral("sem recursos"));
        };
        for (std::size_t row : {0u, 3u, 6u})
            panel->gadgetBox(row)->setChecked(true);
        panel->btnIniciarGadgetsClick();
        QCOMPARE(fake->started, QStringList{gadgets.path() + "/Tarvelo.exe"});
        QCOMPARE(fake->texts(), QStringList{"Ocorreu um erro ao Inicializar as Gadgets!\r\nsem recursos"});
    }

    void dragMovesByTotalTravel() {
        auto* background = child<ImageBox>(panel, "imgPainel");
        fake->cursor = QPoint(500, 300);
        QTest::mousePress(background, Qt::LeftButton, {}, QPoint(400, 250));
        QVERIFY(panel->drag().Capturar);
        QVERIFY(panel->tmrMover.isActive());
        fake->cursor = QPoint(520, 280);
        panel->tmrMoverTimer();
        QCOMPARE(panel->pos(), QPoint(120, 30));
        panel->tmrMoverTimer(); // a late tick causes no drift
        QCOMPARE(panel->pos(), QPoint(120, 30));
        fake->cursor = QPoint(300, 0);
        QTRY_COMPARE(panel->pos(), QPoint(-100, -250)); // the real timer follows, unclamped
        QTest::mouseRelease(background, Qt::LeftButton, {}, QPoint(400, 250));
        QVERIFY(!panel->drag().Capturar);
        QVERIFY(!panel->tmrMover.isActive());
        fake->cursor = QPoint(0, 0);
        panel->tmrMoverTimer();
        QCOMPARE(panel->pos(), QPoint(-100, -250));
    }

    void dragHandles_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("button");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<bool>("drags");
        QTest::newRow("background, left") << "imgPainel" << int(Qt::LeftButton) << QPoint(3, 3) << true;
        QTest::newRow("preview, left") << "imgGadget" << int(Qt::LeftButton) << QPoint(3, 3) << true;
        QTest::newRow("title label") << "lblTitulo" << int(Qt::LeftButton) << QPoint(3, 3) << true;
        QTest::newRow("background, right") << "imgPainel" << int(Qt::RightButton) << QPoint(3, 3) << false;
        QTest::newRow("check box") << "ckbAbcProdutos" << int(Qt::LeftButton) << QPoint(3, 3) << false;
        QTest::newRow("check box, right end")
            << "ckbAbcProdutos" << int(Qt::LeftButton) << QPoint(280, 9) << false;
        QTest::newRow("Todos, on its tick") << "ckbTodos" << int(Qt::LeftButton) << QPoint(9, 9) << false;
        QTest::newRow("Todos, blank part") << "ckbTodos" << int(Qt::LeftButton) << QPoint(80, 9) << false;
        QTest::newRow("Todos, right end") << "ckbTodos" << int(Qt::LeftButton) << QPoint(141, 9) << false;
        QTest::newRow("scroll box") << "scbChecks" << int(Qt::LeftButton) << QPoint(300, 5) << false;
        QTest::newRow("start button") << "btnIniciarGadgets" << int(Qt::LeftButton) << QPoint(3, 3) << false;
        QTest::newRow("divider") << "lnDivisor" << int(Qt::LeftButton) << QPoint(3, 3) << false;
    }
    void dragHandles() {
        QFETCH(QString, control);
        QFETCH(int, button);
        QFETCH(QPoint, at);
        QFETCH(bool, drags);
        QWidget* w = panel->findChild<QWidget*>(control);
        QVERIFY(w);
        QWidget* target = w;
        if (auto* area = qobject_cast<QScrollArea*>(w))
            target = area->widget(); // the list's empty space below the boxes
        // Press, move the pointer, and let the timer tick.
        const QPoint start = panel->pos();
        fake->cursor = QPoint(500, 300);
        QTest::mousePress(target, Qt::MouseButton(button), {}, at);
        QCOMPARE(panel->drag().Capturar, drags);
        fake->cursor = QPoint(530, 280);
        QTest::mouseMove(target, at + QPoint(30, -20));
        panel->tmrMoverTimer();
        QCOMPARE(panel->pos(), drags ? start + QPoint(30, -20) : start);
        QTest::mouseRelease(target, Qt::MouseButton(button), {}, at + QPoint(30, -20));
        QVERIFY(!panel->drag().Capturar);
    }

    void startupShowsThePanelAndCloseEndsWithZero() {
        fx->panel.reset();
        writeFile(settingsFilePath(), "[Configuracoes]\r\nUsuario=ana\r\n");
        fake->screen = QSize(1280, 1024);
        QWidget* shown = nullptr;
        QTimer::singleShot(0, [&] {
            shown = FrmOrvanto;
            QVERIFY(FrmOrvanto && FrmOrvanto->isVisible());
            QCOMPARE(FrmOrvanto->pos(), QPoint(320, 220));
            QVERIFY(frmPrints && !frmPrints->isVisible());
            QTest::mouseClick(child<QToolButton>(FrmOrvanto, "spbFechar"), Qt::LeftButton);
        });
        QCOMPARE(runOrvanto(*qApp, Values), 0);
        QVERIFY(shown);
        QCOMPARE(Values.Usuario, QStringLiteral("ana"));
        QVERIFY(!FrmOrvanto);
        QVERIFY(fake->messages.isEmpty());
        frmPrints = &fx->prints;
    }

    void startupWithUnreadableFileEndsWithOne() {
        fx->panel.reset();
        // Exists, but is no file to read: a FIFO would block a reader.
        QVERIFY(QDir().mkpath(settingsFolder()));
        QCOMPARE(::mkfifo(QFile::encodeName(settingsFilePath()).constData(), 0600), 0);
        QCOMPARE(runOrvanto(*qApp, Values), 1);
        QCOMPARE(fake->messages.size(), 1);
        QCOMPARE(fake->messages.first().kind, MessageKind::Error);
        QVERIFY(fake->messages.first().text.contains(settingsFilePath()));
        QVERIFY(!FrmOrvanto);
        frmPrints = &fx->prints;
    }

    void messageBoxCaptions() {
        ShowMessage(QStringLiteral("a\r\nb"));
        MessageDlg(QStringLiteral("Informe o Servidor!"));
        QCOMPARE(fake->messages.size(), 2);
        QCOMPARE(fake->messages[0].caption, QStringLiteral("Orvanto"));
        QCOMPARE(fake->messages[0].kind, MessageKind::Plain);
        QCOMPARE(fake->messages[1].caption, QStringLiteral("Warning"));
        QCOMPARE(fake->messages[1].kind, MessageKind::Warning);
    }

    void errorReportDotRule_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << "Unable to write to x"
                               << "Unable to write to x.";
        QTest::newRow("already a dot") << "Feito."
                                       << "Feito.";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("lower code") << "fim!"
                                    << "fim!";
        QTest::newRow("line break") << "a\r\n"
                                    << "a\r\n";
        QTest::newRow("slash is higher") << "a/"
                                         << "a/.";
    }
    void errorReportDotRule() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(errorReportText(text), shown);
    }

    void escapedErrorIsReportedAndLoopGoesOn() {
        runGuarded([] { throw ShownError(QStringLiteral("Unable to write to /x")); });
        QCOMPARE(fake->texts(), QStringList{"Unable to write to /x."});
    }

private:
    std::unique_ptr<PanelFixture> fx;
    TFrmOrvanto* panel = nullptr;
    RecordingPlatform* fake = nullptr;
    ScratchHome* home = nullptr;
};

ORVANTO_TEST_MAIN(PanelTest)
#include "tst_panel.moc"
