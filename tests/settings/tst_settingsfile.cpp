#include "CoreTestSupport.h"
#include "settings/AtomicWrite.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "settings/ShownError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void setAllValues(const QString& suffix) {
    Values.LocRem = QStringLiteral("L");
    Values.Comp = QStringLiteral("0");
    Values.Servidor = QString();
    Values.Protocolo = QString();
    Values.CaminhoBanco = QStringLiteral("/dados/erp") + suffix + QStringLiteral(".fdb");
    Values.Usuario = QStringLiteral("SYSDBA");
    Values.Senha = QStringLiteral("segredo") + suffix;
    Values.DiretorioGadgets = QStringLiteral("/opt/gadgets/");
    Values.ModoPainel = QStringLiteral("1");
    Values.Filial = QStringLiteral("01");
}

const QByteArray GadgetSection = "[Tarvelo]\r\n"
                                 "; a gadget's own comment\r\n"
                                 "Left = 120\r\n"
                                 "Top=80\n"
                                 "LocRem=not ours\r\n"
                                 "odd line without equals\r\n"
                                 "\r\n";

} // namespace

class SettingsFileTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        // Every case starts from empty values, as the process does.
        clearSettingsValues();
        home.reset(new ScratchHome);
    }
    void cleanup() { home.reset(); }

    void newFileHasPaddedKeysInOrder() {
        setAllValues(QString());
        SalvaIni(Values);
        QCOMPARE(readFile(settingsFilePath()), QByteArray("[Configuracoes]\r\n"
                                                          "LocRem          =L\r\n"
                                                          "Comp            =0\r\n"
                                                          "Servidor        =\r\n"
                                                          "Protocolo       =\r\n"
                                                          "CaminhoBanco    =/dados/erp.fdb\r\n"
                                                          "Usuario         =SYSDBA\r\n"
                                                          "Senha           =segredo\r\n"
                                                          "DiretorioGadgets=/opt/gadgets/\r\n"
                                                          "ModoPainel      =1\r\n"
                                                          "Filial          =01\r\n"));
    }

    void saveCreatesFolderAndOwnerOnlyFile() {
        QVERIFY(!QFileInfo::exists(settingsFolder()));
        setAllValues(QString());
        SalvaIni(Values);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(settingsFilePath()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));
    }

    // The file holds the password: a save leaves it to its owner alone,
    // whatever looser mode it had (anyone could otherwise read the password
    // or point the gadgets folder at their own programs).
    void saveLeavesTheFileOwnerOnly_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("0600") << 0600;
        QTest::newRow("0640") << 0640;
        QTest::newRow("0644") << 0644;
        QTest::newRow("0666") << 0666;
    }
    void saveLeavesTheFileOwnerOnly() {
        QFETCH(int, mode);
        writeFile(settingsFilePath(), "[Configuracoes]\r\nLocRem=R\r\n");
        QCOMPARE(::chmod(QFile::encodeName(settingsFilePath()).constData(), mode_t(mode)), 0);
        setAllValues(QString());
        SalvaIni(Values);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(settingsFilePath()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));
    }

    void roundTripThroughCarregaConfig() {
        setAllValues(QStringLiteral("X"));
        Values.Comp = QStringLiteral("1");
        SalvaIni(Values);
        clearSettingsValues();
        CarregaConfig(Values);
        QCOMPARE(Values.CaminhoBanco, QStringLiteral("/dados/erpX.fdb"));
        QCOMPARE(Values.Senha, QStringLiteral("segredoX"));
        QCOMPARE(Values.LocRem, QStringLiteral("L"));
        QCOMPARE(Values.DiretorioGadgets, QStringLiteral("/opt/gadgets/"));
        QCOMPARE(Values.ModoPainel, QStringLiteral("1"));
        QCOMPARE(Values.Filial, QStringLiteral("01"));
        QVERIFY2(Values.Comp.isEmpty(), "Comp is never loaded from the file");
    }

    void gadgetSectionsSurviveByteForByte() {
        const QByteArray before = "[Configuracoes]\r\nLocRem=R\r\nExtra=kept\r\n\r\n" + GadgetSection +
                                  "[Varnelo]\r\nPos=1,2\r\n"; // no final line break
        writeFile(settingsFilePath(), before);
        setAllValues(QString());
        SalvaIni(Values);
        SalvaIni(Values); // twice: still one entry per key
        const QByteArray after = readFile(settingsFilePath());
        QVERIFY(after.contains(GadgetSection));
        QVERIFY(after.endsWith("[Varnelo]\r\nPos=1,2\r\n") || after.endsWith("[Varnelo]\r\nPos=1,2"));
        QCOMPARE(after.count("LocRem          =L"), 1);
        QCOMPARE(after.count("LocRem"), 2); // ours, and the gadget's own entry of that name
        QVERIFY(after.startsWith("[Configuracoes]\r\nLocRem          =L\r\nExtra=kept\r\n"));
        // New keys go after the section's last entry, before the blank separator line.
        QVERIFY(after.contains("Filial          =01\r\n\r\n[Tarvelo]"));
    }

    void newSectionGoesAtTheEnd() {
        writeFile(settingsFilePath(), "[Ostrela]\r\nX=1"); // no final line break
        setAllValues(QString());
        SalvaIni(Values);
        const QByteArray after = readFile(settingsFilePath());
        QVERIFY(after.startsWith("[Ostrela]\r\nX=1\r\n[Configuracoes]\r\nLocRem          =L\r\n"));
    }

    // An entry added after an unended last line ends with CR LF, as the
    // profile functions end it.
    void entryAfterAnUnendedLastLineEndsItsLine() {
        writeFile(settingsFilePath(), "[Configuracoes]\r\nUsuario=ana");
        CarregaConfig(Values);
        SalvaIni(Values);
        const QByteArray after = readFile(settingsFilePath());
        QVERIFY2(after.startsWith("[Configuracoes]\r\nUsuario=ana\r\nLocRem          ="), after.constData());
        QVERIFY2(after.endsWith("Filial          =\r\n"), after.constData());
    }

    void byteOrderMarkKeepsTheFirstSection() {
        // Saving must update the section the mark stands before, not add a second one.
        writeFile(settingsFilePath(), "\xEF\xBB\xBF[Configuracoes]\r\nUsuario=ana\r\n[Tarvelo]\r\nX=1\r\n");
        CarregaConfig(Values);
        SalvaIni(Values);
        const QByteArray after = readFile(settingsFilePath());
        QVERIFY(after.startsWith("\xEF\xBB\xBF[Configuracoes]\r\nUsuario=ana\r\n"));
        QCOMPARE(after.count("[Configuracoes]"), 1);
        QVERIFY(after.endsWith("[Tarvelo]\r\nX=1\r\n"));

        writeFile(settingsFilePath(), "\xEF\xBB\xBF");
        SalvaIni(Values);
        QVERIFY(readFile(settingsFilePath()).startsWith("\xEF\xBB\xBF[Configuracoes]\r\n"));
    }

    // One save of many writes: each lands where it would alone, in the
    // order the writes were made.
    void manyWritesInOneSave_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QStringList>("writes"); // section, key, value, ...
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("same key twice: the last value")
            << QByteArray("[S]\r\nA=1\r\nB=2\r\n") << QStringList{"S", "A", "7", "s", " a", "8"}
            << QByteArray("[S]\r\n a=8\r\nB=2\r\n");
        QTest::newRow("new key written twice: one line")
            << QByteArray("[S]\r\nA=1\r\n") << QStringList{"S", "N", "7", "S", "n", "8"}
            << QByteArray("[S]\r\nA=1\r\nn=8\r\n");
        QTest::newRow("held value keeps its line, also between writes")
            << QByteArray("[S]\r\nA = 1 \r\nB = 2 \r\n")
            << QStringList{"S", "A", "1", "S", "B", "9", "S", "B", "2", "S", "A", "1"}
            << QByteArray("[S]\r\nA = 1 \r\nB=2\r\n");
        QTest::newRow("new keys after each section's last line, new sections at the end in order")
            << QByteArray("[S]\r\nA=1\r\n\r\n[T]\r\nB=2")
            << QStringList{"U", "X", "1", "S", "C", "3", "t", "D", "4",
                           "V", "Z", "0", "u", "Y", "2", "S", "E", "5"}
            << QByteArray("[S]\r\nA=1\r\nC=3\r\nE=5\r\n\r\n[T]\r\nB=2\r\nD=4\r\n"
                          "[U]\r\nX=1\r\nY=2\r\n[V]\r\nZ=0\r\n");
        QTest::newRow("lines of other sections and line ends kept")
            << QByteArray("[S]\nA=1\n[T]\rA=1\r[S]\r\nA=1\r\n")
            << QStringList{"T", "A", "2", "S", "A", "3", "S", "B", "4"}
            << QByteArray("[S]\nA=3\nB=4\r\n[T]\rA=2\r[S]\r\nA=1\r\n");
    }
    void manyWritesInOneSave() {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, writes);
        QFETCH(QByteArray, after);
        writeFile(settingsFilePath(), before);
        IniFile ini(settingsFilePath());
        for (qsizetype i = 0; i + 2 < writes.size(); i += 3)
            ini.write(writes[i], writes[i + 1], writes[i + 2]);
        // What is read before the save is what the save writes.
        QCOMPARE(ini.read(writes[writes.size() - 3], writes[writes.size() - 2]), writes.back());
        ini.release();
        QCOMPARE(readFile(settingsFilePath()), after);
    }

    void lookup_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("padded key") << QByteArray("[Configuracoes]\r\nCaminhoBanco    =/a.fdb\r\n")
                                    << "/a.fdb";
        QTest::newRow("letter case") << QByteArray("[configuracoes]\r\ncaminhobanco=/b.fdb\r\n") << "/b.fdb";
        QTest::newRow("blanks around equals")
            << QByteArray("[ Configuracoes ]\r\n  CaminhoBanco  =   /c.fdb  \r\n") << "/c.fdb";
        QTest::newRow("tabs around") << QByteArray("[Configuracoes]\r\n\tCaminhoBanco\t=\t/d.fdb\t\r\n")
                                     << "/d.fdb";
        QTest::newRow("value after first equals")
            << QByteArray("[Configuracoes]\r\nCaminhoBanco=srv:/x=y.fdb\r\n") << "srv:/x=y.fdb";
        QTest::newRow("unix line ends") << QByteArray("[Configuracoes]\nCaminhoBanco=/e.fdb\n") << "/e.fdb";
        QTest::newRow("key in another section only")
            << QByteArray("[Tarvelo]\r\nCaminhoBanco=/no.fdb\r\n[Configuracoes]\r\nUsuario=x\r\n") << "";
        QTest::newRow("first of two sections")
            << QByteArray("[Configuracoes]\r\nCaminhoBanco=/one\r\n[Configuracoes]\r\nCaminhoBanco=/two\r\n")
            << "/one";
        QTest::newRow("accented value")
            << QByteArray("[Configuracoes]\r\nCaminhoBanco=/dados/Só Ação.fdb\r\n")
            << QStringLiteral("/dados/Só Ação.fdb");
        QTest::newRow("empty value") << QByteArray("[Configuracoes]\r\nCaminhoBanco=\r\n") << "";
        // Some editors start a file they save with a byte order mark.
        QTest::newRow("byte order mark")
            << QByteArray("\xEF\xBB\xBF[Configuracoes]\r\nCaminhoBanco=/f.fdb\r\n") << "/f.fdb";
        QTest::newRow("byte order mark, blank")
            << QByteArray("\xEF\xBB\xBF  [Configuracoes]\r\nCaminhoBanco=/g.fdb\r\n") << "/g.fdb";
        QTest::newRow("byte order mark text later is no header")
            << QByteArray("[Tarvelo]\r\n\xEF\xBB\xBF[Configuracoes]\r\nCaminhoBanco=/no.fdb\r\n") << "";
        // Lines as the profile functions read them.
        QTest::newRow("lone CR line ends")
            << QByteArray("[Configuracoes]\rUsuario=ana\rCaminhoBanco=/h.fdb\r") << "/h.fdb";
        QTest::newRow("mixed line ends")
            << QByteArray("[Tarvelo]\rX=1\r\n[Configuracoes]\nCaminhoBanco=/i.fdb") << "/i.fdb";
        QTest::newRow("lone CR inside a value ends it")
            << QByteArray("[Configuracoes]\r\nCaminhoBanco=/j.fdb\rresto\r\n") << "/j.fdb";
        QTest::newRow("NUL ends the line's text")
            << QByteArrayLiteral("[Configuracoes]\r\nCaminhoBanco=/k.fdb\0lixo\r\n") << "/k.fdb";
        QTest::newRow("NUL before the equals sign")
            << QByteArrayLiteral("[Configuracoes]\r\nCaminho\0Banco=/no.fdb\r\nCaminhoBanco=/l.fdb\r\n")
            << "/l.fdb";
        QTest::newRow("NUL inside a header ends its name")
            << QByteArrayLiteral(
                   "[Tarvelo]\r\nCaminhoBanco=/no.fdb\r\n[Configuracoes\0x]\r\nCaminhoBanco=/o.fdb\r\n")
            << "/o.fdb";
        QTest::newRow("bracket without its close is no header")
            << QByteArray("[Configuracoes]\r\n[nota sem fim\r\nCaminhoBanco=/m.fdb\r\n") << "/m.fdb";
        QTest::newRow("header name runs to the last bracket")
            << QByteArray("[Configuracoes]]\r\nCaminhoBanco=/no.fdb\r\n") << "";
        QTest::newRow("header with a note after it")
            << QByteArray("[Configuracoes] ; nota\r\nCaminhoBanco=/n.fdb\r\n") << "/n.fdb";
    }
    // Whatever is read can be saved and reads back the same: no file the
    // reader accepts makes a later save fail.
    void lookup() {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        writeFile(settingsFilePath(), content);
        Values.CaminhoBanco = QStringLiteral("stale");
        CarregaConfig(Values);
        QCOMPARE(Values.CaminhoBanco, expected);
        SalvaIni(Values);
        Values.CaminhoBanco = QStringLiteral("stale");
        CarregaConfig(Values);
        QCOMPARE(Values.CaminhoBanco, expected);
    }

    void longValuesAreCut_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("readBack");
        QTest::newRow("2047") << 2047 << 2047;
        QTest::newRow("2048") << 2048 << 2047;
        QTest::newRow("3000") << 3000 << 2047;
    }
    void longValuesAreCut() {
        QFETCH(int, length);
        QFETCH(int, readBack);
        QString value;
        for (int i = 0; i < length; ++i)
            value += QChar(u'a' + i % 26);
        setAllValues(QString());
        Values.CaminhoBanco = value;
        SalvaIni(Values);
        QVERIFY(readFile(settingsFilePath()).contains(value.toUtf8())); // written whole
        Values.CaminhoBanco.clear();
        CarregaConfig(Values);
        QCOMPARE(Values.CaminhoBanco, value.left(readBack));
    }

    void noFileLeavesValuesAndCreatesNothing() {
        Values.Usuario = QStringLiteral("kept");
        CarregaConfig(Values);
        QCOMPARE(Values.Usuario, QStringLiteral("kept"));
        QVERIFY(!QFileInfo::exists(settingsFolder()));
    }

    void absentKeyEmptiesItsValue() {
        writeFile(settingsFilePath(), "[Configuracoes]\r\nUsuario=ana\r\n");
        Values.Senha = QStringLiteral("old");
        Values.Comp = QStringLiteral("1");
        CarregaConfig(Values);
        QCOMPARE(Values.Usuario, QStringLiteral("ana"));
        QVERIFY(Values.Senha.isEmpty());
        QCOMPARE(Values.Comp, QStringLiteral("1"));
    }

    // A value the save did not change keeps its line byte for byte, also
    // bytes that are no UTF-8 (a file written in an 8-bit code page): read,
    // they become U+FFFD, and written back as that they would be destroyed.
    void unchangedValuesKeepTheirBytes_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("ModoPainel") << QByteArray("ModoPainel=compacto");
        QTest::newRow("ModoPainel in Latin-1") << QByteArray("ModoPainel=Padr\xE3o");
        QTest::newRow("password in Latin-1") << QByteArray("Senha = Jo\xE3o#2024 ");
        QTest::newRow("path in Latin-1") << QByteArray("CaminhoBanco=/dados/s\xE3o.fdb");
        QTest::newRow("lone continuation byte") << QByteArray("Usuario=\x80");
    }
    void unchangedValuesKeepTheirBytes() {
        QFETCH(QByteArray, line);
        writeFile(settingsFilePath(), "[Configuracoes]\r\n" + line + "\r\n[Tarvelo]\r\nX=1\r\n");
        CarregaConfig(Values);
        SalvaIni(Values);
        const QByteArray after = readFile(settingsFilePath());
        QVERIFY2(after.startsWith("[Configuracoes]\r\n" + line + "\r\n"), after.constData());
        QVERIFY(!after.contains("\xEF\xBF\xBD"));
        QCOMPARE(after.count("[Configuracoes]"), 1);
    }

    void changedValueReplacesTheLine() {
        writeFile(settingsFilePath(), "[Configuracoes]\r\nSenha=Jo\xE3o#2024\r\n");
        CarregaConfig(Values);
        Values.Senha = QStringLiteral("nova");
        SalvaIni(Values);
        QVERIFY(readFile(settingsFilePath()).startsWith("[Configuracoes]\r\nSenha           =nova\r\n"));
    }

    // A value or key the format cannot hold is refused and the file keeps its bytes.
    void unstorableInputIsRefused_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("why");
        QTest::newRow("line feed in value") << "Senha"
                                            << "abc\nUsuario=intruso"
                                            << "O valor de Senha tem uma quebra de linha";
        QTest::newRow("carriage return in value") << "Senha"
                                                  << "abc\rdef"
                                                  << "O valor de Senha tem uma quebra de linha";
        QTest::newRow("null in value") << "Senha" << QStringLiteral("ab") + QChar(0) + "c"
                                       << "caractere nulo";
        QTest::newRow("equals in key") << "Sen=ha"
                                       << "x"
                                       << "A chave \"Sen=ha\" não pode ser gravada";
        QTest::newRow("bracket starting key") << "[Senha"
                                              << "x"
                                              << "A chave \"[Senha\" não pode ser gravada";
        QTest::newRow("blank key") << "   "
                                   << "x"
                                   << "A chave \"   \" não pode ser gravada";
    }
    void unstorableInputIsRefused() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, why);
        const QByteArray before = "[Configuracoes]\r\nSenha=old\r\n" + GadgetSection;
        writeFile(settingsFilePath(), before);
        IniFile ini(settingsFilePath());
        try {
            ini.write(SettingsSection, key, value);
            QFAIL("the write was accepted");
        } catch (const ShownError& error) {
            QVERIFY2(
                error.text().startsWith(QStringLiteral("Unable to write to %1.\r\n").arg(settingsFilePath())),
                qPrintable(error.text()));
            QVERIFY2(error.text().contains(why), qPrintable(error.text()));
        }
        ini.release();
        QCOMPARE(readFile(settingsFilePath()), before);
    }

    // Keys that are odd only as bytes: each reads back what was written
    // under it, leaves the gadget's entry of a look-alike name alone, and a
    // second write makes no second entry.
    void oddKeysKeepToThemselves_data() {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("gadgetKey");
        QTest::newRow("form feed ending the key") << QByteArray("Senha\f") << QByteArray("Senha");
        QTest::newRow("vertical tab before the key") << QByteArray("\vSenha") << QByteArray("Senha");
        QTest::newRow("bytes that are no text") << QByteArray("Senha\xff") << QByteArray("Senha\xfe");
        QTest::newRow("cut-off character") << QByteArray("Senha\xc3") << QByteArray("Senha");
        QTest::newRow("byte order mark") << QByteArray("\xef\xbb\xbfSenha") << QByteArray("Senha");
    }
    void oddKeysKeepToThemselves() {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, gadgetKey);
        const QByteArray before = "[Configuracoes]\r\n" + gadgetKey + "=gadget's\r\n";
        const QByteArray after = ini::store(before, "Configuracoes", key, "ours", settingsFilePath());
        QCOMPARE(after, before + key + "=ours\r\n");
        QCOMPARE(ini::lookup(after, "Configuracoes", key), std::optional<QByteArray>("ours"));
        QCOMPARE(ini::lookup(after, "Configuracoes", gadgetKey), std::optional<QByteArray>("gadget's"));
        QCOMPARE(ini::store(after, "Configuracoes", key, "ours", settingsFilePath()), after);
        if (QString::fromUtf8(key).toUtf8() == key) { // the same through the file, where the key is text
            writeFile(settingsFilePath(), after);
            QCOMPARE(IniFile(settingsFilePath()).read(SettingsSection, QString::fromUtf8(key)),
                     QStringLiteral("ours"));
        }
    }

    void passwordWithLineBreakLeavesTheWholeFileAlone() {
        const QByteArray before = "[Configuracoes]\r\nSenha           =old\r\n" + GadgetSection;
        writeFile(settingsFilePath(), before);
        setAllValues(QString());
        Values.Senha = QStringLiteral("nova\r\nUsuario=intruso");
        QVERIFY_THROWS_EXCEPTION(ShownError, SalvaIni(Values));
        QCOMPARE(readFile(settingsFilePath()), before); // not even the entries before Senha
    }

    // Every refusal a save can meet names the file and says what is wrong
    // after the fixed text, and the file keeps its bytes. (The full disk and
    // the read-only folder, which need mounts, are among the faults; a
    // lock held too long, a FIFO and an oversized file below.)
    void everyRefusalSaysWhy_data() {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("named"); // relative to the settings folder
        QTest::addColumn<QString>("problem");
        QTest::newRow("settings folder is a file") << "folder"
                                                   << ""
                                                   << "é um arquivo, e não uma pasta";
        QTest::newRow("a folder at the file's path") << "file"
                                                     << "ConfigGadGet.Ini"
                                                     << "é uma pasta";
        QTest::newRow("another user's read-only file") << "others file"
                                                       << "ConfigGadGet.Ini"
                                                       << "pertence a outro usuário (nobody)";
        QTest::newRow("lock file is a folder") << "lock folder"
                                               << ".ConfigGadGet.Ini.lock"
                                               << "há uma pasta";
        QTest::newRow("lock file is a FIFO") << "lock fifo"
                                             << ".ConfigGadGet.Ini.lock"
                                             << "há um FIFO";
        QTest::newRow("lock file is a link") << "lock link"
                                             << ".ConfigGadGet.Ini.lock"
                                             << "link simbólico";
        QTest::newRow("another user's lock file, 0644") << "others lock"
                                                        << ".ConfigGadGet.Ini.lock"
                                                        << "pertence a outro usuário (root)";
    }
    void everyRefusalSaysWhy() {
        QFETCH(QString, obstacle);
        QFETCH(QString, named);
        QFETCH(QString, problem);
        const QByteArray before = "[Configuracoes]\r\nUsuario=ana\r\n";
        const QString lock = IniFile::lockPathFor(settingsFilePath());
        const bool asOther = obstacle == u"others lock";
        if ((obstacle.startsWith(u"others")) && ::geteuid() != 0)
            QSKIP("only root can give a file to another user");
        if (obstacle != u"folder")
            writeFile(settingsFilePath(), before);
        if (obstacle == u"folder") {
            writeFile(settingsFolder(), "in the way");
        } else if (obstacle == u"file") {
            QVERIFY(QFile::remove(settingsFilePath()));
            QVERIFY(QDir().mkpath(settingsFilePath()));
        } else if (obstacle == u"others file") {
            QCOMPARE(::chown(QFile::encodeName(settingsFilePath()).constData(), 65534, 65534), 0);
            QCOMPARE(::chmod(QFile::encodeName(settingsFilePath()).constData(), 0444), 0);
        } else if (obstacle == u"lock folder") {
            QVERIFY(QDir().mkpath(lock));
        } else if (obstacle == u"lock fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(lock).constData(), 0600), 0);
        } else if (obstacle == u"lock link") {
            QVERIFY(QFile::link(home->path() + QStringLiteral("/elsewhere"), lock));
        } else if (obstacle == u"others lock") {
            // Left by root; the save runs as another user, who owns the
            // folder and the file but may not open that lock file.
            writeFile(lock, QByteArray());
            QCOMPARE(::chmod(QFile::encodeName(lock).constData(), 0644), 0);
            for (const QString& path : {home->path(), settingsFolder(), settingsFilePath()})
                QCOMPARE(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
        }
        // What the folder holds; the lock file, made by the save, stays by design.
        const auto folderEntries = [&] {
            QStringList entries =
                QDir(settingsFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
            if (!obstacle.contains(u"lock"))
                entries.removeAll(QFileInfo(lock).fileName());
            return entries;
        };
        const QStringList entries = folderEntries();

        QString text;
        if (asOther) {
            QProcess saver;
            saver.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            saver.start(QStringLiteral("setpriv"),
                        {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                         QStringLiteral("--clear-groups"),
                         QCoreApplication::applicationDirPath() + QStringLiteral("/settings_writer"),
                         QStringLiteral("save")});
            QVERIFY2(saver.waitForFinished(30000), "the save as another user did not end");
            QCOMPARE(saver.exitCode(), 1);
            text = QString::fromUtf8(saver.readAllStandardOutput());
        } else {
            setAllValues(QString());
            try {
                SalvaIni(Values);
                QFAIL("the save reported success");
            } catch (const ShownError& error) {
                text = error.text();
            }
        }
        const QString start = QStringLiteral("Unable to write to %1.\r\n").arg(settingsFilePath());
        QVERIFY2(text.startsWith(start), qPrintable(text));
        const QString path = named.isEmpty() ? settingsFolder() : settingsFolder() + u'/' + named;
        QVERIFY2(text.mid(start.size()).contains(path), qPrintable(text));
        QVERIFY2(text.contains(problem), qPrintable(text));
        if (obstacle == u"folder")
            QCOMPARE(readFile(settingsFolder()), QByteArray("in the way"));
        else if (obstacle != u"file")
            QCOMPARE(readFile(settingsFilePath()), before);
        QCOMPARE(folderEntries(), entries); // no temporary file left behind
    }

    // A restrictive umask during one save must not leave the file or its
    // lock file unwritable for the next: both are set to 0600, not 0600
    // less the umask. A file and a lock file of the user's own that an
    // earlier version left 0400 are set back.
    void modesAreSetWhateverTheUmask_data() {
        QTest::addColumn<bool>("leftReadOnly");
        QTest::newRow("saves under 0277, then 0022") << false;
        QTest::newRow("file and lock file left 0400") << true;
    }
    void modesAreSetWhateverTheUmask() {
        QFETCH(bool, leftReadOnly);
        const QString lock = IniFile::lockPathFor(settingsFilePath());
        const auto modeOf = [](const QString& path) {
            struct stat st {};
            return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : mode_t(-1);
        };
        if (leftReadOnly) {
            writeFile(settingsFilePath(), "[Configuracoes]\r\nUsuario=ana\r\n");
            writeFile(lock, QByteArray());
            for (const QString& path : {settingsFilePath(), lock})
                QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0400), 0);
        }
        for (const mode_t umask : {mode_t(0277), mode_t(0022)}) {
            // In a child, so that the umask is the process's from its start,
            // and the save is not root's (who would open a 0400 file anyway).
            QProcess saver;
            saver.setProcessChannelMode(QProcess::ForwardedChannels);
            QStringList command{
                QStringLiteral("-c"),
                QStringLiteral("umask %1 && exec \"$0\" save").arg(umask, 4, 8, QLatin1Char('0'))};
            const QString writer =
                QCoreApplication::applicationDirPath() + QStringLiteral("/settings_writer");
            if (::geteuid() == 0) {
                QCOMPARE(::chown(QFile::encodeName(home->path()).constData(), 65534, 65534), 0);
                for (const QString& path : {settingsFolder(), settingsFilePath(), lock})
                    (void)!::chown(QFile::encodeName(path).constData(), 65534, 65534); // not all there yet
                saver.start(QStringLiteral("setpriv"),
                            QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                        QStringLiteral("--clear-groups"), QStringLiteral("sh")} +
                                command + QStringList{writer});
            } else {
                saver.start(QStringLiteral("sh"), command + QStringList{writer});
            }
            QVERIFY2(saver.waitForFinished(30000), "the save did not end");
            QVERIFY2(
                saver.exitCode() == 0,
                qPrintable(
                    QStringLiteral("the save under umask %1 failed").arg(umask, 4, 8, QLatin1Char('0'))));
            QCOMPARE(modeOf(settingsFilePath()), mode_t(0600));
            QCOMPARE(modeOf(lock), mode_t(0600));
            QVERIFY(readFile(settingsFilePath()).contains("Usuario         =SYSDBA\r\n"));
        }
    }

    void writeThroughLinkKeepsTheLink() {
        const QString real = home->path() + QStringLiteral("/real.ini");
        writeFile(real, "[Configuracoes]\r\nUsuario=a\r\n");
        QDir().mkpath(settingsFolder());
        QVERIFY(QFile::link(real, settingsFilePath()));
        setAllValues(QString());
        SalvaIni(Values);
        QVERIFY(QFileInfo(settingsFilePath()).isSymLink());
        QVERIFY(readFile(real).contains("Usuario         =SYSDBA"));
    }

    // A chain of links, relative and absolute: the save replaces the real
    // file at its end and every link stays a link.
    void writeThroughLinkChainReachesTheRealFile() {
        const QString real = home->path() + QStringLiteral("/dados/real.ini");
        const QString middle = home->path() + QStringLiteral("/middle.ini");
        QDir().mkpath(home->path() + QStringLiteral("/dados"));
        writeFile(real, "[Configuracoes]\r\nUsuario=a\r\n" + GadgetSection);
        QVERIFY(QFile::link(QStringLiteral("dados/real.ini"), middle)); // relative to its own folder
        QDir().mkpath(settingsFolder());
        QVERIFY(QFile::link(middle, settingsFilePath()));
        setAllValues(QString());
        SalvaIni(Values);
        QVERIFY(QFileInfo(settingsFilePath()).isSymLink());
        QVERIFY(QFileInfo(middle).isSymLink());
        const QByteArray saved = readFile(real);
        QVERIFY2(saved.contains("Usuario         =SYSDBA"), saved.constData());
        QVERIFY(saved.contains(GadgetSection));
        QVERIFY(QFileInfo::exists(home->path() + QStringLiteral("/dados/.real.ini.lock")));
    }

    // What is no regular file, or far too large to be one, counts as a file
    // that cannot be read: at once (a FIFO must not block the start, a link
    // to /dev/zero must not fill the memory), and a save leaves it as it is.
    // Both say why, naming the file.
    void unreadableKindsAreRefusedAtOnce_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("problem");
        QTest::newRow("FIFO") << "fifo"
                              << "é um FIFO (pipe nomeado), e não um arquivo comum";
        QTest::newRow("link to /dev/zero") << "zero"
                                           << "é um dispositivo, e não um arquivo comum";
        QTest::newRow("larger than the bound")
            << "large" << QStringLiteral("tem mais de %1 bytes").arg(IniFile::MaxFileSize);
    }
    void unreadableKindsAreRefusedAtOnce() {
        QFETCH(QString, kind);
        QFETCH(QString, problem);
        QDir().mkpath(settingsFolder());
        const QByteArray name = QFile::encodeName(settingsFilePath());
        // The save follows the link: its reason names the file it reaches.
        const QString named =
            kind == QLatin1String("zero") ? QStringLiteral("/dev/zero") : settingsFilePath();
        if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        } else if (kind == QLatin1String("zero")) {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), settingsFilePath()));
        } else {
            writeFile(settingsFilePath(), "[Configuracoes]\r\nUsuario=ana\r\n");
            QVERIFY(QFile::resize(settingsFilePath(), IniFile::MaxFileSize + 1)); // sparse: costs no disk
        }
        try {
            ReadSettingsFileThrough();
            QFAIL("the start-up read went through");
        } catch (const ShownError& error) {
            QVERIFY2(
                error.text().startsWith(
                    QStringLiteral("Não foi possível abrir o arquivo \"%1\".\r\n").arg(settingsFilePath())),
                qPrintable(error.text()));
            QVERIFY2(error.text().contains(settingsFilePath() + u' ' + problem), qPrintable(error.text()));
        }
        IniFile reader(settingsFilePath());
        QVERIFY(reader.exists());
        QCOMPARE(reader.read(SettingsSection, QStringLiteral("Usuario"), QStringLiteral("default")),
                 QStringLiteral("default"));
        setAllValues(QString());
        try {
            SalvaIni(Values);
            QFAIL("the save reported success");
        } catch (const ShownError& error) {
            QVERIFY2(
                error.text().startsWith(QStringLiteral("Unable to write to %1.\r\n").arg(settingsFilePath())),
                qPrintable(error.text()));
            QVERIFY2(error.text().contains(named + u' ' + problem), qPrintable(error.text()));
        }
        struct stat st {};
        QCOMPARE(::lstat(name.constData(), &st), 0);
        if (kind == QLatin1String("fifo"))
            QVERIFY(S_ISFIFO(st.st_mode));
        if (kind == QLatin1String("zero"))
            QVERIFY(S_ISLNK(st.st_mode));
        if (kind == QLatin1String("large"))
            QCOMPARE(qint64(st.st_size), IniFile::MaxFileSize + 1);
    }

    // A folder at the file's path is no file: the start and the dialog's
    // loading go on as without a file, keeping the values they have.
    void startupReadThrough() {
        ReadSettingsFileThrough(); // no folder: no error
        QVERIFY(QDir().mkpath(settingsFilePath()));
        Values.Usuario = QStringLiteral("kept");
        ReadSettingsFileThrough();
        CarregaConfig(Values);
        QCOMPARE(Values.Usuario, QStringLiteral("kept"));
        QVERIFY(!IniFile(settingsFilePath()).exists());
    }

    // Two programs keeping their own entries in the file at once, as the
    // panel and a gadget do: under the writers' lock no update is lost.
    void concurrentWritersLoseNoUpdate() {
        writeFile(settingsFilePath(), "[Configuracoes]\r\nSenha=x\r\n" + GadgetSection);
        const QString writer = QCoreApplication::applicationDirPath() + QStringLiteral("/settings_writer");
        constexpr int Rounds = 3000;
        QProcess first, second;
        first.start(writer, {QStringLiteral("count"), QStringLiteral("Painel"), QString::number(Rounds)});
        second.start(writer, {QStringLiteral("count"), QStringLiteral("Tarvelo"), QString::number(Rounds)});
        QVERIFY(first.waitForFinished(120000) && second.waitForFinished(120000));
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(second.exitCode(), 0);
        IniFile ini(settingsFilePath());
        QCOMPARE(ini.read(QStringLiteral("Contadores"), QStringLiteral("Painel")), QString::number(Rounds));
        QCOMPARE(ini.read(QStringLiteral("Contadores"), QStringLiteral("Tarvelo")), QString::number(Rounds));
        QVERIFY(readFile(settingsFilePath()).contains(GadgetSection));
    }

    // Another program rewriting the file in place without the lock
    // (truncated, then written anew in two halves, as the Windows profile
    // functions and many editors write) while two lock-following writers
    // save, one entry of their own at a time: a file read half-written is
    // never renamed over the real one, so no section and no line of it is
    // lost. Updates are lost through the outside writer only: its own, when
    // a rename replaces the file it is writing into, and the few it writes
    // over with what it read just before.
    void outsideWriterCannotMakeOursLoseSections() {
        const QByteArray start = "[Configuracoes]\r\nSenha=x\r\n";
        const QByteArray gadgets = GadgetSection + "[Varnelo]\r\nPos=1,2\r\n";
        writeFile(settingsFilePath(), start + gadgets);
        const QString writer = QCoreApplication::applicationDirPath() + QStringLiteral("/settings_writer");
        const QString stop = home->path() + QStringLiteral("/stop");
        constexpr int Rounds = 100;
        QProcess first, second;
        for (QProcess* process : {&first, &second})
            process->setProcessChannelMode(QProcess::ForwardedChannels);
        first.start(writer, {QStringLiteral("mark"), QStringLiteral("Painel"), QString::number(Rounds)});
        second.start(writer, {QStringLiteral("mark"), QStringLiteral("Tarvelo"), QString::number(Rounds)});
        // Once both have seen the file whole: a file they never saw whole
        // cannot tell them what a half-written one lacks.
        QTRY_VERIFY(readFile(settingsFilePath()).contains("Painel1=1\r\n") &&
                    readFile(settingsFilePath()).contains("Tarvelo1=1\r\n"));
        QProcess outside;
        outside.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        outside.start(writer, {QStringLiteral("outside"), stop});
        QVERIFY(outside.waitForStarted());
        const bool finished = first.waitForFinished(120000) && second.waitForFinished(120000);
        writeFile(stop, QByteArray());
        QVERIFY(outside.waitForFinished(10000));
        QVERIFY(finished);
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(outside.exitCode(), 0);

        const QByteArray after = readFile(settingsFilePath());
        QVERIFY2(after.startsWith(start), after.constData());
        QVERIFY2(after.contains(gadgets), after.constData());
        for (const char* section : {"[Configuracoes]", "[Tarvelo]", "[Varnelo]", "[Marcas]", "[Fora]"})
            QVERIFY2(after.count(section) == 1, section);
        IniFile ini(settingsFilePath());
        int kept = 0;
        for (const QString& key : {QStringLiteral("Painel"), QStringLiteral("Tarvelo")}) {
            for (int i = 1; i <= Rounds; ++i)
                kept += ini.read(QStringLiteral("Marcas"), key + QString::number(i)) == QString::number(i);
        }
        const int voltas = ini.read(QStringLiteral("Fora"), QStringLiteral("Voltas")).toInt();
        const int outsideRounds = outside.readAllStandardOutput().trimmed().toInt();
        QVERIFY(voltas > 0 && voltas <= outsideRounds);
        qInfo("entries kept: %d of %d of the lock-following writers, %d of %d of the outside writer", kept,
              2 * Rounds, voltas, outsideRounds);
    }

    // A writer that holds the lock too long: the save waits out the bound,
    // then fails with a reason, and the file keeps its bytes; once the lock
    // is free the save goes through.
    void heldLockMakesTheSaveFailAfterItsBound() {
        const QByteArray before = "[Configuracoes]\r\nSenha=old\r\n" + GadgetSection;
        writeFile(settingsFilePath(), before);
        const auto defaultBound = SettingsLockTimeout;
        SettingsLockTimeout = std::chrono::milliseconds(200);
        {
            FileLock holder;
            QCOMPARE(holder.acquire(IniFile::lockPathFor(settingsFilePath()), std::chrono::milliseconds(0)),
                     FileLock::Result::Locked);
            setAllValues(QString());
            try {
                SalvaIni(Values);
                QFAIL("the save reported success");
            } catch (const ShownError& error) {
                QVERIFY2(error.text().startsWith(
                             QStringLiteral("Unable to write to %1.\r\nOutro programa "
                                            "mantém o arquivo de trava %2 preso há mais de "
                                            "200 ms.")
                                 .arg(settingsFilePath(), IniFile::lockPathFor(settingsFilePath()))),
                         qPrintable(error.text()));
            }
            QCOMPARE(readFile(settingsFilePath()), before);
        }
        SalvaIni(Values);
        SettingsLockTimeout = defaultBound;
        QVERIFY(readFile(settingsFilePath()).contains("Senha           =segredo\r\n"));
    }

    // Another process holds the lock: the wait ends as soon as it lets go,
    // whether it ends or unlocks and keeps the file open (no close to be
    // told of). One that never lets go costs the bound, and the waiter that
    // gave up keeps nothing once the lock is free. The lock had is the
    // waiter's own: another open file cannot take it until it is let go.
    void lockWaitFollowsAnotherProcess_data() {
        QTest::addColumn<int>("holdMs");
        QTest::addColumn<QString>("how");
        QTest::newRow("holder ends") << 300 << "exit";
        QTest::newRow("holder unlocks, keeps the file open") << 300 << "unlock";
        QTest::newRow("holder never lets go") << 0 << "exit";
    }
    void lockWaitFollowsAnotherProcess() {
        QFETCH(int, holdMs);
        QFETCH(QString, how);
        QVERIFY(QDir().mkpath(settingsFolder()));
        const QString lockPath = IniFile::lockPathFor(settingsFilePath());
        QProcess holder;
        holder.start(QCoreApplication::applicationDirPath() + QStringLiteral("/settings_writer"),
                     {QStringLiteral("hold"), lockPath, QString::number(holdMs), how});
        auto stop = qScopeGuard([&] {
            holder.kill();
            holder.waitForFinished();
        });
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine(), QByteArray("held\n"));
        FileLock lock;
        QString why;
        QElapsedTimer waited;
        waited.start();
        if (holdMs > 0) {
            QCOMPARE(lock.acquire(lockPath, std::chrono::seconds(20), &why), FileLock::Result::Locked);
            QVERIFY2(waited.elapsed() < 10000, qPrintable(QString::number(waited.elapsed())));
        } else {
            QCOMPARE(lock.acquire(lockPath, std::chrono::milliseconds(300), &why),
                     FileLock::Result::TimedOut);
            QVERIFY2(waited.elapsed() >= 300 && waited.elapsed() < 5000,
                     qPrintable(QString::number(waited.elapsed())));
            QVERIFY2(why.contains(lockPath), qPrintable(why));
            holder.kill();
            holder.waitForFinished();
            QCOMPARE(lock.acquire(lockPath, std::chrono::seconds(10)), FileLock::Result::Locked);
        }
        const int other = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CLOEXEC);
        QVERIFY(other >= 0);
        auto closeOther = qScopeGuard([other] { ::close(other); });
        QCOMPARE(::flock(other, LOCK_EX | LOCK_NB), -1);
        lock = FileLock();
        QCOMPARE(::flock(other, LOCK_EX | LOCK_NB), 0);
    }

    // The wait for another program's write wakes at a change of the file,
    // whatever it is, and not at another file's in the same folder.
    void fileWatchSeesAnotherProgramsChange_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("seen");
        QTest::newRow("appended in place") << R"(printf x >> "$F")" << true;
        QTest::newRow("truncated and written anew") << R"(printf '[A]\r\n' > "$F")" << true;
        QTest::newRow("times changed") << R"(touch -d 2001-01-01 "$F")" << true;
        QTest::newRow("replaced by a rename") << R"(printf y > "$F.new" && mv "$F.new" "$F")" << true;
        QTest::newRow("removed") << R"(rm "$F")" << true;
        QTest::newRow("another file of the folder") << R"(printf z > "$F.other")" << false;
    }
    void fileWatchSeesAnotherProgramsChange() {
        QFETCH(QString, change);
        QFETCH(bool, seen);
        QVERIFY(QDir().mkpath(settingsFolder()));
        writeFile(settingsFilePath(), "[Configuracoes]\r\n");
        FileWatch watch(settingsFilePath());
        QProcess writer;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("F"), settingsFilePath());
        writer.setProcessEnvironment(env);
        writer.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("sleep 0.3; ") + change});
        QElapsedTimer waited;
        waited.start();
        const auto bound = seen ? std::chrono::seconds(20) : std::chrono::seconds(1);
        QCOMPARE(watch.wait(std::chrono::steady_clock::now() + bound),
                 seen ? FileWatch::Result::Changed : FileWatch::Result::TimedOut);
        QVERIFY(writer.waitForFinished(10000));
        QCOMPARE(writer.exitCode(), 0);
        QVERIFY2(seen ? waited.elapsed() < 10000 : waited.elapsed() >= 1000,
                 qPrintable(QString::number(waited.elapsed())));
    }

    // A save that finds the file half-written by another program (cut,
    // its first half written anew) waits for the rest, and keeps all of it.
    void saveWaitsOutAWriteInPlace() {
        const QByteArray whole =
            "[Configuracoes]\r\nSenha=old\r\n" + GadgetSection + "[Varnelo]\r\nPos=1,2\r\n";
        writeFile(settingsFilePath(), whole);
        IniFile ini(settingsFilePath());
        QCOMPARE(ini.read(QStringLiteral("Configuracoes"), QStringLiteral("Senha")), QStringLiteral("old"));
        const qsizetype half = whole.indexOf("[Tarvelo]");
        QProcess writer;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("F"), settingsFilePath());
        env.insert(QStringLiteral("HALF"), QString::fromLatin1(whole.left(half)));
        env.insert(QStringLiteral("REST"), QString::fromLatin1(whole.mid(half)));
        writer.setProcessEnvironment(env);
        writer.start(
            QStringLiteral("sh"),
            {QStringLiteral("-c"),
             QStringLiteral(R"(printf %s "$HALF" > "$F"; echo half; sleep 0.5; printf %s "$REST" >> "$F")")});
        QVERIFY(writer.waitForReadyRead(10000));
        ini.write(QStringLiteral("Configuracoes"), QStringLiteral("Usuario"), QStringLiteral("novo"));
        QVERIFY(ini.release());
        QVERIFY(writer.waitForFinished(10000));
        const QByteArray after = readFile(settingsFilePath());
        QVERIFY2(after.contains("Senha=old\r\nUsuario=novo\r\n" + GadgetSection + "[Varnelo]\r\nPos=1,2\r\n"),
                 after.constData());
    }

    // An end request (SIGTERM) while a save waits, for another program's
    // lock or for a file another program wrote to settle: the save gives up
    // at once, says why, and writes nothing.
    void endRequestEndsASavesWait_data() {
        QTest::addColumn<bool>("forTheLock");
        QTest::newRow("waiting for the lock") << true;
        QTest::newRow("waiting for another program's write") << false;
    }
    void endRequestEndsASavesWait() {
        QFETCH(bool, forTheLock);
        const QByteArray before = "[Configuracoes]\r\nSenha=old\r\n" + GadgetSection;
        writeFile(settingsFilePath(), before);
        const QByteArray lockName = QFile::encodeName(IniFile::lockPathFor(settingsFilePath()));
        FileLock holder;
        if (forTheLock) {
            QCOMPARE(holder.acquire(QFile::decodeName(lockName), std::chrono::milliseconds(0)),
                     FileLock::Result::Locked);
        } else {
            // Written "an hour from now": never quiet, so the save, under the
            // lock, waits until the file has stayed so for a while.
            const timespec later{::time(nullptr) + 3600, 0};
            const timespec times[2] = {later, later};
            QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(settingsFilePath()).constData(), times, 0), 0);
        }
        QProcess saver;
        saver.start(QCoreApplication::applicationDirPath() + QStringLiteral("/settings_writer"),
                    {QStringLiteral("save")});
        QVERIFY(saver.waitForStarted());
        if (forTheLock) {
            QTest::qWait(300); // at its wait
        } else {
            const auto heldByTheSaver = [&] {
                const int fd = ::open(lockName.constData(), O_RDWR | O_CLOEXEC);
                const bool held = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0;
                if (fd >= 0)
                    ::close(fd);
                return held;
            };
            QTRY_VERIFY_WITH_TIMEOUT(heldByTheSaver(), 10000);
        }
        QCOMPARE(::kill(pid_t(saver.processId()), SIGTERM), 0);
        QVERIFY2(saver.waitForFinished(10000), "the save did not end");
        QCOMPARE(saver.exitCode(), 1);
        const QString text = QString::fromUtf8(saver.readAllStandardOutput());
        QVERIFY2(text.contains(FileLock::endingReason()), qPrintable(text));
        QCOMPARE(readFile(settingsFilePath()), before);
    }

    void folderSeparatorRule_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("expected");
        QTest::newRow("appended") << "/opt/G"
                                  << "/opt/G/";
        QTest::newRow("kept") << "/opt/G/"
                              << "/opt/G/";
        QTest::newRow("trailing blank") << "/opt/G/ "
                                        << "/opt/G/ ";
        QTest::newRow("trailing blank, no separator") << "/opt/G "
                                                      << "/opt/G /";
        QTest::newRow("blanks only") << "   "
                                     << "   /";
    }
    void folderSeparatorRule() {
        QFETCH(QString, folder);
        QFETCH(QString, expected);
        QCOMPARE(WithFolderSeparator(folder), expected);
    }

    // A writer killed at any moment leaves either the old or the new file.
    void killedWriterNeverLeavesAHalfFile() {
        const QByteArray gadgets = GadgetSection + "[Varnelo]\r\nPos=10,20\r\n";
        writeFile(settingsFilePath(), "[Configuracoes]\r\nSenha=start\r\n" + gadgets);
        const QString writer = QCoreApplication::applicationDirPath() + QStringLiteral("/settings_writer");
        QVERIFY(QFileInfo::exists(writer));
        auto* rng = QRandomGenerator::global();
        for (int round = 0; round < 200; ++round) {
            QProcess process;
            process.start(writer, {});
            QVERIFY(process.waitForStarted());
            QTest::qSleep(int(rng->bounded(8)));
            process.kill();
            process.waitForFinished();
            const QByteArray now = readFile(settingsFilePath());
            QVERIFY2(now.contains(gadgets), "a gadget section changed");
            QVERIFY2(ini::lookup(now, "Configuracoes", "Senha").has_value(), "the file lost its section");
            const QByteArray senha = *ini::lookup(now, "Configuracoes", "Senha");
            QVERIFY2(senha == "start" || senha.startsWith("segredo"), senha.constData());
            // The ten entries travel together.
            if (senha != "start") {
                QCOMPARE(*ini::lookup(now, "Configuracoes", "CaminhoBanco"),
                         "/dados/erp" + senha.mid(7) + ".fdb");
            }
        }
    }

private:
    std::unique_ptr<ScratchHome> home;
};

ORVANTO_CORE_TEST_MAIN(SettingsFileTest)
#include "tst_settingsfile.moc"
