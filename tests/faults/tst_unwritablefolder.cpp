// A settings folder that cannot take the new file (a full disk, a read-only
// file system): the save fails with the write error and its reason, the
// error report shows it, the old file keeps every byte and no temporary file
// stays behind.
// Once the obstacle goes, the same save goes through.
//
// The obstacles are real mounts (a small tmpfs, read-only bind mounts): the
// tests run as root, where permission bits alone would not stop a write.

#include "CoreTestSupport.h"
#include "RecordingPlatform.h"
#include "platform/ErrorReport.h"
#include "settings/Settings.h"
#include "settings/ShownError.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/mount.h>
#include <unistd.h>
#include <vector>

namespace {

// Mounts made for one test, undone (lazily, so nothing can hold them) when it ends.
class Mounts {
public:
    ~Mounts() {
        for (auto it = m_targets.rbegin(); it != m_targets.rend(); ++it)
            ::umount2(it->constData(), MNT_DETACH);
    }
    bool mount(const QString& target, const char* source, const char* type, unsigned long flags,
               const char* options = nullptr) {
        const QByteArray name = QFile::encodeName(target);
        if (::mount(source, name.constData(), type, flags, options) != 0) {
            m_error = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        if (!(flags & MS_REMOUNT))
            m_targets.push_back(name);
        return true;
    }
    QString error() const { return m_error; }

private:
    std::vector<QByteArray> m_targets;
    QString m_error;
};

QByteArray oldFile() {
    QByteArray text = "[Configuracoes]\r\n"
                      "LocRem          =L\r\n"
                      "CaminhoBanco    =/dados/antigo.fdb\r\n"
                      "Senha           =antiga\r\n"
                      "\r\n";
    // Gadget sections enough for the file to span a few pages.
    for (int i = 0; i < 60; ++i)
        text += "[Gadget" + QByteArray::number(i) + "]\r\nPosX=" + QByteArray::number(i) + "\r\n; " +
                QByteArray(80, char('a' + i % 26)) + "\r\n";
    return text;
}

void setNewValues() {
    Values.LocRem = QStringLiteral("L");
    Values.Comp = QStringLiteral("0");
    Values.Servidor.clear();
    Values.Protocolo.clear();
    Values.CaminhoBanco = QStringLiteral("/dados/novo.fdb");
    Values.Usuario = QStringLiteral("SYSDBA");
    Values.Senha = QStringLiteral("nova");
    Values.DiretorioGadgets = QStringLiteral("/opt/gadgets/");
    Values.ModoPainel.clear();
    Values.Filial = QStringLiteral("01");
}

// Writes a file until the disk refuses more.
void fillDisk(const QString& path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    QVERIFY(fd >= 0);
    const QByteArray block(4096, 'x');
    ssize_t n = 0;
    while ((n = ::write(fd, block.constData(), size_t(block.size()))) > 0) {
    }
    const int error = errno;
    ::close(fd);
    QCOMPARE(n, ssize_t(-1));
    QCOMPARE(error, ENOSPC);
}

// What the folder holds besides the writers' lock file, which stays by design.
QStringList folderEntries() {
    QStringList entries =
        QDir(settingsFolder())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    entries.removeAll(QStringLiteral(".ConfigGadGet.Ini.lock"));
    return entries;
}

} // namespace

class UnwritableFolderTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        home = std::make_unique<ScratchHome>();
        mounts = std::make_unique<Mounts>();
    }
    void cleanup() {
        mounts.reset(); // before the scratch folder goes
        home.reset();
    }

    void saveFailsAndKeepsTheOldFile_data() {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("reason"); // %1: the settings folder, %2: the home folder
        const QString full = QStringLiteral("O disco de %1 está cheio (ou a sua cota de disco acabou). "
                                            "Libere espaço e salve de novo.");
        const QString readOnly = QStringLiteral("%1 fica num disco montado somente para leitura.");
        QTest::newRow("full disk, no room at all") << "full" << full;
        QTest::newRow("full disk, room for part of the file") << "almost full" << full;
        QTest::newRow("read-only folder") << "read-only folder" << readOnly;
        QTest::newRow("read-only file system holding the folder") << "read-only tmpfs" << readOnly;
        QTest::newRow("read-only home, no settings folder yet")
            << "read-only home"
            << QStringLiteral("Não foi possível criar a pasta %1. ") + readOnly.arg(u"%2");
    }

    void saveFailsAndKeepsTheOldFile() {
        QFETCH(QString, obstacle);
        QFETCH(QString, reason);
        const QString folder = settingsFolder();
        const QString filler = folder + QStringLiteral("/filler");
        const QByteArray before = obstacle == u"read-only home" ? QByteArray() : oldFile();
        QStringList entriesBefore;

        if (obstacle == u"full" || obstacle == u"almost full" || obstacle == u"read-only tmpfs") {
            QVERIFY(QDir().mkpath(folder));
            if (!mounts->mount(folder, "tmpfs", "tmpfs", 0, "size=64k,mode=0700"))
                QSKIP(qPrintable(
                    QStringLiteral("cannot mount a small tmpfs here (%1): no full or read-only disk to "
                                   "test on")
                        .arg(mounts->error())));
            writeFile(settingsFilePath(), before);
            if (obstacle == u"read-only tmpfs") {
                QVERIFY2(
                    mounts->mount(folder, "tmpfs", "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k,mode=0700"),
                    qPrintable(mounts->error()));
            } else {
                fillDisk(filler);
                if (obstacle == u"almost full") // one page free: the new file gets started, not finished
                    QCOMPARE(
                        ::truncate(QFile::encodeName(filler).constData(), QFileInfo(filler).size() - 4096),
                        0);
            }
        } else {
            const QString target = obstacle == u"read-only home" ? home->path() : folder;
            if (!before.isEmpty())
                writeFile(settingsFilePath(), before);
            if (!mounts->mount(target, QFile::encodeName(target).constData(), nullptr, MS_BIND))
                QSKIP(qPrintable(QStringLiteral("cannot bind-mount here (%1): no read-only folder to test on")
                                     .arg(mounts->error())));
            QVERIFY2(mounts->mount(target, nullptr, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY),
                     qPrintable(mounts->error()));
        }
        entriesBefore = folderEntries();

        setNewValues();
        const QString start = QStringLiteral("Unable to write to %1.\r\n").arg(settingsFilePath());
        QString error;
        try {
            SalvaIni(Values);
            QFAIL("the save reported success");
        } catch (const ShownError& e) {
            error = e.text();
        }
        QVERIFY2(error.startsWith(start + reason.arg(folder, home->path())), qPrintable(error));
        if (before.isEmpty())
            QVERIFY(!QFileInfo::exists(folder));
        else
            QCOMPARE(readFile(settingsFilePath()), before);
        QCOMPARE(folderEntries(), entriesBefore); // no temporary file left behind

        // What the user sees: the error report of a handler that let it through.
        RecordingPlatform platform;
        runGuarded([] { SalvaIni(Values); });
        QCOMPARE(platform.texts(), QStringList{error});
        if (!before.isEmpty())
            QCOMPARE(readFile(settingsFilePath()), before);

        // Without the obstacle the same save goes through, gadget sections kept.
        if (obstacle == u"read-only tmpfs")
            QVERIFY2(mounts->mount(folder, "tmpfs", "tmpfs", MS_REMOUNT, "size=64k,mode=0700"),
                     qPrintable(mounts->error()));
        else if (obstacle.startsWith(u"read-only"))
            mounts.reset(); // the folder beneath the bind mount is the same folder
        else
            QVERIFY(QFile::remove(filler));
        SalvaIni(Values);
        const QByteArray after = readFile(settingsFilePath());
        QVERIFY(after.contains("Senha           =nova\r\n"));
        if (!before.isEmpty())
            QVERIFY(after.endsWith(before.mid(before.indexOf("\r\n\r\n") + 4)));
    }

private:
    std::unique_ptr<ScratchHome> home;
    std::unique_ptr<Mounts> mounts;
};

ORVANTO_CORE_TEST_MAIN(UnwritableFolderTest)
#include "tst_unwritablefolder.moc"
