// The artwork both programs share: where an installed program and a program
// of the build folder find it, what a damaged file does, and the programs'
// start when the artwork is gone.

#include "TestSupport.h"
#include "ui/Resources.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <signal.h>

using namespace Qt::StringLiterals;

namespace {

const QString BuildArtwork = QStringLiteral(ORVANTO_ARTWORK_BUILD_DIR);

QString buildArtworkFile(const char* name) {
    return BuildArtwork + u'/' + QLatin1String(name);
}

// A scratch installation: the artwork's files in usr/share/orvanto.
void installArtwork(const QString& root) {
    QVERIFY(QDir().mkpath(root + u"/usr/share/orvanto"_s));
    for (const char* name : ArtworkFileNames)
        QVERIFY(QFile::copy(buildArtworkFile(name), root + u"/usr/share/orvanto/"_s + QLatin1String(name)));
}

} // namespace

class TestArtworkFile : public QObject {
    Q_OBJECT

private slots:
    // The panel in bin/ and the stand-in in libexec/orvanto/ share the one
    // copy in share/orvanto/, wherever the installation was unpacked; with
    // the artwork gone, that is still the place the error names.
    void installedProgramsFindTheSharedArtwork_data() {
        QTest::addColumn<QString>("programFolder");
        QTest::addColumn<bool>("artworkThere");
        for (const bool there : {true, false}) {
            const char* state = there ? "" : ", artwork gone";
            QTest::addRow("panel%s", state) << u"usr/bin"_s << there;
            QTest::addRow("stand-in gadget%s", state) << u"usr/libexec/orvanto"_s << there;
        }
    }
    void installedProgramsFindTheSharedArtwork() {
        QFETCH(QString, programFolder);
        QFETCH(bool, artworkThere);
        QTemporaryDir root;
        QVERIFY(root.isValid());
        installArtwork(root.path());
        if (!artworkThere) {
            for (const char* name : ArtworkFileNames)
                QVERIFY(QFile::remove(root.path() + u"/usr/share/orvanto/"_s + QLatin1String(name)));
        }
        QVERIFY(QDir().mkpath(root.filePath(programFolder)));
        QCOMPARE(artworkFolder(root.filePath(programFolder)), root.filePath(u"usr/share/orvanto"_s));
    }

    // Only a program of this build folder falls back on the build's
    // artwork: an installed one never loads a stray build folder's files.
    void buildArtworkOnlyForProgramsOfTheBuild() {
        const QString build = QFileInfo(BuildArtwork).canonicalFilePath();
        QVERIFY(!build.isEmpty());
        QVERIFY(artworkFolders(QCoreApplication::applicationDirPath()).contains(BuildArtwork));
        QCOMPARE(artworkFolder(QCoreApplication::applicationDirPath()), BuildArtwork);

        QTemporaryDir root;
        QVERIFY(root.isValid());
        QVERIFY(QDir().mkpath(root.filePath(u"usr/bin"_s)));
        QVERIFY(!artworkFolders(root.filePath(u"usr/bin"_s)).contains(BuildArtwork));
    }

    void damagedFileIsRefused_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        const QByteArray real = readFile(buildArtworkFile(ArtworkFileNames[0]));
        QVERIFY(real.size() > 1000);
        const QString damaged = u"danificado"_s;
        QTest::newRow("empty") << QByteArray() << damaged;
        QTest::newRow("not a resource file") << QByteArray("<RCC>fundo.png</RCC>\n") << damaged;
        QTest::newRow("header only") << real.left(20) << damaged;
        // The tree lies at the end: an interrupted copy loses it.
        QTest::newRow("cut short") << real.left(real.size() / 2) << damaged;
        QByteArray future = real;
        future[7] = 9; // a format version this program does not know
        QTest::newRow("unknown version") << future << damaged;
    }
    void damagedFileIsRefused() {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(u"artwork.rcc"_s);
        writeFile(path, content);
        const ArtworkFile file(path);
        QVERIFY(!file.isLoaded());
        QVERIFY2(file.error().contains(path), qPrintable(file.error()));
        QVERIFY2(file.error().contains(reason), qPrintable(file.error()));
        QVERIFY2(file.error().endsWith(u"Reinstale o Orvanto."_s), qPrintable(file.error()));
    }

    void missingFileIsRefused() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const ArtworkFile missing(folder.filePath(u"artwork.rcc"_s));
        QVERIFY(!missing.isLoaded());
        QCOMPARE(missing.error(),
                 u"Não foi possível carregar os desenhos do Orvanto de %1: o arquivo não existe. "
                 u"Reinstale o Orvanto."_s.arg(folder.filePath(u"artwork.rcc"_s)));
        QVERIFY(QDir().mkpath(folder.filePath(u"folder.rcc"_s)));
        const ArtworkFile aFolder(folder.filePath(u"folder.rcc"_s));
        QVERIFY(!aFolder.isLoaded());
        QVERIFY2(aFolder.error().contains(u"pasta"_s), qPrintable(aFolder.error()));
    }

    // A whole file is taken.
    void wholeFileIsLoaded() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(u"artwork.rcc"_s);
        QVERIFY(QFile::copy(buildArtworkFile(ArtworkFileNames[0]), path));
        const ArtworkFile file(path);
        QVERIFY2(file.isLoaded(), qPrintable(file.error()));
        QVERIFY(file.error().isEmpty());
    }

    // Either file moved away from an installation: the panel and the
    // stand-in each say which file is missing, in a box and on the
    // standard error, and end with status 1 once the box is answered (here
    // by the end signal, as a logout would) instead of showing a window
    // without its artwork or crashing.
    void programWithoutArtworkSaysWhy_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("installedAs");
        QTest::addColumn<QString>("movedAway");
        for (const char* name : ArtworkFileNames) {
            QTest::addRow("panel, %s", name)
                << QStringLiteral(ORVANTO_PROGRAM) << u"usr/bin/orvanto"_s << QString::fromLatin1(name);
            QTest::addRow("stand-in gadget, %s", name)
                << QStringLiteral(ORVANTO_GADGET_PROGRAM) << u"usr/libexec/orvanto/orvanto-gadget"_s
                << QString::fromLatin1(name);
        }
    }
    void programWithoutArtworkSaysWhy() {
        QFETCH(QString, program);
        QFETCH(QString, installedAs);
        QFETCH(QString, movedAway);
        QTemporaryDir root;
        QVERIFY(root.isValid());
        installArtwork(root.path());
        const QString moved = root.filePath(u"usr/share/orvanto/"_s + movedAway);
        QVERIFY(QFile::rename(moved, root.filePath(movedAway)));
        const QString installed = root.filePath(installedAs);
        QVERIFY(QDir().mkpath(QFileInfo(installed).path()));
        QVERIFY(QFile::copy(program, installed));

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"HOME"_s, root.filePath(u"home"_s));
        process.setProcessEnvironment(env);
        process.setReadChannel(QProcess::StandardError);
        process.start(installed, {});
        QVERIFY2(process.waitForStarted(5000), qPrintable(process.errorString()));
        const QString expected =
            u"Não foi possível carregar os desenhos do Orvanto de %1: o arquivo não existe. "
            u"Reinstale o Orvanto."_s.arg(moved);
        QString said;
        QDeadlineTimer deadline(30000);
        while (!said.contains(expected) && process.state() == QProcess::Running && !deadline.hasExpired()) {
            process.waitForReadyRead(200);
            said += QString::fromUtf8(process.readAllStandardError());
        }
        QVERIFY2(said.contains(expected), qPrintable(said));
        // The box waits for its answer.
        QVERIFY(!process.waitForFinished(300));
        QCOMPARE(process.state(), QProcess::Running);
        ::kill(pid_t(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
    }
};

ORVANTO_TEST_MAIN(TestArtworkFile)
#include "tst_artworkfile.moc"
