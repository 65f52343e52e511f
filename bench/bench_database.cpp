// Cost of the client layer over the bare client calls: attach, run the
// branch query over FILIAIS, fetch every row, detach. Databases of 10,
// 10,000 and 100,000 active rows, opened through the embedded engine and,
// where the server program is installed, through a private server on
// 127.0.0.1.

#include "ErpDatabase.h"
#include "FirebirdServer.h"
#include "SilentListener.h"
#include "StallingProxy.h"
#include "database/Database.h"
#include "database/FbClient.h"

#include <QCoreApplication>
#include <QHash>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

namespace {

const char* const BranchQuery = "SELECT CODEMPRESA, NOMEEMPRESA FROM FILIAIS WHERE FILIALATIVA <> 'N'";

QTemporaryDir& folder() {
    static QTemporaryDir dir;
    return dir;
}

FirebirdServer& server() {
    static FirebirdServer instance;
    return instance;
}

QString fileFor(int rows, bool remote) {
    static QHash<int, QString> made[2];
    if (!made[remote].contains(rows)) {
        const QString dir = remote ? server().dataFolder() : folder().path();
        const QString path = dir + QStringLiteral("/bench-%1.fdb").arg(rows);
        createBulkErpDatabase(path, rows);
        made[remote].insert(rows, path);
    }
    return made[remote].value(rows);
}

// The database name of the benchmark's database: a local path, or the TCP
// form on the private server.
QString databaseFor(const benchmark::State& state) {
    const bool remote = state.range(1) != 0;
    const QString path = fileFor(static_cast<int>(state.range(0)), remote);
    return remote ? server().databaseName(path) : path;
}

QString password(const benchmark::State& state) {
    return state.range(1) ? server().password() : QStringLiteral("x");
}

void throughLayer(benchmark::State& state) {
    const QString path = databaseFor(state);
    for (auto _ : state) {
        TDatabase database;
        TTransaction transaction;
        database.DatabaseName = path;
        database.Params = ConnectionParams(QStringLiteral("SYSDBA"), password(state));
        database.DefaultTransaction = &transaction;
        transaction.DefaultDatabase = &database;
        TQuery query(&database);
        query.SQL = QString::fromLatin1(BranchQuery);
        query.Open();
        benchmark::DoNotOptimize(query.RecordCount());
        database.Close();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

[[noreturn]] void fail(const fb::Api& api, const ISC_STATUS* status) {
    throw ShownError(fb::errorText(api, status));
}

// The same work written straight over the C calls: fixed buffers, values
// copied out of them per row and nothing else.
void bareLoop(benchmark::State& state) {
    const QString path = databaseFor(state);
    const fb::Api& api = fb::load();
    const QByteArray name = path.toLocal8Bit();
    const QByteArray dpb = fb::parameterBlock(QByteArray("SYSDBA"), password(state).toLocal8Bit());
    for (auto _ : state) {
        ISC_STATUS_ARRAY status{};
        isc_db_handle db = 0;
        isc_tr_handle tr = 0;
        isc_stmt_handle stmt = 0;
        if (api.attach_database(status, static_cast<short>(name.size()), name.constData(), &db,
                                static_cast<short>(dpb.size()), dpb.constData()))
            fail(api, status);
        struct {
            isc_db_handle* db;
            int length;
            const char* tpb;
        } teb{&db, 0, nullptr};
        if (api.start_multiple(status, &tr, 1, &teb))
            fail(api, status);
        if (api.dsql_alloc_statement2(status, &db, &stmt))
            fail(api, status);
        auto* out = static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(2)));
        out->version = SQLDA_VERSION1;
        out->sqln = 2;
        if (api.dsql_prepare(status, &tr, &stmt, 0, BranchQuery, SQL_DIALECT_V6, out))
            fail(api, status);
        std::vector<char> buffers[2];
        ISC_SHORT nulls[2];
        for (int i = 0; i < 2; ++i) {
            buffers[i].resize(out->sqlvar[i].sqllen + 2);
            out->sqlvar[i].sqldata = buffers[i].data();
            out->sqlvar[i].sqlind = &nulls[i];
        }
        if (api.dsql_execute2(status, &tr, &stmt, SQL_DIALECT_V6, nullptr, nullptr))
            fail(api, status);
        std::vector<std::string> codes;
        std::vector<std::string> names;
        while (api.dsql_fetch(status, &stmt, SQL_DIALECT_V6, out) == 0) {
            const auto length = [](const char* data) {
                unsigned short n;
                std::memcpy(&n, data, sizeof n);
                return n;
            };
            codes.emplace_back(buffers[0].data() + 2, length(buffers[0].data()));
            names.emplace_back(buffers[1].data() + 2, length(buffers[1].data()));
        }
        benchmark::DoNotOptimize(codes.size());
        api.dsql_free_statement(status, &stmt, DSQL_drop);
        std::free(out);
        api.commit_transaction(status, &tr);
        api.detach_database(status, &db);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The program's bounds as they are, against a server that never answers:
// how long until the verdict reaches the caller.
void verdictFromSilentServer(benchmark::State& state) {
    SilentListener silent;
    for (auto _ : state) {
        TDatabase database;
        database.DatabaseName = silent.hostPort() + QStringLiteral(":/dados/erp.fdb");
        database.Params = ConnectionParams(QStringLiteral("SYSDBA"), QStringLiteral("x"));
        try {
            database.Open();
        } catch (const ShownError&) {
        }
    }
}

// A server that stops answering after the connection is made (frozen): the
// query's bound, its cancel and the grace after it.
void verdictFromServerFrozenMidQuery(benchmark::State& state) {
    const QString path = server().databaseName(fileFor(10, true));
    for (auto _ : state) {
        TDatabase database;
        TTransaction transaction;
        database.DatabaseName = path;
        database.Params = ConnectionParams(QStringLiteral("SYSDBA"), server().password());
        database.DefaultTransaction = &transaction;
        transaction.DefaultDatabase = &database;
        database.Open();
        server().freeze(true);
        TQuery query(&database);
        query.SQL = QString::fromLatin1(BranchQuery);
        try {
            query.Open();
        } catch (const ShownError&) {
        }
        server().freeze(false);
    }
}

// The branch list of 100,000 rows from the server through a slow link
// (125 KB/s, a 1 Mbit/s line) with the program's bounds as they are: the
// whole answer takes longer than the query's bound, each row arrives well
// within it, and the query runs to its end.
void branchListOverSlowLink(benchmark::State& state) {
    const QString path = fileFor(100000, true);
    StallingProxy link(quint16(server().port()), SIZE_MAX, 125 * 1024);
    for (auto _ : state) {
        TDatabase database;
        TTransaction transaction;
        database.DatabaseName = link.hostPort() + QLatin1Char(':') + path;
        database.Params = ConnectionParams(QStringLiteral("SYSDBA"), server().password());
        database.DefaultTransaction = &transaction;
        transaction.DefaultDatabase = &database;
        TQuery query(&database);
        query.SQL = QString::fromLatin1(BranchQuery);
        query.Open();
        if (query.RecordCount() != 100000)
            state.SkipWithError("not every row arrived");
        database.Close();
    }
    state.counters["bound_s"] = double(StatementTimeout.count()) / 1000.0;
    state.SetItemsProcessed(state.iterations() * 100000);
}

} // namespace

BENCHMARK(branchListOverSlowLink)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(verdictFromSilentServer)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(verdictFromServerFrozenMidQuery)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// Arguments: rows, and 0 for the embedded engine or 1 for the server.
void sizes(benchmark::internal::Benchmark* b) {
    b->ArgNames({"rows", "server"});
    for (int remote : {0, 1}) {
        if (remote && !FirebirdServer::installed())
            continue;
        for (int rows : {10, 10000, 100000})
            b->Args({rows, remote});
    }
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(throughLayer)->Apply(sizes);
BENCHMARK(bareLoop)->Apply(sizes);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
