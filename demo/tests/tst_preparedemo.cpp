// The demo's preparation: a first run makes the database in the machine's
// shared demo folder, registers its alias and installs the gadgets; nothing
// that exists is ever overwritten, and once all is in place it says nothing
// more. It tells where the alias points and whether that file can be used,
// how to fix it when it cannot, and a user who may not use the embedded
// engine which group to join.

#include "StandInGadget.h"
#include "TestSupport.h"
#include "database/Alias.h"
#include "database/Database.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray DistributionAliases = "# List of known databases\n"
                                       "security.db = $(dir_secDb)/security3.fdb\n"
                                       "{\n\tRemoteAccess = false\n}\n";

// The user the script is run as: the test itself (root, for the cases that
// need another user), or an unprivileged user in or outside the group that
// may use the embedded engine.
enum class As { Self, Member, Outsider };
constexpr uid_t OtherUid = 65534;
const QString EngineGroup = u"firebird"_s;

std::optional<gid_t> engineGroupId() {
    if (const group* entry = ::getgrnam("firebird"))
        return entry->gr_gid;
    return std::nullopt;
}

struct Scratch {
    QTemporaryDir dir;
    QString home;
    QString aliasFile;
    QString shared; // the machine's shared demo folder, not made yet

    explicit Scratch(const QString& homeName = u"home"_s, const QString& sharedName = u"shared"_s) {
        home = dir.filePath(homeName);
        QDir().mkpath(home);
        aliasFile = dir.filePath(u"databases.conf"_s);
        writeFile(aliasFile, DistributionAliases);
        shared = dir.filePath(sharedName + u"/orvanto/demo"_s);
    }
    QString database() const { return shared + u"/valdore.fdb"_s; }
    QString gadgets() const { return home + u"/Morvelt/Gadgets VUX"_s; }

    // Lets the unprivileged user reach the scratch folder and own the home.
    void openTo(As user) {
        if (user == As::Self)
            return;
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                              QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                              QFileDevice::ExeGroup);
        QVERIFY(::chown(QFile::encodeName(home).constData(), OtherUid, OtherUid) == 0);
    }
    // The folder as the administrator is told to make it.
    void makeSharedFolder() const {
        QVERIFY(QDir().mkpath(shared));
        QVERIFY(::chown(QFile::encodeName(shared).constData(), 0, *engineGroupId()) == 0);
        QVERIFY(::chmod(QFile::encodeName(shared).constData(), 02775) == 0);
    }
    void setAlias(const QString& path) const {
        writeFile(aliasFile, DistributionAliases + "VALDORE = " + path.toUtf8() + "\n");
    }
};

struct Outcome {
    int status = -1;
    QString output;
    QString lastLine() const { return output.trimmed().section(u'\n', -1); }
    // The commands it asks to be run ("sudo ..." lines), without "sudo".
    QStringList commands() const {
        QStringList found;
        const QRegularExpression command(u"^prepare-demo:   (?:sudo )?(.*)$"_s,
                                         QRegularExpression::MultilineOption);
        for (auto it = command.globalMatch(output); it.hasNext();)
            found << it.next().captured(1).replace(u" && sudo "_s, u" && "_s);
        return found;
    }
};

Outcome prepare(const Scratch& scratch, const QString& aliasFile = {}, As user = As::Self,
                const QString& path = {}) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_s, scratch.home);
    env.insert(u"ORVANTO_ALIAS_FILE"_s, aliasFile.isEmpty() ? scratch.aliasFile : aliasFile);
    env.insert(u"ORVANTO_DEMO_DIR"_s, scratch.shared);
    env.insert(u"ORVANTO_GADGET"_s, QStringLiteral(ORVANTO_GADGET_PROGRAM));
    env.remove(u"ORVANTO_NO_DEMO"_s);
    env.remove(u"FIREBIRD_LOCK"_s);
    if (!path.isEmpty())
        env.insert(u"PATH"_s, path);
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (user == As::Self) {
        process.start(QStringLiteral(ORVANTO_PREPARE_DEMO), {});
    } else {
        const gid_t gid = user == As::Member ? *engineGroupId() : gid_t(OtherUid);
        process.start(u"setpriv"_s, {u"--reuid=%1"_s.arg(OtherUid), u"--regid=%1"_s.arg(gid),
                                     u"--clear-groups"_s, QStringLiteral(ORVANTO_PREPARE_DEMO)});
    }
    if (!process.waitForFinished(120000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAll())};
}

// Runs what the script asked an administrator to run.
void runAsRoot(const QStringList& commands) {
    for (const QString& command : commands) {
        QProcess shell;
        shell.setProcessChannelMode(QProcess::MergedChannels);
        shell.start(u"bash"_s, {u"-c"_s, command});
        QVERIFY(shell.waitForFinished(30000));
        QVERIFY2(shell.exitCode() == 0, qPrintable(command + u": "_s + QString::fromUtf8(shell.readAll())));
    }
}

// The cases run as another user need root to become them, and the group.
bool canRunAsOthers(QString* why) {
    if (::geteuid() != 0)
        *why = u"only root can run the script as another user"_s;
    else if (!engineGroupId())
        *why = u"no group firebird (Firebird's embedded engine not installed)"_s;
    else if (QStandardPaths::findExecutable(u"setpriv"_s).isEmpty())
        *why = u"setpriv not installed"_s;
    return why->isEmpty();
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

struct stat statOf(const QString& path) {
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info;
}

// A database header page of another on-disk structure version: page type
// 1, page size 4096, version 11 with the Firebird flag.
QByteArray olderDatabaseHeader() {
    QByteArray header(4096, '\0');
    header[0] = 1;
    header[16] = 0x00;
    header[17] = 0x10;
    header[18] = 0x0b;
    header[19] = char(0x80);
    return header;
}

// The last line of a run after which the demo cannot be used yet.
const QString NotReady =
    u"prepare-demo: The demo cannot be used yet: do what is said above, then run prepare-demo again."_s;

void verifyNoEngineText(const QString& output) {
    for (const QString& raw : {u"Statement failed"_s, u"SQLSTATE"_s, u"Permission denied"_s, u"directive"_s})
        QVERIFY2(!output.contains(raw), qPrintable(output));
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
        QTest::addColumn<QString>("sharedName");
        QTest::newRow("plain names") << u"home"_s << u"var"_s;
        QTest::newRow("home with a blank") << u"my home"_s << u"var"_s;
        QTest::newRow("shared folder with a blank") << u"home"_s << u"shared data"_s; // a quoted alias
    }
    void firstRunPreparesEverything() {
        QFETCH(QString, homeName);
        QFETCH(QString, sharedName);
        Scratch scratch(homeName, sharedName);
        const Outcome first = prepare(scratch);
        QVERIFY2(first.status == 0, qPrintable(first.output));

        // Branches with two-character codes; the inactive and the NULL one are not listed.
        const QStringList branches = activeBranches(scratch.database());
        QCOMPARE(branches.size(), 4);
        for (const QString& branch : branches)
            QVERIFY2(branch.indexOf(u" - "_s) == 2, qPrintable(branch));

        // In the shared folder, for every user of the engine's group; nothing in the home.
        QVERIFY(!QFileInfo::exists(scratch.home + u"/Morvelt/demo/valdore.fdb"_s));
        if (const auto group = engineGroupId()) {
            const struct stat folder = statOf(scratch.shared);
            QCOMPARE(folder.st_gid, *group);
            QCOMPARE(folder.st_mode & 07777, mode_t(02775)); // files made in it join the group
            const struct stat file = statOf(scratch.database());
            QCOMPARE(file.st_gid, *group);
            QCOMPARE(file.st_mode & 0777, mode_t(0660));
        }

        // The alias the dialog proposes names the database; what was there stays first.
        QVERIFY(readFile(scratch.aliasFile).startsWith(DistributionAliases));
        AliasFilePath = scratch.aliasFile;
        QCOMPARE(retornaCaminho(u"VALDORE"_s), scratch.database());
        QVERIFY2(
            first.output.contains(u"points at %1: the file is there and usable"_s.arg(scratch.database())),
            qPrintable(first.output));

        // Thirteen programs under the catalogue's names, each playing its gadget.
        QDir gadgets(scratch.gadgets());
        QCOMPARE(gadgets.entryList(QDir::Files).size(), int(GadgetCatalogue.size()));
        for (const Gadget& gadget : GadgetCatalogue) {
            const QFileInfo program(gadgets.filePath(QString::fromUtf8(gadget.executable)));
            QVERIFY2(program.isExecutable(), qPrintable(program.filePath()));
            QCOMPARE(::gadgetForProgram(program.filePath()), &gadget);
        }

        // A second run touches nothing and says nothing.
        const auto before = snapshot(scratch.dir.path());
        const Outcome second = prepare(scratch);
        QCOMPARE(second.status, 0);
        QCOMPARE(second.output, QString());
        QCOMPARE(snapshot(scratch.dir.path()), before);
    }

    // Another user's home, with the machine's demo already there: only the
    // gadgets are new, and the database is not made twice.
    void aSecondUserSharesTheDatabase() {
        Scratch scratch;
        QVERIFY2(prepare(scratch).status == 0, "the first user's preparation failed");
        const QByteArray database = readFile(scratch.database());
        const QByteArray aliases = readFile(scratch.aliasFile);
        const QString firstHome = scratch.home;
        scratch.home = scratch.dir.filePath(u"other-home"_s);
        QVERIFY(QDir().mkpath(scratch.home));

        const Outcome outcome = prepare(scratch);
        QVERIFY2(outcome.status == 0, qPrintable(outcome.output));
        QVERIFY2(outcome.output.contains(u"keeping the existing database %1"_s.arg(scratch.database())),
                 qPrintable(outcome.output));
        QVERIFY(
            outcome.output.contains(u"points at %1: the file is there and usable"_s.arg(scratch.database())));
        QVERIFY(!outcome.output.contains(firstHome));
        QCOMPARE(readFile(scratch.database()), database);
        QCOMPARE(readFile(scratch.aliasFile), aliases);
        QCOMPARE(QDir(scratch.gadgets()).entryList(QDir::Files).size(), int(GadgetCatalogue.size()));
    }

    void whatExistsIsKept() {
        Scratch scratch;
        QDir().mkpath(scratch.gadgets());
        writeFile(scratch.gadgets() + u"/Tarvelo.exe"_s, "#!/bin/sh\nexec my-real-gadget\n");
        QDir().mkpath(scratch.shared);
        writeFile(scratch.database(), "not a database, but the user's");
        const QByteArray aliases = DistributionAliases + "valdore = /srv/erp/real.fdb\n";
        writeFile(scratch.aliasFile, aliases);

        const Outcome outcome = prepare(scratch);
        QVERIFY2(outcome.status == 1, qPrintable(outcome.output)); // the alias names a missing file
        QCOMPARE(outcome.lastLine(), NotReady);
        QCOMPARE(readFile(scratch.gadgets() + u"/Tarvelo.exe"_s),
                 QByteArray("#!/bin/sh\nexec my-real-gadget\n"));
        QCOMPARE(QDir(scratch.gadgets()).entryList(QDir::Files), QStringList{u"Tarvelo.exe"_s});
        QCOMPARE(readFile(scratch.database()), QByteArray("not a database, but the user's"));
        QCOMPARE(readFile(scratch.aliasFile), aliases);
        QVERIFY(outcome.output.contains(u"keeping"_s));
    }

    // A machine without Firebird's command-line tool: nothing is made, the
    // package to install is named, and the run ends with status 1.
    void withoutIsqlTheDemoIsNotReady() {
        Scratch scratch;
        // Every program of the system's folders but the tool, linked from a scratch folder.
        const QString bin = scratch.dir.filePath(u"bin"_s);
        QVERIFY(QDir().mkpath(bin));
        for (const QString& folder : {u"/usr/bin"_s, u"/bin"_s, u"/usr/sbin"_s, u"/sbin"_s}) {
            const QDir system(folder);
            for (const QString& name : system.entryList(QDir::Files | QDir::System)) {
                if (name != u"isql-fb"_s && name != u"isql"_s)
                    QFile::link(system.filePath(name), bin + u'/' + name); // the first folder's wins
            }
        }
        const Outcome outcome = prepare(scratch, {}, As::Self, bin);
        QCOMPARE(outcome.status, 1);
        QVERIFY2(outcome.output.contains(u"isql-fb not found, so no demo database was made"_s),
                 qPrintable(outcome.output));
        QCOMPARE(outcome.commands(), QStringList{u"apt-get install firebird3.0-utils"_s});
        QCOMPARE(outcome.lastLine(), NotReady);
        QVERIFY(!QFileInfo::exists(scratch.database()));
        QCOMPARE(readFile(scratch.aliasFile), DistributionAliases);
    }

    void anAliasFileThatCannotBeWrittenGetsInstructions() {
        Scratch scratch;
        const QString unwritable = scratch.dir.filePath(u"no-such-folder/databases.conf"_s);
        const Outcome first = prepare(scratch, unwritable);
        QVERIFY2(first.status == 1, qPrintable(first.output));
        QCOMPARE(first.lastLine(), NotReady);
        QVERIFY2(first.output.contains(
                     u"echo 'VALDORE = %1' | sudo tee -a %2"_s.arg(scratch.database(), unwritable)),
                 qPrintable(first.output));
        QVERIFY(QFileInfo::exists(scratch.database()));
        QVERIFY(QFileInfo(scratch.gadgets()).isDir());

        // Not done yet: once the file can be written, the next run registers the alias.
        const Outcome second = prepare(scratch);
        QVERIFY2(second.status == 0, qPrintable(second.output));
        AliasFilePath = scratch.aliasFile;
        QCOMPARE(retornaCaminho(u"VALDORE"_s), scratch.database());
    }

    // After a complete preparation (so later runs are quiet), the alias comes
    // to name a file that cannot be used: every run says so plainly, changes
    // neither the alias file nor that file, and tells a fix that works.
    void anAliasToAnUnusableFileIsReported_data() {
        QTest::addColumn<QString>("target");     // "demo": the shared demo database itself
        QTest::addColumn<QByteArray>("content"); // empty: none; "<folder>": a folder
        QTest::addColumn<QString>("problem");
        QTest::newRow("missing file") << u"gone.fdb"_s << QByteArray() << u"that file does not exist"_s;
        QTest::newRow("not a database")
            << u"notes.txt"_s << QByteArray("just some notes\n") << u"that file is not a Firebird database"_s;
        QTest::newRow("a folder") << u"erp"_s << QByteArray("<folder>")
                                  << u"that is a folder, not a database file"_s;
        QTest::newRow("older database")
            << u"old.fdb"_s << olderDatabaseHeader()
            << u"that database has the on-disk structure 11, which Firebird 3 cannot open"_s;
        QTest::newRow("demo database damaged")
            << u"demo"_s << QByteArray(8192, 'x') << u"that file is not a Firebird database"_s;
    }
    void anAliasToAnUnusableFileIsReported() {
        QFETCH(QString, target);
        QFETCH(QByteArray, content);
        QFETCH(QString, problem);
        Scratch scratch;
        QVERIFY2(prepare(scratch).status == 0, "the preparation failed");
        const bool demo = target == u"demo"_s;
        const QString path = demo ? scratch.database() : scratch.dir.filePath(target);
        if (content == "<folder>")
            QVERIFY(QDir().mkpath(path));
        else if (!content.isEmpty())
            writeFile(path, content);
        if (!demo)
            scratch.setAlias(path);
        const QByteArray aliases = readFile(scratch.aliasFile);
        const auto files = snapshot(scratch.dir.path());

        for (int run = 0; run < 2; ++run) {
            const Outcome outcome = prepare(scratch);
            QVERIFY2(outcome.status == 1, qPrintable(outcome.output));
            QCOMPARE(outcome.lastLine(), NotReady);
            QVERIFY2(outcome.output.contains(u"the alias VALDORE in %1 points at %2, but %3."_s.arg(
                         scratch.aliasFile, path, problem)),
                     qPrintable(outcome.output));
            QCOMPARE(snapshot(scratch.dir.path()), files);
        }
        QCOMPARE(readFile(scratch.aliasFile), aliases);

        // The fix it tells: the alias named anew, or the damaged file moved away.
        const Outcome told = prepare(scratch);
        if (!demo) {
            QCOMPARE(told.commands().size(), 1);
            QVERIFY2(told.commands().first().startsWith(u"sed -i"_s), qPrintable(told.output));
        } else {
            QVERIFY2(told.output.contains(u"move it out of the way with 'mv %1 %1.old'"_s.arg(path)),
                     qPrintable(told.output));
        }
        runAsRoot(demo ? QStringList{u"mv '%1' '%1.old'"_s.arg(path)} : told.commands());
        const Outcome fixed = prepare(scratch);
        QVERIFY2(fixed.status == 0, qPrintable(fixed.output));
        QVERIFY2(!fixed.output.contains(u", but "_s), qPrintable(fixed.output));
        AliasFilePath = scratch.aliasFile;
        QCOMPARE(retornaCaminho(u"VALDORE"_s), scratch.database());
        QCOMPARE(activeBranches(scratch.database()).size(), 4);
        if (!demo) {
            // Only the alias's line changed.
            QCOMPARE(readFile(scratch.aliasFile), aliases.left(aliases.lastIndexOf("VALDORE")) +
                                                      "VALDORE = " + scratch.database().toUtf8() + "\n");
        }
    }

    // The script run by an unprivileged user, in or outside the group that
    // may use the embedded engine, on a machine where an administrator has
    // done none, some or all of the shared part.
    void unprivilegedUsers_data() {
        QTest::addColumn<int>("user");
        // "no folder", "empty folder", "database", "database 600", "alias into a closed folder"
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QStringList>("says"); // with {folder}, {database} and {closed} of the scratch
        QTest::addColumn<bool>("fixByRoot");   // run the commands it tells, then again as the user
        QTest::addColumn<bool>("usable");      // the user can open the database in the end
        const QString joinGroup =
            u"You (nobody) may not use Firebird's embedded engine, so the demo database cannot be "
            "opened: join the group firebird with 'sudo adduser nobody firebird', log out and "
            "log in again, then run prepare-demo again."_s;
        QTest::newRow("member, no shared folder")
            << int(As::Member) << u"no folder"_s
            << QStringList{u"the shared demo folder {folder} does not exist, and only root can make it"_s,
                           u"sudo install -d -g firebird -m 2775 {folder}"_s}
            << true << true;
        QTest::newRow("member, folder made by the administrator")
            << int(As::Member) << u"empty folder"_s
            << QStringList{u"made the demo database {database}"_s,
                           u"points at {database}: the file is there and usable"_s}
            << false << true;
        QTest::newRow("member, database not open to the group")
            << int(As::Member) << u"database 600"_s
            << QStringList{u"points at {database}, but you (nobody) may not read and write that file."_s,
                           u"sudo chgrp firebird {database} && sudo chmod 660 {database}"_s}
            << true << true;
        QTest::newRow("member, alias into another user's home")
            << int(As::Member) << u"alias into a closed folder"_s
            << QStringList{u"points at {closed}/Morvelt/demo/valdore.fdb, but it is in the folder {closed}, "
                           u"which you "
                           "(nobody) may not enter."_s,
                           u"to have it name the demo database of this machine, change that line with"_s}
            << true << true;
        QTest::newRow("outsider, empty folder")
            << int(As::Outsider) << u"empty folder"_s << QStringList{joinGroup} << false << false;
        QTest::newRow("outsider, database there")
            << int(As::Outsider) << u"database"_s
            << QStringList{u"points at {database}, but you (nobody) may not read and write that file."_s,
                           joinGroup}
            << false << false;
    }
    void unprivilegedUsers() {
        QFETCH(int, user);
        QFETCH(QString, machine);
        QFETCH(QStringList, says);
        QFETCH(bool, fixByRoot);
        QFETCH(bool, usable);
        QString why;
        if (!canRunAsOthers(&why))
            QSKIP(qPrintable(why));
        const As as = As(user);
        Scratch scratch;
        scratch.openTo(as);
        if (machine != u"no folder"_s)
            scratch.makeSharedFolder();
        if (machine.startsWith(u"database"_s)) {
            prepare(scratch, scratch.dir.filePath(u"unused.conf"_s)); // no alias: not ready, but made
            QVERIFY2(QFileInfo::exists(scratch.database()), "root's preparation failed");
            if (machine == u"database 600"_s)
                QVERIFY(::chmod(QFile::encodeName(scratch.database()).constData(), 0600) == 0);
            QVERIFY(QDir(scratch.home + u"/Morvelt"_s).removeRecursively()); // root's gadgets
        }
        // The administrator registered the alias; the file is root's. Or a
        // demo of old registered it in a home that only its owner may enter.
        const QString closed = scratch.dir.filePath(u"ana"_s);
        if (machine == u"alias into a closed folder"_s) {
            QVERIFY(QDir().mkpath(closed + u"/Morvelt/demo"_s));
            QVERIFY(::chmod(QFile::encodeName(closed).constData(), 0700) == 0);
            scratch.setAlias(closed + u"/Morvelt/demo/valdore.fdb"_s);
        } else {
            scratch.setAlias(scratch.database());
        }
        const QByteArray aliases = readFile(scratch.aliasFile);

        const Outcome outcome = prepare(scratch, {}, as);
        // Ready at once, or not yet, with the last line saying so.
        const bool ready = usable && !fixByRoot;
        QVERIFY2(outcome.status == (ready ? 0 : 1), qPrintable(outcome.output));
        for (QString text : says) {
            text.replace(u"{folder}"_s, scratch.shared)
                .replace(u"{database}"_s, scratch.database())
                .replace(u"{closed}"_s, closed);
            QVERIFY2(outcome.output.contains(text), qPrintable(text + u"\n----\n"_s + outcome.output));
        }
        verifyNoEngineText(outcome.output);
        if (as == As::Outsider)
            QCOMPARE(outcome.lastLine(), u"prepare-demo: "_s + says.last());
        else if (!ready)
            QCOMPARE(outcome.lastLine(), NotReady);
        QCOMPARE(readFile(scratch.aliasFile), aliases);
        // Whatever the engine allows, the user's own gadgets are installed.
        QCOMPARE(QDir(scratch.gadgets()).entryList(QDir::Files).size(), int(GadgetCatalogue.size()));

        if (fixByRoot) {
            runAsRoot(outcome.commands());
            const Outcome again = prepare(scratch, {}, as);
            QVERIFY2(again.status == 0, qPrintable(again.output));
            QVERIFY2(again.output.contains(
                         u"points at %1: the file is there and usable"_s.arg(scratch.database())),
                     qPrintable(again.output));
        }
        if (usable) {
            QCOMPARE(statOf(scratch.database()).st_gid, *engineGroupId());
            QCOMPARE(statOf(scratch.database()).st_mode & 0777, mode_t(0660));
            QCOMPARE(activeBranches(scratch.database()).size(), 4);
        } else if (machine == u"empty folder"_s) {
            QVERIFY(!QFileInfo::exists(scratch.database()));
        }
    }
};

ORVANTO_TEST_MAIN(TestPrepareDemo)
#include "tst_preparedemo.moc"
