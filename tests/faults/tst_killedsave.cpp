// A save killed at any moment, a thousand times over: the settings file is
// always whole (the old values or the new, never a mix, the gadgets'
// sections byte for byte), and the temporary files of killed saves do not
// pile up: the next save that completes sweeps them away.

#include "CoreTestSupport.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>

#include <sys/file.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {

const QByteArray GadgetsBefore = "; arquivo compartilhado com as gadgets\r\n"
                                 "[GadgetVendas]\r\n"
                                 "PosX=10\r\n"
                                 "PosY = 20 \r\n"
                                 "odd line without equals\r\n"
                                 "\r\n";

QByteArray gadgetsAfter() {
    QByteArray text = "\r\n";
    for (int i = 0; i < 40; ++i) {
        text += "[Gadget" + QByteArray::number(i) + "]\n"; // a gadget that writes bare line feeds
        text += "Left=" + QByteArray::number(i * 7) + "\n";
        text += "LocRem=not ours\r\n";
        text += "; " + QByteArray(60, char('a' + i % 26)) + "\r\n";
    }
    return text + "[Ultima]\r\nSemFimDeLinha=1"; // no final line break
}

// The section as the writer's save with this tag leaves it.
QByteArray configuracoes(const QByteArray& tag) {
    return "[Configuracoes]\r\n"
           "LocRem          =L\r\n"
           "Comp            =0\r\n"
           "Servidor        =\r\n"
           "Protocolo       =\r\n"
           "CaminhoBanco    =/dados/erp" +
           tag +
           ".fdb\r\n"
           "Usuario         =SYSDBA\r\n"
           "Senha           =segredo" +
           tag +
           "\r\n"
           "DiretorioGadgets=/opt/gadgets/\r\n"
           "ModoPainel      =1\r\n"
           "Filial          =01\r\n";
}

QByteArray wholeFile(const QByteArray& tag) {
    return GadgetsBefore + configuracoes(tag) + gadgetsAfter();
}

// What a save can leave in the folder besides the file: its temporary files.
QStringList leftovers() {
    QStringList names = QDir(settingsFolder())
                            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.removeOne(QStringLiteral("ConfigGadGet.Ini"));
    names.removeOne(QStringLiteral(".ConfigGadGet.Ini.lock")); // the writers' lock file stays by design
    return names;
}

} // namespace

class KilledSaveTest : public QObject {
    Q_OBJECT

private slots:
    void init() { home = std::make_unique<ScratchHome>(); }
    void cleanup() { home.reset(); }

    void killedSaveLeavesTheFileWhole() {
        constexpr int Rounds = 1000;
        const QString writer = QCoreApplication::applicationDirPath() + QStringLiteral("/fault_writer");
        QVERIFY(QFileInfo::exists(writer));
        writeFile(settingsFilePath(), wholeFile("start"));
        auto* random = QRandomGenerator::global();
        QSet<QString> seen;        // temporary files met so far
        int killedInsideWrite = 0; // kills that caught a save between its temporary file and its rename
        int completedSaves = 0;    // rounds whose writer completed at least one save

        for (int round = 0; round < Rounds; ++round) {
            const int before = int(leftovers().size());
            QProcess process;
            process.start(writer, {QString::number(round)});
            QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
            QVERIFY2(process.waitForReadyRead(30000), "the writer did not start saving");
            std::this_thread::sleep_for(std::chrono::microseconds(random->bounded(20000)));
            process.kill();
            QVERIFY(process.waitForFinished(30000));
            QCOMPARE(process.exitStatus(), QProcess::CrashExit); // it was still saving: killed, not ended

            // Whole: exactly the file of one save (or the starting one).
            const QByteArray now = readFile(settingsFilePath());
            const auto senha = ini::lookup(now, "Configuracoes", "Senha");
            QVERIFY2(senha && senha->startsWith("segredo"), now.left(400).constData());
            const QByteArray tag = senha->mid(7);
            QVERIFY2(now == wholeFile(tag), qPrintable(QStringLiteral("round %1: the file is not whole:\n%2")
                                                           .arg(round)
                                                           .arg(QString::fromUtf8(now.left(600)))));

            // Leftovers: a kill adds at most one; once this writer completed a
            // second save, the sweep after its first one has removed all but
            // the file its kill interrupted.
            const QStringList left = leftovers();
            for (const QString& name : left)
                QVERIFY2(name.startsWith(QStringLiteral(".ConfigGadGet.Ini.")), qPrintable(name));
            QVERIFY2(left.size() <= before + 1, qPrintable(left.join(u' ')));
            const QByteArray ours = QByteArray::number(round) + '-';
            if (tag.startsWith(ours)) {
                ++completedSaves;
                if (tag.mid(ours.size()).toInt() >= 1)
                    QVERIFY2(left.size() <= 1, qPrintable(left.join(u' ')));
            }
            for (const QString& name : left) {
                if (!seen.contains(name)) {
                    seen.insert(name);
                    ++killedInsideWrite;
                }
            }
        }
        qInfo("%d kills: %d caught a save inside its atomic write, %d came after a completed save", Rounds,
              killedInsideWrite, completedSaves);
        QVERIFY2(killedInsideWrite > 0, "no kill landed inside a save: the test did not test it");
        QVERIFY2(completedSaves > 0, "no writer ever completed a save");

        // The next save that completes leaves nothing behind but the file.
        Values.LocRem = QStringLiteral("L");
        Values.Comp = QStringLiteral("0");
        Values.Servidor.clear();
        Values.Protocolo.clear();
        Values.CaminhoBanco = QStringLiteral("/dados/erpfim.fdb");
        Values.Usuario = QStringLiteral("SYSDBA");
        Values.Senha = QStringLiteral("segredofim");
        Values.DiretorioGadgets = QStringLiteral("/opt/gadgets/");
        Values.ModoPainel = QStringLiteral("1");
        Values.Filial = QStringLiteral("01");
        SalvaIni(Values);
        QCOMPARE(readFile(settingsFilePath()), wholeFile("fim"));
        QCOMPARE(leftovers(), QStringList());
    }

    // The sweep spares what is not a killed save's file: one whose writer
    // still holds it, and names that only look alike.
    void sweepSparesWhatIsNotALeftover() {
        writeFile(settingsFilePath(), wholeFile("start"));
        const QString folder = settingsFolder() + u'/';
        const QString stale = folder + QStringLiteral(".ConfigGadGet.Ini.Ab12Cd.saving");
        const QString held = folder + QStringLiteral(".ConfigGadGet.Ini.Zz99Yy.saving");
        const QStringList alike = {
            QStringLiteral(".ConfigGadGet.Ini.backup"), QStringLiteral(".ConfigGadGet.Ini.Ab12Cd"),
            QStringLiteral(".ConfigGadGet.Ini.Ab12Cd.saving~"), QStringLiteral(".Outro.Ini.Ab12Cd.saving")};
        writeFile(stale, "half a file");
        writeFile(held, "a save in progress");
        for (const QString& name : alike)
            writeFile(folder + name, "not ours");
        QFile holder(held);
        QVERIFY(holder.open(QIODevice::ReadWrite));
        QCOMPARE(::flock(holder.handle(), LOCK_EX), 0); // as a live writer holds its file

        Values.Senha = QStringLiteral("segredo");
        SalvaIni(Values);

        QVERIFY(!QFileInfo::exists(stale));
        QVERIFY(QFileInfo::exists(held));
        for (const QString& name : alike)
            QVERIFY2(QFileInfo::exists(folder + name), qPrintable(name));
    }

private:
    std::unique_ptr<ScratchHome> home;
};

ORVANTO_CORE_TEST_MAIN(KilledSaveTest)
#include "tst_killedsave.moc"
