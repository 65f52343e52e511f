// The Debian package: built with cpack from this build folder, unpacked
// with dpkg-deb into a scratch root, and checked there: the program, the
// stand-in gadget and the demo's preparation, the desktop entry and icons,
// and the dependencies the package declares.

#include "StandInGadget.h"
#include "TestSupport.h"
#include "ui/Resources.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct Run {
    int status = -1;
    QString output;
};

Run run(const QString& program, const QStringList& arguments, const QProcessEnvironment& env = {}) {
    QProcess process;
    if (!env.isEmpty())
        process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished();
        return {-1, u"%1 did not finish"_s.arg(program)};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll())};
}

bool isElf(const QString& path) {
    return readFile(path).startsWith("\x7f"
                                     "ELF");
}

} // namespace

class TestPackage : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_package;
    QString m_debugPackage;
    QString m_root;
    QString m_control; // the maintainer scripts

    QString installed(const QString& path) const { return m_root + u'/' + path; }

    QString field(const QString& name) {
        const Run fieldRun = run(u"dpkg-deb"_s, {u"--field"_s, m_package, name});
        return fieldRun.output.trimmed();
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        const QString out = m_dir.filePath(u"out"_s);
        const Run cpack =
            run(QStringLiteral(ORVANTO_CPACK),
                {u"-G"_s, u"DEB"_s, u"--config"_s, QStringLiteral(ORVANTO_CPACK_CONFIG), u"-B"_s, out});
        QVERIFY2(cpack.status == 0, qPrintable(cpack.output));
        const QStringList debs = QDir(out).entryList({u"*.deb"_s}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        const QStringList ddebs = QDir(out).entryList({u"*.ddeb"_s}, QDir::Files);
        QCOMPARE(ddebs.size(), 1);
        m_debugPackage = QDir(out).filePath(ddebs.first());
        m_package = QDir(out).filePath(debs.first());
        m_root = m_dir.filePath(u"root"_s);
        const Run unpack = run(u"dpkg-deb"_s, {u"-x"_s, m_package, m_root});
        QVERIFY2(unpack.status == 0, qPrintable(unpack.output));
        m_control = m_dir.filePath(u"control"_s);
        const Run control = run(u"dpkg-deb"_s, {u"-e"_s, m_package, m_control});
        QVERIFY2(control.status == 0, qPrintable(control.output));
    }

    void controlFields() {
        QCOMPARE(field(u"Package"_s), u"orvanto"_s);
        QCOMPARE(field(u"Version"_s), QStringLiteral(ORVANTO_VERSION));
        const Run arch = run(u"dpkg"_s, {u"--print-architecture"_s});
        QCOMPARE(field(u"Architecture"_s), arch.output.trimmed());
        QCOMPARE(QFileInfo(m_package).fileName(),
                 u"orvanto_%1_%2.deb"_s.arg(QStringLiteral(ORVANTO_VERSION), arch.output.trimmed()));
    }

    void dependenciesAreDeclared_data() {
        QTest::addColumn<QString>("package");
        // The client library is opened with dlopen: it must be named by hand.
        QTest::newRow("Firebird client") << u"libfbclient2"_s;
        QTest::newRow("Qt widgets") << u"libqt6widgets6"_s;
        QTest::newRow("Qt gui (and its X11 platform)") << u"libqt6gui6"_s;
        QTest::newRow("Qt core") << u"libqt6core6"_s;
        QTest::newRow("C library") << u"libc6"_s;
    }
    void dependenciesAreDeclared() {
        QFETCH(QString, package);
        const QStringList depends = field(u"Depends"_s).split(u',', Qt::SkipEmptyParts);
        const QRegularExpression name(u"^\\s*%1\\b"_s.arg(QRegularExpression::escape(package)));
        QVERIFY2(std::any_of(depends.begin(), depends.end(),
                             [&](const QString& d) { return name.match(d).hasMatch(); }),
                 qPrintable(depends.join(u',')));
    }

    // What a default installation (recommended packages included) needs for
    // the README's procedure: the demo's preparation and its shared
    // database, a server on this machine, the panel's font and Qt's texts.
    void whatTheDemoAndTheServerNeedIsRecommended_data() {
        QTest::addColumn<QString>("package");
        QTest::newRow("embedded engine") << u"firebird3.0-server-core"_s;
        QTest::newRow("the group firebird, a local server") << u"firebird3.0-server"_s;
        QTest::newRow("isql-fb, which makes the demo database") << u"firebird3.0-utils"_s;
        QTest::newRow("Tahoma") << u"fonts-wine"_s;
        QTest::newRow("Qt's Portuguese texts") << u"qt6-translations-l10n"_s;
    }
    void whatTheDemoAndTheServerNeedIsRecommended() {
        QFETCH(QString, package);
        const QStringList recommends = field(u"Recommends"_s).split(u',', Qt::SkipEmptyParts);
        QVERIFY2(std::any_of(recommends.begin(), recommends.end(),
                             [&](const QString& r) { return r.trimmed().section(u' ', 0, 0) == package; }),
                 qPrintable(recommends.join(u',')));
    }

    void installedFiles_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("program"); // an executable ELF file
        QTest::newRow("panel") << u"usr/bin/orvanto"_s << true;
        QTest::newRow("stand-in gadget") << u"usr/libexec/orvanto/orvanto-gadget"_s << true;
        QTest::newRow("demo preparation") << u"usr/share/orvanto/prepare-demo"_s << false;
        QTest::newRow("desktop entry") << u"usr/share/applications/orvanto.desktop"_s << false;
        QTest::newRow("manual page") << u"usr/share/man/man1/orvanto.1.gz"_s << false;
        QTest::newRow("copyright") << u"usr/share/doc/orvanto/copyright"_s << false;
        QTest::newRow("changelog") << u"usr/share/doc/orvanto/changelog.gz"_s << false;
        QTest::newRow("README") << u"usr/share/doc/orvanto/README.md.gz"_s << false;
        for (const char* name : ArtworkFileNames)
            QTest::newRow(name) << u"usr/share/orvanto/"_s + QLatin1String(name) << false;
        for (const char* size : {"16", "32", "48", "256"})
            QTest::newRow(qPrintable(u"icon %1"_s.arg(QLatin1String(size))))
                << u"usr/share/icons/hicolor/%1x%1/apps/orvanto.png"_s.arg(QLatin1String(size)) << false;
    }
    void installedFiles() {
        QFETCH(QString, path);
        QFETCH(bool, program);
        const QFileInfo info(installed(path));
        QVERIFY2(info.isFile(), qPrintable(path));
        QVERIFY(info.size() > 0);
        if (program) {
            QVERIFY(info.isExecutable());
            QVERIFY(isElf(info.filePath()));
            // Every library the program needs is found on this machine.
            const Run ldd = run(u"ldd"_s, {info.filePath()});
            QVERIFY2(ldd.status == 0 && !ldd.output.contains(u"not found"_s), qPrintable(ldd.output));
        }
    }

    // The artwork is installed once, where both programs look for it, and
    // neither program carries a copy of its own: the package is then about
    // the artwork's size, where a second copy would double it.
    void artworkIsInstalledOnce() {
        const QString shared = installed(u"usr/share/orvanto"_s);
        for (const QString& programFolder : {u"usr/bin"_s, u"usr/libexec/orvanto"_s})
            QCOMPARE(artworkFolder(installed(programFolder)), shared);
        qint64 artworkSize = 0;
        for (const char* name : ArtworkFileNames)
            artworkSize += QFileInfo(shared + u'/' + QLatin1String(name)).size();

        // Each ready picture begins with its header (magic, size, format),
        // and the background's 2x picture is the largest PNG.
        const QByteArray pixels = readFile(shared + u"/artwork-pixels.rcc"_s);
        QList<QByteArray> headers;
        for (qsizetype at = pixels.indexOf("OPX1"); at >= 0; at = pixels.indexOf("OPX1", at + 16))
            headers << pixels.mid(at, 16);
        QVERIFY(!headers.isEmpty());
        const QByteArray card =
            readFile(QStringLiteral(ORVANTO_SOURCE_DIR "/src/ui/resources/images/fundo@2x.png"));
        QVERIFY(!card.isEmpty());
        for (const QString& path : {u"usr/bin/orvanto"_s, u"usr/libexec/orvanto/orvanto-gadget"_s}) {
            const QByteArray program = readFile(installed(path));
            QVERIFY(!program.isEmpty());
            QVERIFY2(!program.contains(card), qPrintable(path));
            for (const QByteArray& header : headers)
                QVERIFY2(!program.contains(header), qPrintable(path));
        }

#ifdef ORVANTO_SANITIZED_BUILD
        QSKIP("an instrumented build's programs are several times the shipped ones' size");
#endif
        bool isNumber = false;
        const qint64 installedKiB = field(u"Installed-Size"_s).toLongLong(&isNumber);
        QVERIFY(isNumber);
        // The programs, documentation and icons take well under 4 MiB.
        QVERIFY2(installedKiB * 1024 < artworkSize + 4 * 1024 * 1024,
                 qPrintable(u"Installed-Size %1 KiB, artwork %2 bytes"_s.arg(installedKiB).arg(artworkSize)));
    }

    void nothingOutsideUsr() {
        const QStringList top =
            QDir(m_root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        QCOMPARE(top, QStringList{u"usr"_s});
    }

    // Debian's own package checker, pedantic tags included, finds nothing
    // to say: what an archive would refuse or flag, and what it would merely
    // frown upon.
    void lintianAcceptsThePackage() {
        const Run lintian = run(u"lintian"_s, {u"--info"_s, u"--pedantic"_s, u"--display-experimental"_s,
                                               u"--tag-display-limit"_s, u"0"_s, m_package});
        QVERIFY2(lintian.status == 0, qPrintable(lintian.output));
        const QRegularExpression flagged(u"^[EWIPX]: |hardening-|binary-has-unneeded-section"_s,
                                         QRegularExpression::MultilineOption);
        QVERIFY2(!flagged.match(lintian.output).hasMatch(), qPrintable(lintian.output));
    }

    // The installed programs are hardened as Debian builds its packages:
    // position independent, stack protector, checked libc calls, read-only
    // relocations bound at start. Control-flow protection is looked for in
    // the code itself: the Debian 12 C library's start files carry no
    // control-flow marker, so no program linked with them has one, and
    // hardening-check cannot tell.
    void programsAreHardened_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("panel") << u"usr/bin/orvanto"_s;
        QTest::newRow("stand-in gadget") << u"usr/libexec/orvanto/orvanto-gadget"_s;
    }
    void programsAreHardened() {
        QFETCH(QString, path);
#ifdef ORVANTO_SANITIZED_BUILD
        QSKIP("a sanitizer build is instrumented, not hardened; the package is built from the normal build");
#endif
        const Run check = run(u"hardening-check"_s, {u"--nocfprotection"_s, u"--verbose"_s, installed(path)});
        QVERIFY2(check.status == 0, qPrintable(check.output));
        for (const QString& feature : {u"Position Independent Executable: yes"_s, u"Stack protected: yes"_s,
                                       u"Fortify Source functions: yes"_s, u"Read-only relocations: yes"_s,
                                       u"Immediate binding: yes"_s})
            QVERIFY2(check.output.contains(feature), qPrintable(check.output));

        // Every function compiled with -fcf-protection starts with an
        // ENDBR64; without it only the compiler's few start-up helpers do.
        const Run code = run(u"objdump"_s, {u"--disassemble"_s, u"--section=.text"_s, installed(path)});
        QCOMPARE(code.status, 0);
        const qsizetype landingPads = code.output.count(u"endbr64"_s);
        QVERIFY2(landingPads > 100, qPrintable(u"%1 ENDBR64 instructions"_s.arg(landingPads)));
    }

    // Installing makes the demo database's shared folder for the engine's
    // group (files made in it join the group); a purge takes it away, a
    // removal keeps it. Run against a scratch root, as dpkg does for one.
    void maintainerScriptsKeepTheDemoFolder() {
        if (::geteuid() != 0)
            QSKIP("the folder is made for root and the engine's group: run as root");
        if (run(u"getent"_s, {u"group"_s, u"firebird"_s}).status != 0)
            QSKIP("no firebird group on this machine (the engine is not installed)");
        const QString& control = m_control;
        const QString root = m_dir.filePath(u"dpkg-root"_s);
        QVERIFY(QDir().mkpath(root));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"DPKG_ROOT"_s, root);
        const QString folder = root + u"/var/lib/orvanto/demo"_s;

        const Run installed = run(control + u"/postinst"_s, {u"configure"_s}, env);
        QVERIFY2(installed.status == 0, qPrintable(installed.output));
        const QFileInfo made(folder);
        QVERIFY(made.isDir());
        QCOMPARE(made.group(), u"firebird"_s);
        QCOMPARE(made.ownerId(), 0u);
        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(folder).constData(), &status), 0);
        QCOMPARE(status.st_mode & 07777, mode_t(02775));

        writeFile(folder + u"/valdore.fdb"_s, "db");
        QCOMPARE(run(control + u"/postrm"_s, {u"remove"_s}, env).status, 0);
        QVERIFY(QFileInfo::exists(folder + u"/valdore.fdb"_s));
        QCOMPARE(run(control + u"/postrm"_s, {u"purge"_s}, env).status, 0);
        QVERIFY(!QFileInfo::exists(root + u"/var/lib/orvanto"_s));
    }

    // The installed prepare-demo adds the demo's alias to the engine's
    // alias file of a scratch root; a removal keeps it, a purge leaves the
    // file byte for byte as it was before, also when lines were added after
    // the demo's. Another prepare-demo entry changed in between is left.
    void purgeTakesTheDemoAliasAway_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("addedLater"); // by the administrator, after prepare-demo
        const QByteArray distribution = "# List of known databases\n"
                                        "security.db = $(dir_secDb)/security3.fdb\n"
                                        "{\n\tRemoteAccess = false\n}\n";
        QTest::newRow("distribution's file") << distribution << QByteArray();
        QTest::newRow("last line without its end")
            << QByteArray("employee = /srv/employee.fdb") << QByteArray();
        QTest::newRow("empty file") << QByteArray() << QByteArray();
        QTest::newRow("CRLF lines and no end")
            << QByteArray("# made elsewhere\r\nerp = /srv/erp.fdb\r\n\r\n   ") << QByteArray();
        QTest::newRow("a line added later") << distribution << QByteArray("erp = /srv/erp.fdb\n");
        QTest::newRow("a line added later, no end before")
            << QByteArray("employee = /srv/employee.fdb") << QByteArray("# ours\nerp = /srv/erp.fdb");
    }
    void purgeTakesTheDemoAliasAway() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, addedLater);
        if (::geteuid() != 0)
            QSKIP("the demo database is made as root: run as root");
        const QString& control = m_control;
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString aliases = root.filePath(u"etc/firebird/3.0/databases.conf"_s);
        QVERIFY(QDir().mkpath(QFileInfo(aliases).path()));
        writeFile(aliases, before);
        QCOMPARE(::chmod(QFile::encodeName(aliases).constData(), 0640), 0);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"HOME"_s, root.filePath(u"root"_s));
        env.insert(u"ORVANTO_ALIAS_FILE"_s, aliases);
        env.insert(u"ORVANTO_DEMO_DIR"_s, root.filePath(u"var/lib/orvanto/demo"_s));
        env.remove(u"ORVANTO_NO_DEMO"_s);
        env.remove(u"FIREBIRD_LOCK"_s);
        QVERIFY(QDir().mkpath(root.filePath(u"root"_s)));
        const Run prepare = run(installed(u"usr/share/orvanto/prepare-demo"_s), {}, env);
        QVERIFY2(prepare.status == 0, qPrintable(prepare.output));
        const QByteArray prepared = readFile(aliases);
        QVERIFY2(prepared.contains(
                     "\nVALDORE = " + root.filePath(u"var/lib/orvanto/demo/valdore.fdb"_s).toUtf8() + "\n"),
                 prepared.constData());
        if (!addedLater.isEmpty()) {
            QFile file(aliases);
            QVERIFY(file.open(QIODevice::Append));
            file.write(addedLater);
        }
        const QByteArray withLater = readFile(aliases);

        env.insert(u"DPKG_ROOT"_s, root.path());
        QCOMPARE(run(control + u"/postrm"_s, {u"remove"_s}, env).status, 0);
        QCOMPARE(readFile(aliases), withLater);
        const Run purge = run(control + u"/postrm"_s, {u"purge"_s}, env);
        QVERIFY2(purge.status == 0 && purge.output.isEmpty(), qPrintable(purge.output));
        QCOMPARE(readFile(aliases), before + addedLater);
        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(aliases).constData(), &status), 0);
        QCOMPARE(status.st_mode & 07777, mode_t(0640));
        QVERIFY(!QFileInfo::exists(root.filePath(u"var/lib/orvanto"_s)));

        // prepare-demo --remove does the same; a second purge finds nothing to do.
        QCOMPARE(run(installed(u"usr/share/orvanto/prepare-demo"_s), {}, env).status, 0);
        QVERIFY(readFile(aliases) != before + addedLater);
        const Run remove = run(installed(u"usr/share/orvanto/prepare-demo"_s), {u"--remove"_s}, env);
        QVERIFY2(remove.status == 0, qPrintable(remove.output));
        QCOMPARE(readFile(aliases), before + addedLater);
        QCOMPARE(run(control + u"/postrm"_s, {u"purge"_s}, env).status, 0);
        QCOMPARE(readFile(aliases), before + addedLater);
    }

    // An entry whose marked lines were changed is the administrator's now.
    void purgeKeepsAChangedDemoEntry() {
        const QString& control = m_control;
        const QString postrm = QString::fromUtf8(readFile(control + u"/postrm"_s));
        const QRegularExpression marker(u"^demo_alias_begin='(.*)'$"_s, QRegularExpression::MultilineOption);
        const QRegularExpression end(u"^demo_alias_end='(.*)'$"_s, QRegularExpression::MultilineOption);
        QVERIFY(marker.match(postrm).hasMatch() && end.match(postrm).hasMatch());
        QTemporaryDir root;
        const QString aliases = root.filePath(u"etc/firebird/3.0/databases.conf"_s);
        QVERIFY(QDir().mkpath(QFileInfo(aliases).path()));
        const QByteArray edited = marker.match(postrm).captured(1).toUtf8() +
                                  "\nVALDORE = /srv/demo.fdb\nerp = /srv/erp.fdb\n" +
                                  end.match(postrm).captured(1).toUtf8() + "\n";
        writeFile(aliases, edited);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"DPKG_ROOT"_s, root.path());
        QCOMPARE(run(control + u"/postrm"_s, {u"purge"_s}, env).status, 0);
        QCOMPARE(readFile(aliases), edited);
    }

    void metainfoIsValid() {
        const QString metainfo = installed(u"usr/share/metainfo/br.com.morvelt.orvanto.metainfo.xml"_s);
        QVERIFY(QFileInfo(metainfo).isFile());
        const Run validate =
            run(u"appstreamcli"_s, {u"validate"_s, u"--no-net"_s, u"--pedantic"_s, metainfo});
        QVERIFY2(validate.status == 0, qPrintable(validate.output));
        const QString text = QString::fromUtf8(readFile(metainfo));
        QVERIFY(text.contains(u"<launchable type=\"desktop-id\">orvanto.desktop</launchable>"_s));
        QVERIFY(text.contains(u"<screenshot type=\"default\">"_s));
    }

    // Installed programs carry no debug information; it ships in the
    // debug-symbols package, found through the programs' debug link.
    void debugInformationIsSplitOff_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("panel") << u"usr/bin/orvanto"_s;
        QTest::newRow("stand-in gadget") << u"usr/libexec/orvanto/orvanto-gadget"_s;
    }
    void debugInformationIsSplitOff() {
        QFETCH(QString, path);
        const Run sections = run(u"readelf"_s, {u"--section-headers"_s, u"--wide"_s, installed(path)});
        QCOMPARE(sections.status, 0);
        QVERIFY2(!sections.output.contains(u".debug_info"_s), qPrintable(path));
        QVERIFY2(sections.output.contains(u".gnu_debuglink"_s), qPrintable(path));
        const Run contents = run(u"dpkg-deb"_s, {u"--contents"_s, m_debugPackage});
        QVERIFY2(contents.output.contains(u"/usr/lib/debug/.build-id/"_s), qPrintable(contents.output));
    }

    // Every file the manual page names under /usr/share/doc is in the
    // package, and the README there is this source tree's.
    void manualPagePointsAtInstalledDocs() {
        const Run page = run(u"zcat"_s, {installed(u"usr/share/man/man1/orvanto.1.gz"_s)});
        QCOMPARE(page.status, 0);
        const QRegularExpression docPath(u"/usr/share/doc/[^\\s]+"_s);
        QStringList named;
        for (auto it = docPath.globalMatch(page.output); it.hasNext();)
            named << it.next().captured();
        QVERIFY2(!named.isEmpty(), qPrintable(page.output));
        for (const QString& path : named)
            QVERIFY2(QFileInfo(installed(path.mid(1))).isFile(), qPrintable(path));
        QVERIFY2(!page.output.contains(u"see the README"_s, Qt::CaseInsensitive), qPrintable(page.output));
        const Run readme = run(u"zcat"_s, {installed(u"usr/share/doc/orvanto/README.md.gz"_s)});
        QCOMPARE(readme.output.toUtf8(), readFile(QStringLiteral(ORVANTO_SOURCE_DIR "/README.md")));
    }

    void desktopEntryStartsTheInstalledProgram() {
        const QString entry =
            QString::fromUtf8(readFile(installed(u"usr/share/applications/orvanto.desktop"_s)));
        QVERIFY(entry.contains(u"\nExec=orvanto\n"_s));
        QVERIFY(entry.contains(u"\nIcon=orvanto\n"_s));
        QVERIFY(QFileInfo(installed(u"usr/bin/orvanto"_s)).isExecutable());
    }

    // The installed preparation script links the 13 gadget names to the
    // installed stand-in, wherever the package was unpacked.
    void installedDemoPreparationUsesTheInstalledGadget() {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"HOME"_s, home.path());
        env.insert(u"ORVANTO_ALIAS_FILE"_s, home.filePath(u"databases.conf"_s));
        env.insert(u"ORVANTO_DEMO_DIR"_s, home.filePath(u"shared/demo"_s)); // never the machine's folder
        env.remove(u"ORVANTO_GADGET"_s);
        env.remove(u"ORVANTO_NO_DEMO"_s);
        writeFile(home.filePath(u"databases.conf"_s), "");
        const Run prepare = run(installed(u"usr/share/orvanto/prepare-demo"_s), {}, env);
        QVERIFY2(prepare.status == 0, qPrintable(prepare.output));

        const QString gadget =
            QFileInfo(installed(u"usr/libexec/orvanto/orvanto-gadget"_s)).canonicalFilePath();
        const QDir folder(home.filePath(u"Morvelt/Gadgets VUX"_s));
        for (const Gadget& entry : GadgetCatalogue) {
            const QFileInfo link(folder.filePath(QString::fromUtf8(entry.executable)));
            QVERIFY2(link.isSymLink(), qPrintable(link.filePath()));
            QCOMPARE(link.canonicalFilePath(), gadget);
        }
    }
};

ORVANTO_TEST_MAIN(TestPackage)
#include "tst_package.moc"
