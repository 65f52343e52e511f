// The alias lookup over alias files written by the test.

#include "Alias.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

class TestAlias : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_saved;

private slots:
    void init() { m_saved = AliasFilePath; }
    void cleanup() { AliasFilePath = m_saved; }

    void lookup_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QString>("path");

        QTest::newRow("plain entry") << QByteArray("VALDORE = /srv/erp/valdore.fdb\n") << u"VALDORE"_s
                                     << u"/srv/erp/valdore.fdb"_s;
        QTest::newRow("no blanks, CR LF lines") << QByteArray("other=/x.fdb\r\nVALDORE=/srv/erp.fdb\r\n") << u"VALDORE"_s
                                                << u"/srv/erp.fdb"_s;
        QTest::newRow("name case ignored") << QByteArray("Valdore = /srv/erp.fdb\n") << u"VALDORE"_s << u"/srv/erp.fdb"_s;
        QTest::newRow("asked in small letters") << QByteArray("VALDORE = /srv/erp.fdb\n") << u"valdore"_s
                                                << u"/srv/erp.fdb"_s;
        QTest::newRow("first of two alike") << QByteArray("VALDORE = /a.fdb\nvaldore = /b.fdb\n") << u"VALDORE"_s
                                            << u"/a.fdb"_s;
        QTest::newRow("remote path") << QByteArray("VALDORE = srv:C:\\dados\\erp.fdb\n") << u"VALDORE"_s
                                     << u"srv:C:\\dados\\erp.fdb"_s;
        QTest::newRow("comments and blanks")
            << QByteArray("# VALDORE = /commented.fdb\n\n   \n\tVALDORE\t=\t/srv/erp.fdb   # the ERP\n") << u"VALDORE"_s
            << u"/srv/erp.fdb"_s;
        QTest::newRow("quoted path with blanks and #")
            << QByteArray("VALDORE = \"/srv/my data/erp#1.fdb\"  # quoted\n") << u"VALDORE"_s
            << u"/srv/my data/erp#1.fdb"_s;
        QTest::newRow("macro left as it stands")
            << QByteArray("VALDORE = $(dir_sampleDb)/erp.fdb\n") << u"VALDORE"_s << u"$(dir_sampleDb)/erp.fdb"_s;
        QTest::newRow("block on the lines after")
            << QByteArray("security.db = $(dir_secDb)/security3.fdb\n{\n\tRemoteAccess = false\n\tVALDORE = /inside.fdb\n}\n"
                          "VALDORE = /srv/erp.fdb\n{\n  LockMemSize = 32M\n}\n")
            << u"VALDORE"_s << u"/srv/erp.fdb"_s;
        QTest::newRow("block opened on the entry's line")
            << QByteArray("big = /big.fdb {\n  VALDORE = /inside.fdb\n}\nVALDORE = /srv/erp.fdb { LockMemSize = 32M }\n")
            << u"VALDORE"_s << u"/srv/erp.fdb"_s;
        QTest::newRow("block with braces in a comment")
            << QByteArray("big = /big.fdb\n{ # }\n  VALDORE = /inside.fdb\n}\nVALDORE = /srv/erp.fdb\n") << u"VALDORE"_s
            << u"/srv/erp.fdb"_s;
        QTest::newRow("Latin-1 file") << QByteArray("VALDORE = /dados/s\xe3o.fdb\n") << u"VALDORE"_s << u"/dados/são.fdb"_s;
        QTest::newRow("UTF-8 file") << QByteArray("VALDORE = /dados/s\xc3\xa3o.fdb\n") << u"VALDORE"_s << u"/dados/são.fdb"_s;

        const QByteArray longPath = "/" + QByteArray(299, 'p');
        QTest::newRow("path cut at 255") << QByteArray("VALDORE = " + longPath + "\n") << u"VALDORE"_s
                                         << QString::fromLatin1(longPath.left(255));
        QTest::newRow("empty path") << QByteArray("VALDORE =\n") << u"VALDORE"_s << QString();
        QTest::newRow("alias missing") << QByteArray("OTHER = /x.fdb\n") << u"VALDORE"_s << QString();
        QTest::newRow("only a prefix of the name") << QByteArray("VALDORE2 = /x.fdb\n") << u"VALDORE"_s << QString();
        QTest::newRow("only inside a block") << QByteArray("big = /big.fdb\n{\n  VALDORE = /inside.fdb\n}\n")
                                             << u"VALDORE"_s << QString();
        QTest::newRow("empty file") << QByteArray() << u"VALDORE"_s << QString();
        QTest::newRow("empty alias") << QByteArray("= /x.fdb\n") << QString() << QString();
    }
    void lookup() {
        QFETCH(QByteArray, file);
        QFETCH(QString, alias);
        QFETCH(QString, path);
        AliasFilePath = m_dir.filePath(u"databases.conf"_s);
        writeFile(AliasFilePath, file);
        QCOMPARE(retornaCaminho(alias), path);
    }

    void parametersStartWithServerName() {
        AliasFilePath = m_dir.filePath(u"databases.conf"_s);
        writeFile(AliasFilePath, "VALDORE = /srv/erp.fdb\n{\n  LockMemSize = 32M\n  RemoteAccess = false\n}\n");
        QCOMPARE(AliasParams(u"VALDORE"_s), (QStringList{u"SERVER NAME=/srv/erp.fdb"_s, u"LOCKMEMSIZE=32M"_s,
                                                        u"REMOTEACCESS=false"_s}));
    }

    void unreadableFileGivesEmpty_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("no file") << m_dir.filePath(u"nothere.conf"_s);
        QTest::newRow("a folder") << m_dir.path();
        QTest::newRow("a FIFO (must not block)") << m_dir.filePath(u"fifo.conf"_s);
        QTest::newRow("a device") << u"/dev/zero"_s;
        QTest::newRow("larger than 1 MiB") << m_dir.filePath(u"large.conf"_s);
    }
    void unreadableFileGivesEmpty() {
        QFETCH(QString, path);
        if (path.endsWith(u"fifo.conf"_s) && !QFileInfo::exists(path))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        if (path.endsWith(u"large.conf"_s)) {
            writeFile(path, "VALDORE = /srv/erp.fdb\n");
            QVERIFY(QFile::resize(path, 1024 * 1024 + 1));
        }
        AliasFilePath = path;
        QCOMPARE(retornaCaminho(u"VALDORE"_s), QString());
    }

    void installedFileIsRead() {
        // The machine's own alias file, as the installation ships it.
        if (!QFile::exists(AliasFilePath))
            QSKIP("no Firebird alias file on this machine");
        QVERIFY(retornaCaminho(u"security.db"_s).endsWith(u"/security3.fdb"_s));
    }
};

ORVANTO_TEST_MAIN(TestAlias)
#include "tst_alias.moc"
