// The demo's preparation: a first run makes the database, registers its
// alias and installs the gadgets; nothing that exists is ever overwritten,
// and once all is in place it does nothing more.

#include "settings/Alias.h"
#include "settings/Database.h"
#include "StandInGadget.h"
#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QByteArray DistributionAliases = "# List of known databases\n"
                                       "security.db = $(dir_secDb)/security3.fdb\n"
                                       "{\n\tRemoteAccess = false\n}\n";

struct Scratch {
    QTemporaryDir dir;
    QString home;
    QString aliasFile;

    explicit Scratch(const QString& homeName = u"home"_s) {
        home = dir.filePath(homeName);
        QDir().mkpath(home);
        aliasFile = dir.filePath(u"databases.conf"_s);
        writeFile(aliasFile, DistributionAliases);
    }
    QString database() const { return home + u"/Morvelt/demo/valdore.fdb"_s; }
    QString gadgets() const { return home + u"/Morvelt/Gadgets VUX"_s; }
};

struct Outcome {
    int status = -1;
    QString output;
};

Outcome prepare(const Scratch& scratch, const QString& aliasFile = {}) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_s, scratch.home);
    env.insert(u"ORVANTO_ALIAS_FILE"_s, aliasFile.isEmpty() ? scratch.aliasFile : aliasFile);
    env.insert(u"ORVANTO_GADGET"_s, QStringLiteral(ORVANTO_GADGET_PROGRAM));
    env.remove(u"ORVANTO_NO_DEMO"_s);
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(ORVANTO_PREPARE_DEMO), {});
    if (!process.waitForFinished(120000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAll())};
}

// Every file under folder with its bytes (links by their target): what a
// second run must leave alone.
QMap<QString, QByteArray> snapshot(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        files.insert(info.filePath(), info.isSymLink() ? info.symLinkTarget().toUtf8()
                                      : info.isFile()  ? readFile(info.filePath())
                                                       : QByteArray("<folder>"));
    }
    return files;
}

QStringList activeBranches(const QString& database) {
    TTransaction transaction;
    TDatabase connection;
    connection.DatabaseName = database;
    connection.Params = ConnectionParams(u"SYSDBA"_s, u"quillvane"_s);
    connection.DefaultTransaction = &transaction;
    transaction.DefaultDatabase = &connection;
    connection.Open();
    TQuery query(&connection);
    query.SQL = u"SELECT CODEMPRESA, NOMEEMPRESA FROM FILIAIS WHERE FILIALATIVA <> 'N'"_s;
    query.Open();
    QStringList branches;
    for (query.First(); !query.Eof(); query.Next())
        branches << query.FieldByName(u"CODEMPRESA"_s) + u" - "_s + query.FieldByName(u"NOMEEMPRESA"_s);
    return branches;
}

} // namespace

class TestPrepareDemo : public QObject {
    Q_OBJECT

    QString m_savedAliasFile;

private slots:
    void init() { m_savedAliasFile = AliasFilePath; }
    void cleanup() { AliasFilePath = m_savedAliasFile; }

    void firstRunPreparesEverything_data() {
        QTest::addColumn<QString>("homeName");
        QTest::newRow("plain home") << u"home"_s;
        QTest::newRow("home with a blank") << u"my home"_s;
    }
    void firstRunPreparesEverything() {
        QFETCH(QString, homeName);
        Scratch scratch(homeName);
        const Outcome first = prepare(scratch);
        QVERIFY2(first.status == 0, qPrintable(first.output));

        // Branches with two-character codes; the inactive and the NULL one are not listed.
        const QStringList branches = activeBranches(scratch.database());
        QCOMPARE(branches.size(), 4);
        for (const QString& branch : branches)
            QVERIFY2(branch.indexOf(u" - "_s) == 2, qPrintable(branch));

        // The alias the dialog proposes names the database; what was there stays first.
        QVERIFY(readFile(scratch.aliasFile).startsWith(DistributionAliases));
        AliasFilePath = scratch.aliasFile;
        QCOMPARE(retornaCaminho(u"VALDORE"_s), scratch.database());

        // Thirteen programs under the catalogue's names, each playing its gadget.
        QDir gadgets(scratch.gadgets());
        QCOMPARE(gadgets.entryList(QDir::Files).size(), int(GadgetCatalogue.size()));
        for (const Gadget& gadget : GadgetCatalogue) {
            const QFileInfo program(gadgets.filePath(QString::fromUtf8(gadget.executable)));
            QVERIFY2(program.isExecutable(), qPrintable(program.filePath()));
            QCOMPARE(::gadgetForProgram(program.filePath()), &gadget);
        }

        // A second run touches nothing.
        const auto before = snapshot(scratch.home + u"/Morvelt"_s);
        const QByteArray aliases = readFile(scratch.aliasFile);
        const Outcome second = prepare(scratch);
        QCOMPARE(second.status, 0);
        QCOMPARE(second.output, QString());
        QCOMPARE(snapshot(scratch.home + u"/Morvelt"_s), before);
        QCOMPARE(readFile(scratch.aliasFile), aliases);
    }

    void whatExistsIsKept() {
        Scratch scratch;
        QDir().mkpath(scratch.gadgets());
        writeFile(scratch.gadgets() + u"/Tarvelo.exe"_s, "#!/bin/sh\nexec my-real-gadget\n");
        QDir().mkpath(QFileInfo(scratch.database()).path());
        writeFile(scratch.database(), "not a database, but the user's");
        const QByteArray aliases = DistributionAliases + "valdore = /srv/erp/real.fdb\n";
        writeFile(scratch.aliasFile, aliases);

        const Outcome outcome = prepare(scratch);
        QVERIFY2(outcome.status == 0, qPrintable(outcome.output));
        QCOMPARE(readFile(scratch.gadgets() + u"/Tarvelo.exe"_s), QByteArray("#!/bin/sh\nexec my-real-gadget\n"));
        QCOMPARE(QDir(scratch.gadgets()).entryList(QDir::Files), QStringList{u"Tarvelo.exe"_s});
        QCOMPARE(readFile(scratch.database()), QByteArray("not a database, but the user's"));
        QCOMPARE(readFile(scratch.aliasFile), aliases);
        QVERIFY(outcome.output.contains(u"keeping"_s));
    }

    void anAliasFileThatCannotBeWrittenGetsInstructions() {
        Scratch scratch;
        const QString unwritable = scratch.dir.filePath(u"no-such-folder/databases.conf"_s);
        const Outcome first = prepare(scratch, unwritable);
        QVERIFY2(first.status == 0, qPrintable(first.output));
        QVERIFY2(first.output.contains(u"echo 'VALDORE = %1' | sudo tee -a %2"_s.arg(scratch.database(), unwritable)),
                 qPrintable(first.output));
        QVERIFY(QFileInfo::exists(scratch.database()));
        QVERIFY(QFileInfo(scratch.gadgets()).isDir());

        // Not done yet: once the file can be written, the next run registers the alias.
        const Outcome second = prepare(scratch);
        QVERIFY2(second.status == 0, qPrintable(second.output));
        AliasFilePath = scratch.aliasFile;
        QCOMPARE(retornaCaminho(u"VALDORE"_s), scratch.database());
    }
};

ORVANTO_TEST_MAIN(TestPrepareDemo)
#include "tst_preparedemo.moc"
