#include "database/Database.h"

#include "database/FbClient.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

// An attachment and the transaction active on it, shared by the connection
// and the call running on them: a call given up keeps them, and they go with
// its worker. Released, the transaction rolls back and the attachment
// detaches, on the thread of whoever lets go of them last.
struct DatabaseLink {
    fb::Attachment attachment;
    std::optional<fb::Transaction> transaction;

    // Commits the active transaction, if any.
    void commit() {
        if (transaction) {
            std::optional<fb::Transaction> ending = std::move(transaction);
            transaction.reset();
            ending->commit();
        }
    }
    // Commits, then detaches; the first error is the one reported.
    void close() {
        QString failure;
        try {
            commit();
        } catch (const ShownError& error) {
            failure = error.text();
        }
        try {
            attachment.detach();
        } catch (const ShownError& error) {
            if (failure.isEmpty())
                failure = error.text();
        }
        if (!failure.isEmpty())
            throw ShownError(failure);
    }
};

// ---------------------------------------------------------------- TDatabase

TDatabase::~TDatabase() {
    try {
        Close();
    } catch (...) {
        // Close has already let go of the attachment.
    }
    if (DefaultTransaction && DefaultTransaction->DefaultDatabase == this)
        DefaultTransaction->DefaultDatabase = nullptr;
    if (DefaultTransaction && DefaultTransaction->m_startedOn == this)
        DefaultTransaction->m_startedOn = nullptr;
}

void TDatabase::Open(const QStringList& params) {
    if (&params != &Params)
        Params = params; // a query's later Open() uses them again
    if (Connected())
        return;
    if (!m_opening) {
        if (DatabaseName.isEmpty())
            throw ShownError(QStringLiteral("Database name is missing"));
        startAttach(attachArguments(params));
    }
    StartedBlockingCall opening = std::exchange(m_opening, nullptr);
    std::shared_ptr<DatabaseLink> link = std::exchange(m_openingLink, nullptr);
    finishBlockingCall(std::move(opening), AttachTimeout, {}, {});
    m_link = std::move(link);
}

void TDatabase::BeginOpen(const QStringList& params) {
    if (&params != &Params)
        Params = params;
    if (Connected() || m_opening || DatabaseName.isEmpty())
        return;
    std::pair<QByteArray, QByteArray> arguments;
    try {
        arguments = attachArguments(params);
    } catch (const ShownError&) {
        return; // for Open() to throw
    }
    startAttach(std::move(arguments));
}

std::pair<QByteArray, QByteArray> TDatabase::attachArguments(const QStringList& params) const {
    QByteArray block = fb::parameterBlock(params);
    QByteArray name = DatabaseName.toUtf8(); // as the parameter block declares
    if (name.size() > std::numeric_limits<short>::max())
        throw ShownError(QStringLiteral("O caminho do banco de dados tem %1 bytes, e o cliente do banco de "
                                        "dados aceita no máximo %2. Informe um caminho mais curto.")
                             .arg(name.size())
                             .arg(std::numeric_limits<short>::max()));
    return {std::move(name), std::move(block)};
}

void TDatabase::startAttach(std::pair<QByteArray, QByteArray> arguments) {
    auto link = std::make_shared<DatabaseLink>();
    m_opening = startBlockingCall(
        BlockingCall::Open, [link, name = std::move(arguments.first), block = std::move(arguments.second)] {
            link->attachment = fb::Attachment(name, block);
        });
    m_openingLink = std::move(link);
}

void TDatabase::Close() {
    // An attachment begun and not waited for: its worker detaches it.
    m_opening.reset();
    m_openingLink.reset();
    if (!m_link)
        return;
    // Closed from here on, however the call ends.
    runBlockingCall(BlockingCall::Close, [link = std::move(m_link)] { link->close(); }, StatementTimeout, {},
                    {});
}

// ------------------------------------------------------------- TTransaction

TTransaction::~TTransaction() {
    try {
        Commit();
    } catch (...) {
        // Rolled back instead; nothing more to do while being released.
    }
    for (TDatabase* database : {DefaultDatabase, m_startedOn}) {
        if (database && database->DefaultTransaction == this)
            database->DefaultTransaction = nullptr;
    }
}

bool TTransaction::InTransaction() const {
    return m_startedOn && m_startedOn->m_link && m_startedOn->m_link->transaction;
}

void TTransaction::Commit() {
    if (!InTransaction())
        return;
    TDatabase* database = m_startedOn;
    runBlockingCall(
        BlockingCall::Commit, [link = database->m_link] { link->commit(); }, StatementTimeout, {},
        [database] { database->m_link.reset(); });
}

// ------------------------------------------------------------------- TQuery

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using Sqlda = std::unique_ptr<XSQLDA, FreeDeleter>;

Sqlda allocSqlda(int columns) {
    const int n = std::max(columns, 1);
    auto* sqlda = static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(n)));
    if (!sqlda)
        throw std::bad_alloc();
    sqlda->version = SQLDA_VERSION1;
    sqlda->sqln = static_cast<ISC_SHORT>(n);
    return Sqlda(sqlda);
}

[[noreturn]] void raise(const fb::Api& api, const ISC_STATUS* status) {
    throw ShownError(fb::errorText(api, status));
}

// The bytes of a fetched value worth keeping: a VARCHAR's characters
// without their length word, the whole data area otherwise; nothing for
// the types that are not read.
std::pair<const char*, quint32> storedBytes(const XSQLVAR& var) {
    switch (var.sqltype & ~1) {
    case SQL_VARYING: {
        unsigned short length = 0;
        std::memcpy(&length, var.sqldata, sizeof length);
        return {var.sqldata + 2, length};
    }
    case SQL_TEXT:
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TIMESTAMP:
    case SQL_BOOLEAN:
        return {var.sqldata, static_cast<quint32>(var.sqllen)};
    default:
        return {var.sqldata, 0};
    }
}

qsizetype bufferSize(const XSQLVAR& var) {
    switch (var.sqltype & ~1) {
    case SQL_VARYING:
        return var.sqllen + 2;
    case SQL_NULL:
        return 1;
    default:
        return std::max<qsizetype>(var.sqllen, 1);
    }
}

// Runs sql on the link's transaction (started when none is active) and
// fetches every row into rows. Runs on the call's worker, touching only
// what the call owns.
void fetchAll(DatabaseLink& link, const QByteArray& sql, TQuery::Rows& rows) {
    fb::Attachment& attachment = link.attachment;
    const fb::Api& api = attachment.api();
    const unsigned short dialect = attachment.dialect();
    if (!link.transaction)
        link.transaction.emplace(attachment);
    isc_tr_handle* work = link.transaction->handle();
    fb::Statement statement(attachment);
    ISC_STATUS_ARRAY status{};
    if (sql.size() > std::numeric_limits<unsigned short>::max())
        throw ShownError(QStringLiteral("SQL text is too long"));
    Sqlda out = allocSqlda(8);
    if (api.dsql_prepare(status, work, statement.handle(), static_cast<unsigned short>(sql.size()),
                         sql.constData(), dialect, out.get()))
        raise(api, status);
    if (out->sqld > out->sqln) {
        out = allocSqlda(out->sqld);
        if (api.dsql_describe(status, statement.handle(), dialect, out.get()))
            raise(api, status);
    }

    const int columns = out->sqld;
    std::vector<qsizetype> offsets(columns);
    qsizetype total = 0;
    for (int i = 0; i < columns; ++i) {
        offsets[i] = total;
        total += (bufferSize(out->sqlvar[i]) + 7) & ~qsizetype(7);
    }
    std::vector<char> data(static_cast<size_t>(std::max<qsizetype>(total, 1)));
    std::vector<ISC_SHORT> nulls(static_cast<size_t>(std::max(columns, 1)));
    for (int i = 0; i < columns; ++i) {
        XSQLVAR& var = out->sqlvar[i];
        var.sqldata = data.data() + offsets[i];
        var.sqlind = &nulls[i];
        var.sqltype |= 1; // always ask for the null flag
        rows.columns.append(fb::decodeText(var.aliasname, var.aliasname_length));
        rows.types.push_back(
            {static_cast<short>(var.sqltype & ~1), var.sqlscale, var.sqlsubtype, var.sqllen});
    }

    if (api.dsql_execute2(status, work, statement.handle(), dialect, nullptr, nullptr))
        raise(api, status);

    const QString TooManyRows = QStringLiteral(
        "A consulta ao banco de dados devolveu mais dados do que o programa consegue guardar.");
    if (columns == 0)
        return;
    for (;;) {
        const ISC_STATUS fetched = api.dsql_fetch(status, statement.handle(), dialect, out.get());
        if (fetched == 100)
            break;
        if (fetched)
            raise(api, status);
        if (rows.count == std::numeric_limits<int>::max())
            throw ShownError(TooManyRows);
        for (int i = 0; i < columns; ++i) {
            if (nulls[i] < 0) {
                rows.cells.push_back({0, TQuery::NullCell});
                continue;
            }
            const auto [value, size] = storedBytes(out->sqlvar[i]);
            if (rows.bytes.size() + size > std::numeric_limits<quint32>::max())
                throw ShownError(TooManyRows);
            rows.cells.push_back({static_cast<quint32>(rows.bytes.size()), size});
            rows.bytes.insert(rows.bytes.end(), value, value + size);
        }
        ++rows.count;
    }
}

} // namespace

TQuery::TQuery(TDatabase* database) : Database(database) {}

TQuery::~TQuery() = default;

void TQuery::Open() {
    Close();
    if (!Database)
        throw ShownError(QStringLiteral("A consulta não tem um banco de dados definido."));
    TTransaction* transaction = Database->DefaultTransaction;
    if (!transaction)
        throw ShownError(
            QStringLiteral("O banco de dados da consulta não tem uma transação padrão definida."));
    if (transaction->InTransaction() && transaction->m_startedOn != Database)
        throw ShownError(QStringLiteral("A transação padrão já está ativa em outro banco de dados."));
    Database->Open();
    transaction->m_startedOn = Database;
    std::shared_ptr<DatabaseLink> link = Database->m_link;
    auto rows = std::make_shared<Rows>();
    // The attachment that a cancel reaches, as values: the link stays the call's.
    const fb::Api* api = &link->attachment.api();
    const isc_db_handle attachment = *link->attachment.handle();
    TDatabase* database = Database;
    runBlockingCall(
        BlockingCall::Query, [link, rows, sql = SQL.toUtf8()] { fetchAll(*link, sql, *rows); },
        StatementTimeout, [api, attachment] { fb::Attachment::cancel(api, attachment); },
        [database] { database->m_link.reset(); });
    m_rows = std::move(*rows);
    First();
}

void TQuery::Close() {
    m_rows = Rows();
    m_current = 0;
    m_eof = true;
}

void TQuery::First() {
    m_current = 0;
    m_eof = m_rows.count == 0;
}

void TQuery::Next() {
    if (m_current + 1 < RecordCount())
        ++m_current;
    else
        m_eof = true;
}

bool TQuery::Eof() const {
    return m_eof;
}

int TQuery::RecordCount() const {
    return m_rows.count;
}

int TQuery::columnIndex(const QString& column) const {
    for (int i = 0; i < m_rows.columns.size(); ++i) {
        // The name as the query gives it first: compared at once, where a
        // comparison regardless of case goes character by character.
        const QString& name = m_rows.columns.at(i);
        if (name == column || name.compare(column, Qt::CaseInsensitive) == 0)
            return i;
    }
    throw ShownError(QStringLiteral("Field '%1' not found").arg(column));
}

QString TQuery::FieldByName(const QString& column) const {
    const int index = columnIndex(column);
    if (m_rows.count == 0)
        return QString();
    return cellText(m_current, index);
}

QString TQuery::cellText(int row, int column) const {
    const Cell& cell = m_rows.cells[static_cast<size_t>(row) * m_rows.columns.size() + column];
    if (cell.size == NullCell)
        return QString();
    return valueText(m_rows.types[column], m_rows.bytes.data() + cell.offset, cell.size);
}

bool TQuery::Locate(const QString& column, const QString& value) {
    const int index = columnIndex(column);
    const size_t width = m_rows.columns.size();
    for (int row = 0; row < m_rows.count; ++row) {
        if (m_rows.cells[row * width + index].size != NullCell && cellText(row, index) == value) {
            m_current = row;
            m_eof = false;
            return true;
        }
    }
    return false;
}

// ------------------------------------------------------- name and parameters

QStringList ConnectionParams(const QString& usuario, const QString& senha) {
    // The lone CR splits the text into lines as a string list's text does:
    // at CR LF, CR or LF, with no empty line after a final break.
    const QString text =
        QStringLiteral("user_name=") + usuario + QLatin1Char('\r') + QStringLiteral("password=") + senha;
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(line);
            line.clear();
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else {
            line.append(c);
        }
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

void beginConnection(TDatabase& database, TTransaction& transaction, const QString& databaseName,
                     const QString& user, const QString& password) {
    database.DatabaseName = databaseName;
    database.LoginPrompt = false;
    database.DefaultTransaction = &transaction;
    transaction.DefaultDatabase = &database;
    database.BeginOpen(ConnectionParams(user, password));
}

void openConnection(TDatabase& database, TTransaction& transaction, const QString& databaseName,
                    const QString& user, const QString& password) {
    beginConnection(database, transaction, databaseName, user, password);
    database.Open();
}
