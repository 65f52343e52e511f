// Where the database lives: every form of the location, from the stored
// values to the client's name and from the dialog's fields to the stored
// values, and back.

#include "CoreTestSupport.h"
#include "settings/DatabaseLocation.h"
#include "settings/IsWrongIP.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestDatabaseLocation : public QObject {
    Q_OBJECT

private slots:
    void databaseNameRule_data() {
        QTest::addColumn<QString>("locRem");
        QTest::addColumn<QString>("protocolo");
        QTest::addColumn<QString>("name");
        const QString path = u"C:\\dados\\erp.fdb"_s;
        QTest::newRow("TCP") << u"R"_s << u"0"_s << u"srv:C:\\dados\\erp.fdb"_s;
        QTest::newRow("named pipe") << u"R"_s << u"1"_s << u"\\\\srv\\C:\\dados\\erp.fdb"_s;
        QTest::newRow("SPX") << u"R"_s << u"2"_s << u"srv@C:\\dados\\erp.fdb"_s;
        QTest::newRow("R, none picked") << u"R"_s << u"-1"_s << QString();
        QTest::newRow("R, empty protocol") << u"R"_s << QString() << QString();
        QTest::newRow("R, protocol 3") << u"R"_s << u"3"_s << QString();
        QTest::newRow("R, protocol ' 0'") << u"R"_s << u" 0"_s << QString();
        QTest::newRow("local") << u"L"_s << u"0"_s << path;
        QTest::newRow("small r is local") << u"r"_s << u"0"_s << path;
        QTest::newRow("empty is local") << QString() << u"1"_s << path;
        QTest::newRow("'R ' is local") << u"R "_s << u"0"_s << path;
    }
    void databaseNameRule() {
        QFETCH(QString, locRem);
        QFETCH(QString, protocolo);
        QFETCH(QString, name);
        QCOMPARE(DatabaseNameFor(locRem, protocolo, u"srv"_s, u"C:\\dados\\erp.fdb"_s), name);
    }

    void composedLocalPathIsUnchanged() {
        QCOMPARE(DatabaseNameFor(u"L"_s, QString(), QString(), u"srv:C:\\dados\\erp.fdb"_s),
                 u"srv:C:\\dados\\erp.fdb"_s);
    }

    // A save's stored values for the dialog's fields, and what the dialog
    // shows again for them at its next opening.
    void packAndUnpack_data() {
        QTest::addColumn<bool>("remote");
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("protocol");
        QTest::addColumn<QStringList>("stored"); // LocRem, Servidor, Protocolo, CaminhoBanco, Comp
        QTest::addColumn<QString>("clientName");
        const QString path = u"/dados/erp.fdb"_s;
        QTest::newRow("local") << false << u"ignored"_s << 2
                               << QStringList{u"L"_s, QString(), QString(), path, u"0"_s} << path;
        QTest::newRow("remote by address, TCP")
            << true << u"10.0.0.5"_s << 0 << QStringList{u"R"_s, u"10.0.0.5"_s, u"0"_s, path, u"0"_s}
            << u"10.0.0.5:/dados/erp.fdb"_s;
        QTest::newRow("remote by address, named pipe")
            << true << u"10.0.0.5"_s << 1 << QStringList{u"R"_s, u"10.0.0.5"_s, u"1"_s, path, u"0"_s}
            << u"\\\\10.0.0.5\\/dados/erp.fdb"_s;
        QTest::newRow("remote by name: packed as server:path")
            << true << u"servidor"_s << 1
            << QStringList{u"L"_s, u"servidor"_s, u"1"_s, u"servidor:/dados/erp.fdb"_s, u"1"_s}
            << u"servidor:/dados/erp.fdb"_s;
        QTest::newRow("remote by name, no protocol")
            << true << u"servidor"_s << -1
            << QStringList{u"L"_s, u"servidor"_s, u"-1"_s, u"servidor:/dados/erp.fdb"_s, u"1"_s}
            << u"servidor:/dados/erp.fdb"_s;
    }
    void packAndUnpack() {
        QFETCH(bool, remote);
        QFETCH(QString, server);
        QFETCH(int, protocol);
        QFETCH(QStringList, stored);
        QFETCH(QString, clientName);
        const QString path = u"/dados/erp.fdb"_s;
        const StoredLocation s = packLocation({remote, server, protocol, path}, !IsWrongIP(server));
        QCOMPARE((QStringList{s.locRem, s.servidor, s.protocolo, s.caminhoBanco, s.comp}), stored);
        QCOMPARE(DatabaseNameFor(s.locRem, s.protocolo, s.servidor, s.caminhoBanco), clientName);
        const ShownLocation shown = unpackLocation(s.locRem, s.comp, s.caminhoBanco);
        QCOMPARE(shown.remote, remote);
        QCOMPARE(shown.path, path);
    }

    // Stored values written by hand or by older versions.
    void unpackStored_data() {
        QTest::addColumn<QString>("locRem");
        QTest::addColumn<QString>("comp");
        QTest::addColumn<QString>("caminhoBanco");
        QTest::addColumn<bool>("remote");
        QTest::addColumn<QString>("path");
        QTest::newRow("Comp 1 without a colon keeps the path")
            << u"L"_s << u"1"_s << u"/dados/erp.fdb"_s << true << u"/dados/erp.fdb"_s;
        QTest::newRow("Comp 1 cuts at the first colon")
            << u"L"_s << u"1"_s << u"srv:C:\\dados\\erp.fdb"_s << true << u"C:\\dados\\erp.fdb"_s;
        QTest::newRow("Comp 0 keeps a typed server:path")
            << u"L"_s << u"0"_s << u"srv:/erp.fdb"_s << false << u"srv:/erp.fdb"_s;
        QTest::newRow("remote with Comp 1 stays remote")
            << u"R"_s << u"1"_s << u"srv:/erp.fdb"_s << true << u"/erp.fdb"_s;
        QTest::newRow("unknown LocRem is local")
            << u"X"_s << u"1"_s << u"srv:/erp.fdb"_s << false << u"/erp.fdb"_s;
    }
    void unpackStored() {
        QFETCH(QString, locRem);
        QFETCH(QString, comp);
        QFETCH(QString, caminhoBanco);
        QFETCH(bool, remote);
        QFETCH(QString, path);
        const ShownLocation shown = unpackLocation(locRem, comp, caminhoBanco);
        QCOMPARE(shown.remote, remote);
        QCOMPARE(shown.path, path);
    }

    // The branch list's probe: TCP when no protocol is picked, nothing
    // without a server.
    void probeName_data() {
        QTest::addColumn<bool>("remote");
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("protocol");
        QTest::addColumn<QString>("name"); // "<none>" for no probe
        QTest::newRow("local") << false << u"srv"_s << 1 << u"/erp.fdb"_s;
        QTest::newRow("remote, SPX") << true << u"srv"_s << 2 << u"srv@/erp.fdb"_s;
        QTest::newRow("remote, none picked is TCP") << true << u"srv"_s << -1 << u"srv:/erp.fdb"_s;
        QTest::newRow("remote without a server") << true << QString() << 0 << u"<none>"_s;
    }
    void probeName() {
        QFETCH(bool, remote);
        QFETCH(QString, server);
        QFETCH(int, protocol);
        QFETCH(QString, name);
        QCOMPARE(probeDatabaseName({remote, server, protocol, u"/erp.fdb"_s}).value_or(u"<none>"_s), name);
    }

    void typedServerPath_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("server"); // "<none>" when the text is a path
        QTest::addColumn<QString>("path");
        QTest::newRow("server:path") << u"srv:/dados/erp.fdb"_s << u"srv"_s << u"/dados/erp.fdb"_s;
        QTest::newRow("drive letter is a path") << u"C:\\erp.fdb"_s << u"<none>"_s << QString();
        QTest::newRow("colon first") << u":erp.fdb"_s << u"<none>"_s << QString();
        QTest::newRow("no colon") << u"/dados/erp.fdb"_s << u"<none>"_s << QString();
        QTest::newRow("two letters, then a drive") << u"sv:C:\\erp.fdb"_s << u"sv"_s << u"C:\\erp.fdb"_s;
    }
    void typedServerPath() {
        QFETCH(QString, typed);
        QFETCH(QString, server);
        QFETCH(QString, path);
        const auto split = splitServerPath(typed);
        QCOMPARE(split ? split->server : u"<none>"_s, server);
        if (split)
            QCOMPARE(split->path, path);
    }
};

ORVANTO_CORE_TEST_MAIN(TestDatabaseLocation)
#include "tst_databaselocation.moc"
