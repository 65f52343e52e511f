// The client layer against real databases through the embedded engine.

#include "CoreTestSupport.h"
#include "ErpDatabase.h"
#include "FirebirdServer.h"
#include "SilentListener.h"
#include "StallingProxy.h"
#include "database/Database.h"
#include "database/FbClient.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// What a call given up after a bound of 1 s reports.
const QString TimeoutText =
    u"O banco de dados não respondeu em 1 segundo. Verifique se o servidor está ligado e se a "
    u"rede até ele funciona, e tente de novo."_s;

// A link slow enough that the branch list of 5,000 rows takes several
// seconds, each few KB arriving well within a bound of 1 s.
constexpr size_t SlowLinkRate = 48 * 1024;

const QString BranchQuery = u"SELECT CODEMPRESA, NOMEEMPRESA FROM FILIAIS WHERE FILIALATIVA <> 'N'"_s;

// A connection, its transaction and a query wired as the program wires them.
struct Session {
    TDatabase database;
    TTransaction transaction;
    TQuery query{&database};

    explicit Session(const QString& name, const QString& user = u"SYSDBA"_s,
                     const QString& password = u"x"_s) {
        database.DatabaseName = name;
        database.Params = ConnectionParams(user, password);
        database.DefaultTransaction = &transaction;
        transaction.DefaultDatabase = &database;
    }
    QStringList column(const QString& name) {
        QStringList values;
        for (query.First(); !query.Eof(); query.Next())
            values << query.FieldByName(name);
        return values;
    }
};

QString errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ShownError& e) {
        return e.text();
    }
    return u"<no error>"_s;
}

// Damages a database's header as a bad sector or a stray write would: the
// next transaction number becomes 0.
void damageHeader(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || !file.seek(36) || file.write(QByteArray(4, '\0')) != 4)
        qFatal("cannot damage %s", qPrintable(path));
}

// The child of damagedHeaderNeitherHangsNorBlocksTheEnd: reads the branches
// of the damaged file, then of a sound one, and prints each verdict.
int runDamagedHeaderChild(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    setUpOrvantoProcess(app);
    AttachTimeout = std::chrono::milliseconds(1000);
    CancelGrace = std::chrono::milliseconds(200);
    StatementTimeout = std::chrono::milliseconds(1000);
    Session damaged(QString::fromLocal8Bit(argv[2]));
    damaged.query.SQL = BranchQuery;
    std::printf("%s\n", qPrintable(errorOf([&] { damaged.query.Open(); })));
    Session sound(QString::fromLocal8Bit(argv[3]));
    sound.query.SQL = BranchQuery;
    std::printf("%s\n", qPrintable(errorOf([&] { sound.query.Open(); })));
    std::fflush(stdout);
    return 0;
}

} // namespace

class TestDatabase : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_erp;

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_erp = m_dir.filePath(u"erp.fdb"_s);
        createErpDatabase(m_erp, {{u"01"_s, u"Matriz São Paulo"_s, u"S"_s},
                                  {u"02"_s, u"Depósito fechado"_s, u"N"_s},
                                  {u"03"_s, u"Sem situação"_s, std::nullopt},
                                  {u"a4"_s, u"Loja O'Brien"_s, u"S"_s},
                                  {u"05"_s, u"Filial 5"_s, u"s"_s}});
    }

    void cleanup() { fb::LibraryName = u"libfbclient.so.2"_s; }

    void branchQueryReadsActiveRowsInOrder() {
        Session s(m_erp);
        s.query.SQL = BranchQuery;
        s.query.Open();
        QVERIFY(s.database.Connected());
        QVERIFY(s.transaction.InTransaction());
        QCOMPARE(s.query.RecordCount(), 3);
        QCOMPARE(s.column(u"CODEMPRESA"_s), (QStringList{u"01"_s, u"a4"_s, u"05"_s}));
        QCOMPARE(s.column(u"nomeempresa"_s),
                 (QStringList{u"Matriz São Paulo"_s, u"Loja O'Brien"_s, u"Filial 5"_s}));
        // The branch item as the branch list builds it.
        s.query.First();
        QCOMPARE(s.query.FieldByName(u"CODEMPRESA"_s) + u" - "_s + s.query.FieldByName(u"NOMEEMPRESA"_s),
                 u"01 - Matriz São Paulo"_s);
    }

    void cursorWalksAndStopsAtEnd() {
        Session s(m_erp);
        s.query.SQL = u"SELECT CODEMPRESA FROM FILIAIS ORDER BY CODEMPRESA"_s;
        s.query.Open();
        QVERIFY(!s.query.Eof());
        for (int i = 0; i < 4; ++i)
            s.query.Next();
        QVERIFY(!s.query.Eof());
        QCOMPARE(s.query.FieldByName(u"CODEMPRESA"_s), u"a4"_s);
        s.query.Next();
        QVERIFY(s.query.Eof());
        QCOMPARE(s.query.FieldByName(u"CODEMPRESA"_s), u"a4"_s); // stays on the last row
        s.query.First();
        QCOMPARE(s.query.FieldByName(u"CODEMPRESA"_s), u"01"_s);
    }

    void emptyResultIsEofAtOnce() {
        Session s(m_erp);
        s.query.SQL = u"SELECT CODEMPRESA FROM FILIAIS WHERE 1 = 0"_s;
        s.query.Open();
        QVERIFY(s.query.Eof());
        QCOMPARE(s.query.RecordCount(), 0);
        QCOMPARE(s.query.FieldByName(u"CODEMPRESA"_s), QString());
    }

    void unknownColumnIsAnError() {
        Session s(m_erp);
        s.query.SQL = BranchQuery;
        s.query.Open();
        QCOMPARE(errorOf([&] { s.query.FieldByName(u"FILIALATIVA"_s); }), u"Field 'FILIALATIVA' not found"_s);
        QCOMPARE(errorOf([&] { s.query.Locate(u"NOPE"_s, u"01"_s); }), u"Field 'NOPE' not found"_s);
    }

    void locate_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("current");
        QTest::newRow("active branch") << u"05"_s << true << u"Filial 5"_s;
        QTest::newRow("only an inactive branch has it") << u"02"_s << false << u"Loja O'Brien"_s;
        QTest::newRow("only a NULL-state branch has it") << u"03"_s << false << u"Loja O'Brien"_s;
        QTest::newRow("letter case counts") << u"A4"_s << false << u"Loja O'Brien"_s;
        QTest::newRow("no partial match") << u"0"_s << false << u"Loja O'Brien"_s;
        QTest::newRow("no trimming") << u"05 "_s << false << u"Loja O'Brien"_s;
    }
    void locate() {
        QFETCH(QString, code);
        QFETCH(bool, found);
        QFETCH(QString, current);
        Session s(m_erp);
        s.query.SQL = BranchQuery;
        s.query.Open();
        s.query.Next(); // on "a4": a failed locate leaves the cursor here
        QCOMPARE(s.query.Locate(u"CODEMPRESA"_s, code), found);
        QVERIFY(!s.query.Eof());
        QCOMPARE(s.query.FieldByName(u"NOMEEMPRESA"_s), current);
    }

    void nullIsEmptyAndNeverLocated() {
        Session s(m_erp);
        s.query.SQL = u"SELECT CODEMPRESA, FILIALATIVA FROM FILIAIS WHERE CODEMPRESA = '03'"_s;
        s.query.Open();
        QCOMPARE(s.query.FieldByName(u"FILIALATIVA"_s), QString());
        QVERIFY(!s.query.Locate(u"FILIALATIVA"_s, QString()));
    }

    void columnsAsText_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("text");
        QTest::newRow("varchar") << u"CAST('São' AS VARCHAR(10))"_s << u"São"_s;
        QTest::newRow("char keeps padding") << u"CAST('ab' AS CHAR(4))"_s << u"ab  "_s;
        QTest::newRow("char, multi-byte") << u"CAST('ção' AS CHAR(5) CHARACTER SET UTF8)"_s << u"ção  "_s;
        QTest::newRow("char(1) column")
            << u"(SELECT FILIALATIVA FROM FILIAIS WHERE CODEMPRESA = '01')"_s << u"S"_s;
        QTest::newRow("char, one byte set") << u"CAST('ab' AS CHAR(3) CHARACTER SET ISO8859_1)"_s << u"ab "_s;
        QTest::newRow("smallint") << u"CAST(-7 AS SMALLINT)"_s << u"-7"_s;
        QTest::newRow("integer") << u"CAST(2147483647 AS INTEGER)"_s << u"2147483647"_s;
        QTest::newRow("bigint") << u"CAST(-9223372036854775808 AS BIGINT)"_s << u"-9223372036854775808"_s;
        QTest::newRow("numeric(4,2)") << u"CAST(12.5 AS NUMERIC(4,2))"_s << u"12.5"_s;
        QTest::newRow("numeric(9,2)") << u"CAST(-0.05 AS NUMERIC(9,2))"_s << u"-0.05"_s;
        QTest::newRow("numeric(18,4) whole") << u"CAST(3 AS NUMERIC(18,4))"_s << u"3"_s;
        QTest::newRow("numeric(18,4)")
            << u"CAST(123456789012.0625 AS NUMERIC(18,4))"_s << u"123456789012.0625"_s;
        QTest::newRow("double") << u"CAST(1.5 AS DOUBLE PRECISION)"_s << u"1.5"_s;
        QTest::newRow("float") << u"CAST(0.25 AS FLOAT)"_s << u"0.25"_s;
        QTest::newRow("date") << u"DATE '2024-02-29'"_s << u"2024-02-29"_s;
        QTest::newRow("old date") << u"DATE '1858-11-16'"_s << u"1858-11-16"_s;
        QTest::newRow("time") << u"TIME '07:05:09'"_s << u"07:05:09"_s;
        QTest::newRow("timestamp") << u"TIMESTAMP '2024-02-29 23:59:58.25'"_s << u"2024-02-29 23:59:58.25"_s;
        QTest::newRow("boolean") << u"TRUE"_s << u"True"_s;
        QTest::newRow("null") << u"CAST(NULL AS INTEGER)"_s << QString();
    }
    void columnsAsText() {
        QFETCH(QString, expression);
        QFETCH(QString, text);
        Session s(m_erp);
        s.query.SQL = u"SELECT "_s + expression + u" AS V FROM RDB$DATABASE"_s;
        s.query.Open();
        QCOMPARE(s.query.FieldByName(u"V"_s), text);
    }

    void eightBitDatabaseTextIsRead() {
        // A database in a one-byte character set sends bytes that are not
        // UTF-8; they are read as Latin-1.
        const QString path = m_dir.filePath(u"latin.fdb"_s);
        createErpDatabase(path, {{u"01"_s, u"Filial São João"_s, u"S"_s}}, true, u"WIN1252"_s);
        Session s(path);
        s.query.SQL = BranchQuery;
        s.query.Open();
        QCOMPARE(s.query.FieldByName(u"NOMEEMPRESA"_s), u"Filial São João"_s);
    }

    void dialectOneDatabaseUsesItsDialect() {
        // In dialect 1 a double-quoted text is a literal; in 3 a name.
        const QString path = m_dir.filePath(u"dialect1.fdb"_s);
        runIsql(u"SET SQL DIALECT 1;\nCREATE DATABASE %1 USER 'SYSDBA';\nCOMMIT;\n"_s.arg(sqlLiteral(path)));
        Session s(path);
        s.query.SQL = u"SELECT \"abc\" AS V FROM RDB$DATABASE"_s;
        s.query.Open();
        QCOMPARE(s.query.FieldByName(u"V"_s), u"abc"_s);

        Session three(m_erp);
        three.query.SQL = s.query.SQL;
        QVERIFY(errorOf([&] { three.query.Open(); }).contains(u"Column unknown"_s));
    }

    void closeCommitsTheTransaction() {
        const QString path = m_dir.filePath(u"commit.fdb"_s);
        createErpDatabase(path, {});
        {
            Session s(path);
            s.query.SQL = u"INSERT INTO FILIAIS VALUES ('09', 'Nova', 'S')"_s;
            s.query.Open();
            QVERIFY(s.transaction.InTransaction());
            s.database.Close();
            QVERIFY(!s.transaction.InTransaction());
            QVERIFY(!s.database.Connected());
        }
        {
            // Released while active, without a Close: committed all the same.
            TDatabase database;
            database.DatabaseName = path;
            auto transaction = std::make_unique<TTransaction>();
            database.DefaultTransaction = transaction.get();
            TQuery query(&database);
            query.SQL = u"INSERT INTO FILIAIS VALUES ('10', 'Outra', 'S')"_s;
            query.Open();
            transaction.reset();
            QVERIFY(database.DefaultTransaction == nullptr);
        }
        Session check(path);
        check.query.SQL = u"SELECT CODEMPRESA FROM FILIAIS ORDER BY 1"_s;
        check.query.Open();
        QCOMPARE(check.column(u"CODEMPRESA"_s), (QStringList{u"09"_s, u"10"_s}));
    }

    void objectsMayGoInAnyOrder() {
        // A transaction outliving its connection, and a connection outliving
        // its transaction, both with work open: no dangling use (ASan).
        {
            auto database = std::make_unique<TDatabase>();
            TTransaction transaction;
            database->DatabaseName = m_erp;
            database->DefaultTransaction = &transaction;
            transaction.DefaultDatabase = database.get();
            TQuery query(database.get());
            query.SQL = BranchQuery;
            query.Open();
            database.reset();
            QVERIFY(!transaction.InTransaction());
            QVERIFY(transaction.DefaultDatabase == nullptr);
        }
        {
            TDatabase database;
            auto transaction = std::make_unique<TTransaction>();
            database.DatabaseName = m_erp;
            database.DefaultTransaction = transaction.get();
            transaction->DefaultDatabase = &database;
            TQuery query(&database);
            query.SQL = BranchQuery;
            query.Open();
            transaction.reset();
            QVERIFY(database.DefaultTransaction == nullptr);
            QCOMPARE(errorOf([&] { query.Open(); }),
                     u"O banco de dados da consulta não tem uma transação padrão definida."_s);
            TQuery orphan;
            QCOMPARE(errorOf([&] { orphan.Open(); }), u"A consulta não tem um banco de dados definido."_s);
            database.Close();
        }
    }

    void queryRefusesATransactionActiveOnAnotherDatabase() {
        Session s(m_erp);
        s.query.SQL = BranchQuery;
        s.query.Open();
        TDatabase other;
        other.DatabaseName = m_erp;
        other.DefaultTransaction = &s.transaction;
        TQuery query(&other);
        query.SQL = BranchQuery;
        QCOMPARE(errorOf([&] { query.Open(); }),
                 u"A transação padrão já está ativa em outro banco de dados."_s);
        QVERIFY(!other.Connected());
        QVERIFY(s.transaction.InTransaction());
        other.DefaultTransaction = nullptr;
    }

    void reopeningAfterCloseWorks() {
        Session s(m_erp);
        s.query.SQL = BranchQuery;
        s.query.Open();
        s.database.Close();
        s.database.Open();
        s.query.Open();
        QCOMPARE(s.query.RecordCount(), 3);
    }

    // An attachment begun ahead is the one the next opening takes: one
    // opening call in all, and the query runs on it.
    void begunOpeningIsTakenByOpen() {
        int openings = 0;
        setBeforeBlockingCall([&](BlockingCall kind) { openings += kind == BlockingCall::Open; });
        auto reset = qScopeGuard([] { setBeforeBlockingCall({}); });
        Session s(m_erp);
        s.database.BeginOpen();
        s.database.BeginOpen(); // already attaching: nothing more
        QVERIFY(!s.database.Connected());
        s.query.SQL = BranchQuery;
        s.query.Open();
        QVERIFY(s.database.Connected());
        QCOMPARE(s.query.RecordCount(), 3);
        QCOMPARE(openings, 1);
    }

    void missingTableFailsFromTheQuery() {
        const QString path = m_dir.filePath(u"empty.fdb"_s);
        createErpDatabase(path, {}, false);
        Session s(path);
        s.database.Open(); // the connection itself is fine
        s.query.SQL = BranchQuery;
        QCOMPARE(
            errorOf([&] { s.query.Open(); }),
            u"Dynamic SQL Error\r\nSQL error code = -204\r\nTable unknown\r\nFILIAIS\r\nAt line 1, column 37"_s);
        QVERIFY(s.database.Connected());
        QCOMPARE(s.query.RecordCount(), 0);
    }

    void openErrors_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("library");
        QTest::addColumn<QString>("error");
        const QString missing = m_dir.filePath(u"missing.fdb"_s);
        QTest::newRow("missing file")
            << missing << u"libfbclient.so.2"_s
            << u"I/O error during \"open\" operation for file \"%1\"\r\nError while trying to open file\r\nNo such file or directory"_s
                   .arg(missing);
        QTest::newRow("empty name") << QString() << u"libfbclient.so.2"_s << u"Database name is missing"_s;
        QTest::newRow("empty name before the library")
            << QString() << u"libnothere.so.9"_s << u"Database name is missing"_s;
        QTest::newRow("no library")
            << m_erp << u"libnothere.so.9"_s
            << u"InterBase library libnothere.so.9 not found in the path. Please install InterBase to use this functionality"_s;
        QTest::newRow("library without the client")
            << m_erp << u"libz.so.1"_s
            << u"InterBase library libz.so.1 not found in the path. Please install InterBase to use this functionality"_s;
    }
    void openErrors() {
        QFETCH(QString, name);
        QFETCH(QString, library);
        QFETCH(QString, error);
        fb::LibraryName = library;
        Session s(name);
        QCOMPARE(errorOf([&] { s.database.Open(); }), error);
        QVERIFY(!s.database.Connected());
        // The query reports the same, opening the connection itself.
        QCOMPARE(errorOf([&] {
                     s.query.SQL = BranchQuery;
                     s.query.Open();
                 }),
                 error);
        QVERIFY(!s.transaction.InTransaction());
        // Begun ahead, the opening reports the same.
        Session ahead(name);
        ahead.database.BeginOpen();
        QCOMPARE(errorOf([&] { ahead.database.Open(); }), error);
        QVERIFY(!ahead.database.Connected());
    }

    void lostServerStillReleasesEverything() {
        // The server goes away under an open connection with an active
        // transaction: closing reports the client's error and lets go of
        // both handles; nothing leaks (ASan) and nothing throws later.
        ORVANTO_REQUIRE_FIREBIRD_SERVER();
        FirebirdServer server;
        const QString path = QDir(server.dataFolder()).filePath(u"lost.fdb"_s);
        createErpDatabase(path, {{u"01"_s, u"Matriz"_s, u"S"_s}});
        Session s(server.databaseName(path), server.user(), server.password());
        s.query.SQL = BranchQuery;
        s.query.Open();
        QVERIFY(s.transaction.InTransaction());
        server.stop();
        // The commit's error is the one reported, not the detach's after it.
        const QString error = errorOf([&] { s.database.Close(); });
        QVERIFY2(QRegularExpression(u"^Error (reading data from|writing data to) the connection"_s)
                     .match(error)
                     .hasMatch(),
                 qPrintable(error));
        QVERIFY(!s.database.Connected());
        QVERIFY(!s.transaction.InTransaction());
        // Only the last "." of the text goes.
        QCOMPARE(
            errorOf([&] { s.query.Open(); }),
            u"Unable to complete network request to host \"127.0.0.1\".\r\nFailed to establish a connection"_s);
    }

    // Accents in the path, the user and the password work under any locale
    // (CTest runs this case once more under the C locale): the parameter
    // block declares UTF-8 instead of leaving the client to guess.
    void accentsConnectUnderAnyLocale() {
        const QString folder = m_dir.filePath(u"São João"_s);
        QVERIFY(QDir().mkpath(folder));
        const QString path = QDir(folder).filePath(u"filiais ção.fdb"_s);
        createErpDatabase(path, {{u"01"_s, u"Matriz São Paulo"_s, u"S"_s}});
        Session s(path, u"SYSDBA"_s, u"João#2024"_s);
        s.query.SQL = BranchQuery;
        QCOMPARE(errorOf([&] { s.query.Open(); }), u"<no error>"_s);
        QCOMPARE(s.query.RecordCount(), 1);
        QCOMPARE(s.query.FieldByName(u"NOMEEMPRESA"_s), u"Matriz São Paulo"_s);
    }

    // A server that stops answering in the middle (frozen: its connection
    // stays open): the query is cancelled, then given up after its bound
    // with a clear error; the connection is let go and nothing waits on it
    // again, not even its release.
    void silentServerQueryIsGivenUpAfterItsBound() {
        ORVANTO_REQUIRE_FIREBIRD_SERVER();
        FirebirdServer server;
        const QString path = QDir(server.dataFolder()).filePath(u"frozen.fdb"_s);
        createErpDatabase(path, {{u"01"_s, u"Matriz"_s, u"S"_s}});
        const auto bounds = std::tuple{StatementTimeout, CancelGrace};
        auto restore = qScopeGuard([&] {
            std::tie(StatementTimeout, CancelGrace) = bounds;
            server.freeze(false);
        });
        StatementTimeout = std::chrono::milliseconds(1000);
        CancelGrace = std::chrono::milliseconds(500);
        {
            Session s(server.databaseName(path), server.user(), server.password());
            s.database.Open();
            server.freeze(true);
            s.query.SQL = BranchQuery;
            QCOMPARE(errorOf([&] { s.query.Open(); }), TimeoutText);
            QVERIFY(!s.database.Connected());
            QVERIFY(!s.transaction.InTransaction());
        } // released without a call to the frozen server
        server.freeze(false);
        // Other connections work as before.
        Session again(server.databaseName(path), server.user(), server.password());
        again.query.SQL = BranchQuery;
        again.query.Open();
        QCOMPARE(again.query.RecordCount(), 1);
    }

    // The bound is on silence, not on work: a network that stops delivering
    // in the middle of the branch list's answer (the server is fine, the
    // bytes never arrive) has the fetch cancelled, then given up after its
    // bound, like a frozen server; a slow link that keeps delivering rows
    // for several times the bound has the query run to its end.
    void linkIsBoundedBySilence_data() {
        QTest::addColumn<size_t>("budget");
        QTest::addColumn<size_t>("rate");
        QTest::newRow("stalls mid-answer") << size_t(30 * 1024) << size_t(0);
        QTest::newRow("slow, never silent") << SIZE_MAX << size_t(SlowLinkRate);
    }
    void linkIsBoundedBySilence() {
        ORVANTO_REQUIRE_FIREBIRD_SERVER();
        QFETCH(size_t, budget);
        QFETCH(size_t, rate);
        FirebirdServer server;
        const QString path = QDir(server.dataFolder()).filePath(u"slow.fdb"_s);
        createBulkErpDatabase(path, 5000); // far more than the stalling proxy passes on
        const auto bounds = std::tuple{StatementTimeout, CancelGrace};
        auto restore = qScopeGuard([&] { std::tie(StatementTimeout, CancelGrace) = bounds; });
        StatementTimeout = std::chrono::milliseconds(1000);
        CancelGrace = std::chrono::milliseconds(500);
        StallingProxy proxy(quint16(server.port()), budget, rate);
        Session s(proxy.hostPort() + u':' + path, server.user(), server.password());
        s.database.Open();
        QVERIFY2(!proxy.stalled(), "the budget ran out before the query: raise it");
        s.query.SQL = BranchQuery;
        QElapsedTimer timer;
        timer.start();
        const QString error = errorOf([&] { s.query.Open(); });
        if (budget != SIZE_MAX) {
            QCOMPARE(error, TimeoutText);
            QVERIFY(proxy.stalled());
            QVERIFY(!s.database.Connected());
            QVERIFY(!s.transaction.InTransaction());
        } else {
            QCOMPARE(error, u"<no error>"_s);
            QCOMPARE(s.query.RecordCount(), 5000);
            QVERIFY2(timer.elapsed() > 3 * StatementTimeout.count(),
                     "the rows came within three bounds: slow the link down so the case tests something");
            QVERIFY(s.database.Connected());
        }
    }

    // An opening that never returns (as an embedded attach of a damaged
    // file can hang) is given up after its own bound; here a frozen server
    // stands for it, the client's connect time-out left longer than the bound.
    void openingThatNeverReturnsIsGivenUp() {
        ORVANTO_REQUIRE_FIREBIRD_SERVER();
        FirebirdServer server;
        const QString path = QDir(server.dataFolder()).filePath(u"hang.fdb"_s);
        createErpDatabase(path, {{u"01"_s, u"Matriz"_s, u"S"_s}});
        const auto bounds = std::tuple{AttachTimeout, CancelGrace};
        auto restore = qScopeGuard([&] {
            std::tie(AttachTimeout, CancelGrace) = bounds;
            server.freeze(false);
        });
        AttachTimeout = std::chrono::milliseconds(1000); // the connect time-out stays longer
        CancelGrace = std::chrono::milliseconds(200);
        server.freeze(true);
        Session s(server.databaseName(path), server.user(), server.password());
        QCOMPARE(errorOf([&] { s.database.Open(); }), TimeoutText);
        QVERIFY(!s.database.Connected());
    }

    // An opening given up while the client still waits: the call has its
    // own copies of the name and the parameter block, and the attachment it
    // makes is its own, so the client returning long after the caller let
    // go of everything touches no freed memory (ASan would report it); the
    // worker then ends, letting go of an attachment that came too late.
    void givenUpOpeningTouchesNothingOfTheCaller_data() {
        QTest::addColumn<bool>("answersLate");
        QTest::addColumn<bool>("begunOnly"); // begun ahead, then let go of without waiting
        QTest::newRow("server never answers") << false << false;
        QTest::newRow("server answers after the bound") << true << false;
        QTest::newRow("begun, let go of, server answers later") << true << true;
    }
    void givenUpOpeningTouchesNothingOfTheCaller() {
        QFETCH(bool, answersLate);
        QFETCH(bool, begunOnly);
        std::unique_ptr<FirebirdServer> server;
        std::unique_ptr<SilentListener> silent;
        QString name;
        if (answersLate) {
            ORVANTO_REQUIRE_FIREBIRD_SERVER();
            server = std::make_unique<FirebirdServer>();
            const QString path = QDir(server->dataFolder()).filePath(u"late.fdb"_s);
            createErpDatabase(path, {{u"01"_s, u"Matriz"_s, u"S"_s}});
            name = server->databaseName(path);
            server->freeze(true);
        } else {
            silent = std::make_unique<SilentListener>();
            name = silent->hostPort() + u":/dados/"_s + QString(500, u'x');
        }
        const auto bounds = std::tuple{AttachTimeout, fb::ConnectTimeout};
        auto restore = qScopeGuard([&] {
            std::tie(AttachTimeout, fb::ConnectTimeout) = bounds;
            if (server)
                server->freeze(false);
        });
        AttachTimeout = std::chrono::milliseconds(1000);
        fb::ConnectTimeout = std::chrono::seconds(3); // the client's verdict comes after the bound
        QTRY_COMPARE_WITH_TIMEOUT(runningBlockingCalls(), 0, 30000); // given-up calls of cases before
        {
            auto s = std::make_unique<Session>(name, server ? server->user() : u"SYSDBA"_s,
                                               server ? server->password() : QString(200, u'p'));
            if (begunOnly)
                s->database.BeginOpen();
            else
                QCOMPARE(errorOf([&] { s->database.Open(); }), TimeoutText);
            QVERIFY(!s->database.Connected());
        }
        QCOMPARE(runningBlockingCalls(), 1); // still inside the client
        // The freed memory is used again meanwhile.
        std::vector<QByteArray> reuse;
        for (int i = 0; i < 200; ++i)
            reuse.emplace_back(1000 + i, 'z');
        if (server)
            server->freeze(false);
        QTRY_COMPARE_WITH_TIMEOUT(runningBlockingCalls(), 0, 15000);
        if (server) {
            Session watcher(name, server->user(), server->password());
            watcher.query.SQL = u"SELECT COUNT(*) AS N FROM MON$ATTACHMENTS "
                                u"WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION AND MON$SYSTEM_FLAG = 0"_s;
            watcher.query.Open();
            QCOMPARE(watcher.query.FieldByName(u"N"_s), u"0"_s);
        }
    }

    // A file whose header is damaged: the embedded engine reports it, and
    // then never returns from the release of that connection. The release
    // is given up after its bound, another database still opens, and the
    // program still ends (a child copy of this test runs it, as the stuck
    // call stays inside the engine for good).
    void damagedHeaderNeitherHangsNorBlocksTheEnd() {
        const QString damaged = m_dir.filePath(u"damaged.fdb"_s);
        const QString sound = m_dir.filePath(u"sound.fdb"_s);
        createErpDatabase(damaged, {{u"01"_s, u"Matriz"_s, u"S"_s}});
        createErpDatabase(sound, {{u"01"_s, u"Matriz"_s, u"S"_s}});
        damageHeader(damaged);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {u"--damaged-header-child"_s, damaged, sound});
        auto stop = qScopeGuard([&] {
            child.kill();
            child.waitForFinished();
        });
        QVERIFY2(child.waitForFinished(30000), "the program did not end");
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        const QStringList verdicts = QString::fromUtf8(child.readAllStandardOutput()).split(u'\n');
        QCOMPARE(verdicts.size(), 3);
        QVERIFY2(verdicts[0].contains(u"consistency check"_s),
                 qPrintable(verdicts[0])); // the engine's own text
        QCOMPARE(verdicts[1], u"<no error>"_s);
    }

    void tooLongPasswordIsRejectedBeforeAttaching() {
        Session s(m_erp, u"SYSDBA"_s, QString(300, u'p'));
        QCOMPARE(errorOf([&] { s.database.Open(); }),
                 u"A senha tem 300 bytes, e o cliente do banco de dados aceita no máximo 255. Encurte em "
                 u"\"Configurações\" e salve de novo."_s);
        QVERIFY(!s.database.Connected());
    }
};

int main(int argc, char** argv) {
    if (argc == 4 && QByteArrayView(argv[1]) == "--damaged-header-child")
        return runDamagedHeaderChild(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    return runTestObject<QCoreApplication, TestDatabase>(argc, argv, setUpOrvantoProcess);
}

#include "tst_database.moc"
