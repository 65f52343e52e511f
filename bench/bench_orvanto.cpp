// The in-process figures, each against the fastest way of doing the same
// job on this machine (the floor). Every round runs both contenders of a
// figure, alternating which goes first; a round's sample of a contender is
// the median of a few repetitions, taken in turns with the other contender.
//
//   bench_orvanto --rounds N --data DIR --spawn13 PATH [--only a,b,...]
//
// Prints one line per figure and round:
//   round <figure> <round> <ours seconds> <floor seconds>
//
// dialog10k     the settings dialog built and shown until its first frame,
//               its branch list read from a database of 10,000 active
//               branches | the client's C calls (load, attach, query, fetch
//               all, detach) and one addItems of the same texts
// fill100k      100,000 branches put into the dialog's branch list and shown
//               | one addItems call into a combo box and its first show
// launch13      the panel's start button with all 13 gadgets ticked
//               | 13 bare posix_spawn calls from a small process
// iniread100k   loading the settings from a 100 KB file: the program's
//               own section, then gadget sections | one read of the file
// iniwrite100k  saving the settings into that file
//               | one atomic write of it (temporary file, fsync, rename,
//               fsync of the folder)
// iniread100k_last, iniwrite100k_last
//               the same with the program's section after the gadgets'
//               (a file the gadgets made first): the whole file is passed
// iniwrite10m   saving changed settings (all ten values) into a 10 MB file,
//               the program's section first | one atomic write of it

#include "CoreTestSupport.h"
#include "ErpDatabase.h"
#include "app/BusyWait.h"
#include "config_dialog/TfrmConfig.h"
#include "database/Database.h"
#include "panel/GadgetCatalogue.h"
#include "panel/TFrmOrvanto.h"
#include "panel/TfrmPrints.h"
#include "settings/Settings.h"
#include "ui/Resources.h"

#include "ui/Application.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTabWidget>
#include <QTimer>

#include <ibase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "bench_orvanto: %s\n", what.c_str());
    std::exit(1);
}

// Processes events until a widget of window has been painted; the frame
// is complete when the call that painted it returns, since the whole
// window is drawn and flushed in one pass.
class FirstFrame : public QObject {
public:
    explicit FirstFrame(QWidget* window) : m_window(window) { qApp->installEventFilter(this); }
    ~FirstFrame() override { qApp->removeEventFilter(this); }

    void wait() {
        const auto start = Clock::now();
        while (!m_painted) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (seconds(start) > 30)
                fail("no frame within 30 s");
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == m_window)
            m_painted = true;
        return false;
    }

private:
    QWidget* m_window;
    bool m_painted = false;
};

void showUntilPainted(QWidget* window) {
    FirstFrame frame(window);
    window->show();
    frame.wait();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        fail("cannot write " + path.toStdString());
}

// Each figure keeps its own settings file: HOME moves to the figure's folder.
void useHome(const QString& home) {
    qputenv("HOME", QFile::encodeName(home));
}

// ---------------------------------------------------------------- dialog10k

struct DialogFigure {
    QString home;
    QString database;

    void setUp(const QString& data) {
        home = data + QStringLiteral("/home-dialog");
        database = data + QStringLiteral("/erp10k.fdb");
        QDir().mkpath(home + QStringLiteral("/TempVUX"));
        if (!QFileInfo::exists(database)) {
            const QString partial = database + QStringLiteral(".new");
            createBulkErpDatabase(partial, 10000);
            QFile::rename(partial, database);
        }
        writeBytes(home + QStringLiteral("/TempVUX/ConfigGadGet.Ini"),
                   settingsText({{QStringLiteral("LocRem"), QStringLiteral("L")},
                                 {QStringLiteral("Comp"), QStringLiteral("0")},
                                 {QStringLiteral("Servidor"), QString()},
                                 {QStringLiteral("Protocolo"), QString()},
                                 {QStringLiteral("CaminhoBanco"), database},
                                 {QStringLiteral("Usuario"), QStringLiteral("SYSDBA")},
                                 {QStringLiteral("Senha"), QStringLiteral("masterkey")},
                                 {QStringLiteral("DiretorioGadgets"), home + QStringLiteral("/Gadgets/")},
                                 {QStringLiteral("ModoPainel"), QString()},
                                 {QStringLiteral("Filial"), QStringLiteral("0005000")}}));
    }

    double ours() {
        useHome(home);
        CarregaConfig(Values); // as the panel left them
        const auto start = Clock::now();
        auto dialog = std::make_unique<TfrmConfig>(nullptr, Values);
        showUntilPainted(dialog.get());
        const double t = seconds(start);
        if (dialog->findChild<QComboBox*>(QStringLiteral("ppbFiliais"))->count() != 10000)
            fail("the dialog did not list the 10,000 branches");
        return t;
    }

    // The client's C calls written out bare: fixed buffers, one text per row.
    double floor() {
        const QByteArray name = QFile::encodeName(database);
        const char dpb[] = {isc_dpb_version1,
                            isc_dpb_user_name,
                            6,
                            'S',
                            'Y',
                            'S',
                            'D',
                            'B',
                            'A',
                            isc_dpb_password,
                            9,
                            'm',
                            'a',
                            's',
                            't',
                            'e',
                            'r',
                            'k',
                            'e',
                            'y'};
        const char* query = "SELECT CODEMPRESA, NOMEEMPRESA FROM FILIAIS WHERE FILIALATIVA <> 'N'";
        const auto start = Clock::now();

        void* lib = dlopen("libfbclient.so.2", RTLD_NOW);
        if (!lib)
            fail("libfbclient.so.2 not found");
        auto sym = [&](const char* fn) {
            void* p = dlsym(lib, fn);
            if (!p)
                fail(std::string("missing ") + fn);
            return p;
        };
        auto attach = reinterpret_cast<decltype(&isc_attach_database)>(sym("isc_attach_database"));
        auto startTr = reinterpret_cast<decltype(&isc_start_transaction)>(sym("isc_start_transaction"));
        auto alloc =
            reinterpret_cast<decltype(&isc_dsql_allocate_statement)>(sym("isc_dsql_allocate_statement"));
        auto prepare = reinterpret_cast<decltype(&isc_dsql_prepare)>(sym("isc_dsql_prepare"));
        auto execute = reinterpret_cast<decltype(&isc_dsql_execute)>(sym("isc_dsql_execute"));
        auto fetch = reinterpret_cast<decltype(&isc_dsql_fetch)>(sym("isc_dsql_fetch"));
        auto freeStmt = reinterpret_cast<decltype(&isc_dsql_free_statement)>(sym("isc_dsql_free_statement"));
        auto commit = reinterpret_cast<decltype(&isc_commit_transaction)>(sym("isc_commit_transaction"));
        auto detach = reinterpret_cast<decltype(&isc_detach_database)>(sym("isc_detach_database"));

        ISC_STATUS_ARRAY status{};
        isc_db_handle db = 0;
        isc_tr_handle tr = 0;
        isc_stmt_handle stmt = 0;
        if (attach(status, short(name.size()), name.constData(), &db, short(sizeof dpb), dpb))
            fail("attach failed");
        if (startTr(status, &tr, 1, &db, 0, nullptr))
            fail("start failed");
        if (alloc(status, &db, &stmt))
            fail("allocate failed");
        alignas(XSQLDA) char sqlda[XSQLDA_LENGTH(2)] = {};
        auto* out = reinterpret_cast<XSQLDA*>(sqlda);
        out->version = SQLDA_VERSION1;
        out->sqln = 2;
        if (prepare(status, &tr, &stmt, 0, query, SQL_DIALECT_V6, out))
            fail("prepare failed");
        char buffers[2][512];
        ISC_SHORT nulls[2];
        for (int i = 0; i < 2; ++i) {
            if (out->sqlvar[i].sqllen + 2 > int(sizeof buffers[i]))
                fail("column too wide");
            out->sqlvar[i].sqldata = buffers[i];
            out->sqlvar[i].sqlind = &nulls[i];
        }
        if (execute(status, &tr, &stmt, SQL_DIALECT_V6, nullptr))
            fail("execute failed");
        QStringList items;
        auto text = [](const char* data) {
            unsigned short n;
            std::memcpy(&n, data, sizeof n);
            return QString::fromUtf8(data + 2, n);
        };
        while (fetch(status, &stmt, SQL_DIALECT_V6, out) == 0)
            items.append(text(buffers[0]) + QStringLiteral(" - ") + text(buffers[1]));
        freeStmt(status, &stmt, DSQL_drop);
        commit(status, &tr);
        detach(status, &db);
        QComboBox list;
        list.addItems(items);
        const double t = seconds(start);
        if (list.count() != 10000)
            fail("the floor did not list the 10,000 branches");
        return t;
    }
};

// ---------------------------------------------------------------- fill100k

QStringList branchTexts(int count) {
    QStringList items;
    items.reserve(count);
    for (int i = 1; i <= count; ++i) {
        const QString code = QStringLiteral("%1").arg(i, 7, 10, QLatin1Char('0'));
        items.append(code + QStringLiteral(" - Filial ") + code);
    }
    return items;
}

struct FillFigure {
    QString home;
    QStringList items;

    void setUp(const QString& data) {
        home = data + QStringLiteral("/home-fill");
        QDir().mkpath(home);
        items = branchTexts(100000);
    }

    double ours() {
        useHome(home);
        Values.LocRem.clear();
        Values.CaminhoBanco.clear(); // no database: the list starts empty
        auto dialog = std::make_unique<TfrmConfig>(nullptr, Values);
        auto* list = dialog->findChild<QComboBox*>(QStringLiteral("ppbFiliais"));
        dialog->findChild<QTabWidget*>(QStringLiteral("tbcConfig"))->setCurrentIndex(1);
        const auto start = Clock::now();
        TfrmConfig::setBranchItems(list, items);
        showUntilPainted(dialog.get());
        const double t = seconds(start);
        if (list->count() != items.size())
            fail("the branch list is not full");
        return t;
    }

    double floor() {
        QComboBox list;
        list.resize(243, 23);
        const auto start = Clock::now();
        list.addItems(items);
        showUntilPainted(&list);
        const double t = seconds(start);
        if (list.count() != items.size())
            fail("the floor's list is not full");
        return t;
    }
};

// ---------------------------------------------------------------- launch13

struct LaunchFigure {
    QString home;
    QString gadgets;
    QString spawn13;
    std::unique_ptr<TFrmOrvanto> panel;
    std::unique_ptr<TfrmPrints> prints;

    void setUp(const QString& data, const QString& spawnProgram) {
        spawn13 = spawnProgram;
        home = data + QStringLiteral("/home-launch");
        gadgets = home + QStringLiteral("/Gadgets");
        QDir().mkpath(gadgets);
        QDir().mkpath(home + QStringLiteral("/TempVUX"));
        for (const Gadget& g : GadgetCatalogue) {
            const QString file = gadgets + u'/' + QLatin1String(g.executable);
            QFile::remove(file);
            if (!QFile::copy(QStringLiteral("/bin/true"), file))
                fail("cannot copy /bin/true");
            QFile::setPermissions(file, QFile::permissions(file) | QFileDevice::ExeOwner);
        }
        writeBytes(home + QStringLiteral("/TempVUX/ConfigGadGet.Ini"),
                   settingsText({{QStringLiteral("DiretorioGadgets"), gadgets + u'/'}}));
        useHome(home);
        panel = std::make_unique<TFrmOrvanto>(Values);
        FrmOrvanto = panel.get();
        prints = std::make_unique<TfrmPrints>();
        frmPrints = prints.get();
        for (std::size_t row = 0; row < GadgetCatalogue.size(); ++row)
            panel->gadgetBox(row)->setChecked(true);
    }

    ~LaunchFigure() {
        FrmOrvanto = nullptr;
        frmPrints = nullptr;
    }

    // The gadgets end at once; their reaping (by the panel's event loop, as
    // after a real click) must not overlap the next sample.
    static void settle() {
        QEventLoop loop;
        QTimer::singleShot(30, &loop, &QEventLoop::quit);
        loop.exec();
    }

    double ours() {
        useHome(home);
        CarregaConfig(Values);
        const auto start = Clock::now();
        panel->btnIniciarGadgetsClick();
        const double t = seconds(start);
        settle();
        return t;
    }

    double floor() {
        QStringList files;
        for (const Gadget& g : GadgetCatalogue)
            files.append(gadgets + u'/' + QLatin1String(g.executable));
        QProcess small;
        small.start(spawn13, files);
        if (!small.waitForFinished(10000) || small.exitCode() != 0)
            fail("spawn13 failed");
        const double t = small.readAllStandardOutput().trimmed().toDouble();
        settle();
        return t;
    }
};

// ------------------------------------------------------ iniread / iniwrite

// About size bytes: the program's own section and then gadget sections, the
// order in which the panel's first save and the gadgets leave the file; or,
// with ownSectionLast, the gadgets' sections first (a file they made before
// the panel ever saved), so that every lookup passes the whole file.
QByteArray gadgetSettingsFile(const QString& gadgetFolder, bool ownSectionLast, qsizetype size) {
    const QByteArray own =
        settingsText({{QStringLiteral("LocRem"), QStringLiteral("R")},
                      {QStringLiteral("Comp"), QStringLiteral("0")},
                      {QStringLiteral("Servidor"), QStringLiteral("192.168.0.10")},
                      {QStringLiteral("Protocolo"), QStringLiteral("0")},
                      {QStringLiteral("CaminhoBanco"), QStringLiteral("/srv/erp/DADOS.FDB")},
                      {QStringLiteral("Usuario"), QStringLiteral("SYSDBA")},
                      {QStringLiteral("Senha"), QStringLiteral("masterkey")},
                      {QStringLiteral("DiretorioGadgets"), gadgetFolder},
                      {QStringLiteral("ModoPainel"), QStringLiteral("1")},
                      {QStringLiteral("Filial"), QStringLiteral("01")}}) +
        "\r\n";
    QByteArray gadgets;
    int n = 0;
    while (gadgets.size() + own.size() < size) {
        const Gadget& g = GadgetCatalogue[size_t(n) % GadgetCatalogue.size()];
        gadgets += "[" + QByteArray(g.executable).chopped(4) + "_" + QByteArray::number(n / 13) + "]\r\n";
        gadgets += "PosicaoX        =" + QByteArray::number(100 + n % 900) + "\r\n";
        gadgets += "PosicaoY        =" + QByteArray::number(50 + n % 600) + "\r\n";
        gadgets += "Largura         =219\r\n";
        gadgets += "Altura          =140\r\n";
        gadgets += "Atualizacao     =" + QByteArray::number(30 + n % 5 * 30) + "\r\n";
        gadgets += "Transparencia   =" + QByteArray::number(n % 100) + "\r\n";
        gadgets += "SempreVisivel   =" + QByteArray(n % 2 ? "S" : "N") + "\r\n";
        gadgets += "Filial          =" + QByteArray::number(n % 12 + 1).rightJustified(2, '0') + "\r\n";
        gadgets += "\r\n";
        ++n;
    }
    return ownSectionLast ? gadgets + own : own + gadgets;
}

struct IniFigure {
    QString home;
    QString file;
    QByteArray fileName;
    QByteArray tempName;
    QByteArray floorName;
    QByteArray folderName;
    bool changed = false; // which of two value sets the last changing save wrote

    void setUp(const QString& data, const QString& name, bool ownSectionLast, qsizetype size) {
        home = data + u'/' + name;
        QDir().mkpath(home + QStringLiteral("/TempVUX"));
        file = home + QStringLiteral("/TempVUX/ConfigGadGet.Ini");
        writeBytes(file, gadgetSettingsFile(home + QStringLiteral("/Gadgets/"), ownSectionLast, size));
        fileName = QFile::encodeName(file);
        folderName = QFile::encodeName(home + QStringLiteral("/TempVUX"));
        tempName = folderName + "/.floor.tmp";
        // The floor replaces a copy beside the file: replacing the file
        // itself would make each of our saves meet a file another program
        // has just written, and wait until it is quiet.
        floorName = folderName + "/floor.Ini";
        useHome(home);
        CarregaConfig(Values); // the values the save writes back: the file does not change
    }

    double readOurs() {
        useHome(home);
        const auto start = Clock::now();
        CarregaConfig(Values);
        const double t = seconds(start);
        if (Values.Filial != u"01")
            fail("the settings were not read");
        return t;
    }

    // What any program does to have the file in memory: open, size,
    // a buffer of that size, read, close.
    double readFloor() {
        const auto start = Clock::now();
        const int fd = ::open(fileName.constData(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        ::fstat(fd, &info);
        char* buffer = static_cast<char*>(std::malloc(size_t(info.st_size) + 1));
        ssize_t total = 0, n;
        while ((n = ::read(fd, buffer + total, size_t(info.st_size) + 1 - size_t(total))) > 0)
            total += n;
        ::close(fd);
        std::free(buffer);
        const double t = seconds(start);
        if (total < 100 * 1024 - 400)
            fail("the floor read too little");
        return t;
    }

    double writeOurs() {
        useHome(home);
        const auto start = Clock::now();
        SalvaIni(Values);
        return seconds(start);
    }

    // A save that changes every value: each entry's line is rewritten, with
    // a length of its own, so nothing of the file stays where it was.
    double writeChangedOurs() {
        useHome(home);
        changed = !changed;
        const QString mark = changed ? QStringLiteral("~") : QString();
        for (QString* value :
             {&Values.LocRem, &Values.Comp, &Values.Servidor, &Values.Protocolo, &Values.CaminhoBanco,
              &Values.Usuario, &Values.Senha, &Values.DiretorioGadgets, &Values.ModoPainel, &Values.Filial}) {
            if (value->endsWith(u'~'))
                value->chop(1);
            *value += mark;
        }
        const auto start = Clock::now();
        SalvaIni(Values);
        return seconds(start);
    }

    double writeFloor() {
        static QByteArray content;
        content = QByteArray(); // read outside the timing
        {
            QFile f(file);
            f.open(QIODevice::ReadOnly);
            content = f.readAll();
        }
        const auto start = Clock::now();
        const int fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 || ::write(fd, content.constData(), size_t(content.size())) != content.size() ||
            ::fsync(fd) != 0)
            fail("the floor could not write");
        ::close(fd);
        if (::rename(tempName.constData(), floorName.constData()) != 0)
            fail("the floor could not rename");
        const int dir = ::open(folderName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::fsync(dir);
        ::close(dir);
        return seconds(start);
    }
};

struct Figure {
    const char* name;
    int repetitions; // per contender and round
    std::function<double()> ours;
    std::function<double()> floor;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    OrvantoApplication app(argc, argv);
    if (const QString missing = initOrvantoResources(); !missing.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(missing));
        return 1;
    }
    // As the program runs: client calls on a worker while the windows paint.
    setBlockingCallRunner(runWhilePainting);

    int rounds = 9;
    QString data;
    QString spawn13;
    QStringList only;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--rounds")
            rounds = args[i + 1].toInt();
        else if (args[i] == u"--data")
            data = args[i + 1];
        else if (args[i] == u"--spawn13")
            spawn13 = args[i + 1];
        else if (args[i] == u"--only")
            only = args[i + 1].split(u',');
        else
            fail("unknown argument " + args[i].toStdString());
    }
    if (data.isEmpty() || spawn13.isEmpty() || rounds < 1)
        fail("usage: bench_orvanto --rounds N --data DIR --spawn13 PATH [--only a,b]");
    data = QFileInfo(data).absoluteFilePath();
    QDir().mkpath(data);
    const QByteArray realHome = qgetenv("HOME");

    DialogFigure dialog;
    FillFigure fill;
    LaunchFigure launch;
    IniFigure ini, iniLast, ini10m;
    auto wanted = [&](const char* name) { return only.isEmpty() || only.contains(QLatin1String(name)); };
    if (wanted("dialog10k"))
        dialog.setUp(data);
    if (wanted("fill100k"))
        fill.setUp(data);
    if (wanted("launch13"))
        launch.setUp(data, spawn13);
    if (wanted("iniread100k") || wanted("iniwrite100k"))
        ini.setUp(data, QStringLiteral("home-ini"), false, 100 * 1024);
    if (wanted("iniread100k_last") || wanted("iniwrite100k_last"))
        iniLast.setUp(data, QStringLiteral("home-ini-last"), true, 100 * 1024);
    if (wanted("iniwrite10m"))
        ini10m.setUp(data, QStringLiteral("home-ini-10m"), false, 10 * 1024 * 1024);

    std::vector<Figure> figures = {
        {"dialog10k", 3, [&] { return dialog.ours(); }, [&] { return dialog.floor(); }},
        {"fill100k", 3, [&] { return fill.ours(); }, [&] { return fill.floor(); }},
        {"launch13", 5, [&] { return launch.ours(); }, [&] { return launch.floor(); }},
        {"iniread100k", 201, [&] { return ini.readOurs(); }, [&] { return ini.readFloor(); }},
        {"iniwrite100k", 15, [&] { return ini.writeOurs(); }, [&] { return ini.writeFloor(); }},
        {"iniread100k_last", 201, [&] { return iniLast.readOurs(); }, [&] { return iniLast.readFloor(); }},
        {"iniwrite100k_last", 15, [&] { return iniLast.writeOurs(); }, [&] { return iniLast.writeFloor(); }},
        {"iniwrite10m", 5, [&] { return ini10m.writeChangedOurs(); }, [&] { return ini10m.writeFloor(); }},
    };
    std::erase_if(figures, [&](const Figure& f) { return !wanted(f.name); });

    // One unrecorded pass: libraries, engine, fonts and caches warm.
    for (const Figure& f : figures) {
        f.ours();
        f.floor();
    }
    for (int round = 1; round <= rounds; ++round) {
        for (const Figure& f : figures) {
            std::vector<double> ours, floor;
            for (int rep = 0; rep < f.repetitions; ++rep) {
                if ((round + rep) % 2) {
                    ours.push_back(f.ours());
                    floor.push_back(f.floor());
                } else {
                    floor.push_back(f.floor());
                    ours.push_back(f.ours());
                }
            }
            std::printf("round %s %d %.9f %.9f\n", f.name, round, median(ours), median(floor));
            std::fflush(stdout);
        }
    }
    qputenv("HOME", realHome);
    setBlockingCallRunner({});
    return 0;
}
