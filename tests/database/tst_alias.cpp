// The alias lookup over alias files written by the test.

#include "CoreTestSupport.h"
#include "database/Alias.h"

#include <QDir>
#include <QFileInfo>
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
        QTest::newRow("no blanks, CR LF lines")
            << QByteArray("other=/x.fdb\r\nVALDORE=/srv/erp.fdb\r\n") << u"VALDORE"_s << u"/srv/erp.fdb"_s;
        QTest::newRow("name case ignored")
            << QByteArray("Valdore = /srv/erp.fdb\n") << u"VALDORE"_s << u"/srv/erp.fdb"_s;
        QTest::newRow("asked in small letters")
            << QByteArray("VALDORE = /srv/erp.fdb\n") << u"valdore"_s << u"/srv/erp.fdb"_s;
        QTest::newRow("first of two alike")
            << QByteArray("VALDORE = /a.fdb\nvaldore = /b.fdb\n") << u"VALDORE"_s << u"/a.fdb"_s;
        QTest::newRow("remote path") << QByteArray("VALDORE = srv:C:\\dados\\erp.fdb\n") << u"VALDORE"_s
                                     << u"srv:C:\\dados\\erp.fdb"_s;
        QTest::newRow("comments and blanks")
            << QByteArray("# VALDORE = /commented.fdb\n\n   \n\tVALDORE\t=\t/srv/erp.fdb   # the ERP\n")
            << u"VALDORE"_s << u"/srv/erp.fdb"_s;
        QTest::newRow("quoted path with blanks and #")
            << QByteArray("VALDORE = \"/srv/my data/erp#1.fdb\"  # quoted\n") << u"VALDORE"_s
            << u"/srv/my data/erp#1.fdb"_s;
        QTest::newRow("macro left as it stands") << QByteArray("VALDORE = $(dir_sampleDb)/erp.fdb\n")
                                                 << u"VALDORE"_s << u"$(dir_sampleDb)/erp.fdb"_s;
        QTest::newRow("quoted path keeps the blanks inside its quotes")
            << QByteArray("VALDORE = \"/srv/erp.fdb  \"\t # quoted\r\n") << u"VALDORE"_s
            << u"/srv/erp.fdb  "_s;
        QTest::newRow("only blanks, tabs and CRs are trimmed")
            << QByteArray("VALDORE = /srv/erp.fdb\f\n") << u"VALDORE"_s << u"/srv/erp.fdb\f"_s;
        // $DIR: the alias file's folder, the engine's configuration folder.
        QTest::newRow("configuration folder macro")
            << QByteArray("VALDORE = $(dir_conf)/erp.fdb\n") << u"VALDORE"_s << u"$DIR/erp.fdb"_s;
        QTest::newRow("configuration folder macro in capitals, no separator")
            << QByteArray("VALDORE = \"$(DIR_CONF)dados\\my erp.fdb \"\n") << u"VALDORE"_s
            << u"$DIR/dados/my erp.fdb "_s;
        QTest::newRow("configuration folder macro after a separator")
            << QByteArray("VALDORE = /x/$(dir_conf)/erp.fdb\n") << u"VALDORE"_s << u"/x$DIR/erp.fdb"_s;
        QTest::newRow("block on the lines after")
            << QByteArray("security.db = $(dir_secDb)/security3.fdb\n{\n\tRemoteAccess = false\n\tVALDORE = "
                          "/inside.fdb\n}\n"
                          "VALDORE = /srv/erp.fdb\n{\n  LockMemSize = 32M\n}\n")
            << u"VALDORE"_s << u"/srv/erp.fdb"_s;
        QTest::newRow("block opened on the entry's line")
            << QByteArray("big = /big.fdb {\n  VALDORE = /inside.fdb\n}\nVALDORE = /srv/erp.fdb { "
                          "LockMemSize = 32M }\n")
            << u"VALDORE"_s << u"/srv/erp.fdb"_s;
        QTest::newRow("block with braces in a comment")
            << QByteArray("big = /big.fdb\n{ # }\n  VALDORE = /inside.fdb\n}\nVALDORE = /srv/erp.fdb\n")
            << u"VALDORE"_s << u"/srv/erp.fdb"_s;
        QTest::newRow("Latin-1 file")
            << QByteArray("VALDORE = /dados/s\xe3o.fdb\n") << u"VALDORE"_s << u"/dados/são.fdb"_s;
        QTest::newRow("UTF-8 file") << QByteArray("VALDORE = /dados/s\xc3\xa3o.fdb\n") << u"VALDORE"_s
                                    << u"/dados/são.fdb"_s;

        const QByteArray longPath = "/" + QByteArray(299, 'p');
        QTest::newRow("path cut at 255") << QByteArray("VALDORE = " + longPath + "\n") << u"VALDORE"_s
                                         << QString::fromLatin1(longPath.left(255));
        QTest::newRow("empty path") << QByteArray("VALDORE =\n") << u"VALDORE"_s << QString();
        QTest::newRow("alias missing") << QByteArray("OTHER = /x.fdb\n") << u"VALDORE"_s << QString();
        QTest::newRow("only a prefix of the name")
            << QByteArray("VALDORE2 = /x.fdb\n") << u"VALDORE"_s << QString();
        QTest::newRow("only inside a block")
            << QByteArray("big = /big.fdb\n{\n  VALDORE = /inside.fdb\n}\n") << u"VALDORE"_s << QString();
        QTest::newRow("empty file") << QByteArray() << u"VALDORE"_s << QString();
        QTest::newRow("empty alias") << QByteArray("= /x.fdb\n") << QString() << QString();
    }
    void lookup() {
        QFETCH(QByteArray, file);
        QFETCH(QString, alias);
        QFETCH(QString, path);
        AliasFilePath = m_dir.filePath(u"databases.conf"_s);
        writeFile(AliasFilePath, file);
        QCOMPARE(retornaCaminho(alias), QString(path).replace(u"$DIR"_s, m_dir.path()));
    }

    // The alias file's include directive, as the database engine reads it.
    // files: pairs of a path under the test folder and its content; the
    // lookup starts at databases.conf.
    void includes_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("path");
        const auto chain = [](int length) {
            QStringList files;
            for (int i = 0; i < length; ++i)
                files << (i == 0 ? u"databases.conf"_s : u"d%1.conf"_s.arg(i))
                      << u"include d%1.conf\n"_s.arg(i + 1);
            return files << u"d%1.conf"_s.arg(length) << u"VALDORE = /deep.fdb\n"_s;
        };
        QTest::newRow("alias in an included file")
            << QStringList{u"databases.conf"_s, u"# ours\ninclude extra.conf\n"_s, u"extra.conf"_s,
                           u"VALDORE = /inc.fdb\n"_s}
            << u"/inc.fdb"_s;
        QTest::newRow("relative to the including file")
            << QStringList{u"databases.conf"_s, u"include sub/a.conf\n"_s,
                           u"sub/a.conf"_s,     u"include b.conf\n"_s,
                           u"sub/b.conf"_s,     u"VALDORE = /b.fdb\n"_s,
                           u"b.conf"_s,         u"VALDORE = /wrong.fdb\n"_s}
            << u"/b.fdb"_s;
        QTest::newRow("absolute path") << QStringList{u"databases.conf"_s, u"include $DIR/abs.conf\n"_s,
                                                      u"abs.conf"_s, u"VALDORE = /abs.fdb\n"_s}
                                       << u"/abs.fdb"_s;
        QTest::newRow("quoted name with a blank")
            << QStringList{u"databases.conf"_s, u"INCLUDE \"my aliases.conf\"\n"_s, u"my aliases.conf"_s,
                           u"VALDORE = /q.fdb\n"_s}
            << u"/q.fdb"_s;
        QTest::newRow("the alias file's folder macro")
            << QStringList{u"databases.conf"_s, u"include $(dir_conf)/m.conf\n"_s, u"m.conf"_s,
                           u"VALDORE = /m.fdb\n"_s}
            << u"/m.fdb"_s;
        QTest::newRow("wildcards") << QStringList{u"databases.conf"_s,   u"include conf.d/*.con?\n"_s,
                                                  u"conf.d/10-a.conf"_s, u"other = /x.fdb\n"_s,
                                                  u"conf.d/20-b.conf"_s, u"VALDORE = /w.fdb\n"_s,
                                                  u"conf.d/30-c.conf"_s, u"VALDORE = /late.fdb\n"_s}
                                   << u"/w.fdb"_s;
        QTest::newRow("entry before the include wins")
            << QStringList{u"databases.conf"_s, u"VALDORE = /first.fdb\ninclude extra.conf\n"_s,
                           u"extra.conf"_s, u"VALDORE = /second.fdb\n"_s}
            << u"/first.fdb"_s;
        QTest::newRow("include before the entry wins")
            << QStringList{u"databases.conf"_s, u"include extra.conf\nVALDORE = /second.fdb\n"_s,
                           u"extra.conf"_s, u"VALDORE = /first.fdb\n"_s}
            << u"/first.fdb"_s;
        QTest::newRow("missing included file is passed over")
            << QStringList{u"databases.conf"_s, u"include nothere.conf\nVALDORE = /after.fdb\n"_s}
            << u"/after.fdb"_s;
        QTest::newRow("a file that includes itself")
            << QStringList{u"databases.conf"_s, u"include databases.conf\nVALDORE = /self.fdb\n"_s}
            << u"/self.fdb"_s;
        QTest::newRow("two files that include each other")
            << QStringList{u"databases.conf"_s, u"include a.conf\nVALDORE = /loop.fdb\n"_s,
                           u"a.conf"_s,         u"include b.conf\n"_s,
                           u"b.conf"_s,         u"include a.conf\ninclude databases.conf\n"_s}
            << u"/loop.fdb"_s;
        QTest::newRow("a chain as deep as the bound") << chain(8) << u"/deep.fdb"_s;
        QTest::newRow("a chain deeper than the bound") << chain(9) << QString();
        QTest::newRow("include inside a block is no directive")
            << QStringList{u"databases.conf"_s, u"big = /big.fdb\n{\n  include extra.conf\n}\n"_s,
                           u"extra.conf"_s, u"VALDORE = /no.fdb\n"_s}
            << QString();
    }
    void includes() {
        QFETCH(QStringList, files);
        QFETCH(QString, path);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        for (qsizetype i = 0; i + 1 < files.size(); i += 2) {
            const QString file = dir.filePath(files[i]);
            QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
            writeFile(file, QString(files[i + 1]).replace(u"$DIR"_s, dir.path()).toUtf8());
        }
        AliasFilePath = dir.filePath(u"databases.conf"_s);
        QCOMPARE(retornaCaminho(u"VALDORE"_s), path);
    }

    void parametersStartWithServerName() {
        AliasFilePath = m_dir.filePath(u"databases.conf"_s);
        writeFile(AliasFilePath,
                  "VALDORE = /srv/erp.fdb\n{\n  LockMemSize = 32M\n  RemoteAccess = false\n}\n");
        QCOMPARE(AliasParams(u"VALDORE"_s),
                 (QStringList{u"SERVER NAME=/srv/erp.fdb"_s, u"LOCKMEMSIZE=32M"_s, u"REMOTEACCESS=false"_s}));
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
        // The engine reads this file through a link in its own folder, which
        // is the folder its "$(dir_conf)" names.
        const QString engineLink = EngineConfigFolder() + u"/databases.conf"_s;
        QCOMPARE(QFileInfo(engineLink).canonicalFilePath(), QFileInfo(AliasFilePath).canonicalFilePath());
        if (QFileInfo(engineLink).isSymLink())
            QVERIFY(EngineConfigFolder() != QFileInfo(AliasFilePath).absolutePath());
    }
};

ORVANTO_CORE_TEST_MAIN(TestAlias)
#include "tst_alias.moc"
