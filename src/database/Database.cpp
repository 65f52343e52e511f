#include "database/Database.h"

#include "database/FbClient.h"

#include <QSet>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>

// Handles are zeroed before an error is reported from a release path, and
// every clean-up call gets a status vector of its own, so the error that
// reached the user is the one that happened first.

namespace {

// Objects alive now, so that a connection and its default transaction can
// forget each other in whatever order they are released. A query reads
// them on its worker thread while the user-interface thread may create or
// release other objects (a timer's handler): one lock guards both.
// Never destroyed: objects held in globals may be released after them.
std::mutex& registryLock() {
    static auto* lock = new std::mutex;
    return *lock;
}
QSet<TDatabase*>& liveDatabases() {
    static auto* set = new QSet<TDatabase*>;
    return *set;
}
QSet<TTransaction*>& liveTransactions() {
    static auto* set = new QSet<TTransaction*>;
    return *set;
}

// The transaction parameter block entry of isc_start_multiple.
struct TransactionBlock {
    isc_db_handle* database;
    int length;
    const char* parameters;
};

} // namespace

struct TDatabase::Impl {
    const fb::Api* api = nullptr;
    isc_db_handle handle = 0;
    unsigned short dialect = SQL_DIALECT_V6;
    std::vector<TTransaction*> active; // transactions started on this connection
};

struct TTransaction::Impl {
    isc_tr_handle handle = 0;
    TDatabase* startedOn = nullptr;
    const fb::Api* api = nullptr;

    void start(TTransaction* self, TDatabase& database) {
        TDatabase::Impl& db = database.impl();
        // Handles go to the library as copies on this thread's stack: a call
        // that is given up must not write into its caller's objects.
        isc_db_handle attachment = db.handle;
        isc_tr_handle started = 0;
        TransactionBlock block{&attachment, 0, nullptr};
        ISC_STATUS_ARRAY status{};
        if (db.api->start_multiple(status, &started, 1, &block))
            throw ShownError(fb::errorText(*db.api, status));
        handle = started;
        api = db.api;
        startedOn = &database;
        db.active.push_back(self);
    }

    // Ends the transaction; a failed commit is rolled back so that the
    // connection can still detach, and its error goes on.
    void end(TTransaction* self) {
        if (!handle)
            return;
        ISC_STATUS_ARRAY status{};
        QString failure;
        isc_tr_handle ending = handle;
        if (api->commit_transaction(status, &ending)) {
            failure = fb::errorText(*api, status);
            ISC_STATUS_ARRAY cleanup{};
            api->rollback_transaction(cleanup, &ending);
        }
        handle = 0;
        if (startedOn) {
            auto& list = startedOn->impl().active;
            list.erase(std::remove(list.begin(), list.end(), self), list.end());
        }
        startedOn = nullptr;
        if (!failure.isEmpty())
            throw ShownError(failure);
    }

    // Lets go of a handle that a given-up call may still use.
    void forget() {
        handle = 0;
        startedOn = nullptr;
    }
};

// ---------------------------------------------------------------- TDatabase

TDatabase::TDatabase() : d(std::make_unique<Impl>()) {
    const std::lock_guard lock(registryLock());
    liveDatabases().insert(this);
}

TDatabase::~TDatabase() {
    try {
        Close();
    } catch (...) {
        // Close has already let go of every handle it could.
    }
    const std::lock_guard lock(registryLock());
    liveDatabases().remove(this);
    for (TTransaction* transaction : std::as_const(liveTransactions())) {
        if (transaction->DefaultDatabase == this)
            transaction->DefaultDatabase = nullptr;
    }
}

void TDatabase::Open() {
    if (Connected())
        return;
    if (DatabaseName.isEmpty())
        throw ShownError(QStringLiteral("Database name is missing"));
    const QByteArray block = fb::parameterBlock(Params);
    const QByteArray name = DatabaseName.toUtf8(); // as the parameter block declares
    if (name.size() > std::numeric_limits<short>::max())
        throw ShownError(QStringLiteral("O caminho do banco de dados tem %1 bytes, e o cliente do banco de "
                                        "dados aceita no máximo %2. Informe um caminho mais curto.")
                             .arg(name.size())
                             .arg(std::numeric_limits<short>::max()));
    runBlockingCall(BlockingCall::Open, [&] { attach(name, block); }, AttachTimeout, {}, {});
}

void TDatabase::attach(const QByteArray& name, const QByteArray& block) {
    const fb::Api& api = fb::load();

    ISC_STATUS_ARRAY status{};
    isc_db_handle handle = 0;
    if (api.attach_database(status, static_cast<short>(name.size()), name.constData(), &handle,
                            static_cast<short>(block.size()), block.constData()))
        throw ShownError(fb::errorText(api, status));

    // Statements use dialect 3, or the database's when lower.
    const char items[] = {isc_info_db_sql_dialect, isc_info_end};
    char answer[64] = {};
    unsigned short dialect = SQL_DIALECT_V6;
    if (api.database_info(status, &handle, sizeof items, items, sizeof answer, answer)) {
        const QString text = fb::errorText(api, status);
        ISC_STATUS_ARRAY cleanup{};
        api.detach_database(cleanup, &handle);
        throw ShownError(text);
    }
    if (static_cast<unsigned char>(answer[0]) == isc_info_db_sql_dialect) {
        const int length =
            static_cast<unsigned char>(answer[1]) | (static_cast<unsigned char>(answer[2]) << 8);
        if (length >= 1 && length <= 4) {
            unsigned value = 0;
            for (int i = 0; i < length; ++i)
                value |= static_cast<unsigned>(static_cast<unsigned char>(answer[3 + i])) << (8 * i);
            if (value >= 1 && value < SQL_DIALECT_V6)
                dialect = static_cast<unsigned short>(value);
        }
    }
    d->api = &api;
    d->handle = handle;
    d->dialect = dialect;
}

void TDatabase::Close() {
    if (!Connected())
        return;
    runBlockingCall(
        BlockingCall::Close, [this] { closeNow(); }, StatementTimeout, {}, [this] { forgetAttachment(); });
}

void TDatabase::forgetAttachment() {
    // Left to the library: the call given up may still be inside it.
    for (TTransaction* transaction : d->active)
        transaction->impl().forget();
    d->active.clear();
    d->handle = 0;
}

void TDatabase::closeNow() {
    QString failure;
    // Commit what is active on this connection: the default transaction and
    // any other that a query started here.
    while (!d->active.empty()) {
        TTransaction* transaction = d->active.back();
        try {
            transaction->Commit();
        } catch (const ShownError& error) {
            if (failure.isEmpty())
                failure = error.text();
        }
        // Commit takes itself off the list, also when it fails.
    }
    ISC_STATUS_ARRAY status{};
    isc_db_handle detaching = d->handle;
    if (d->api->detach_database(status, &detaching) && failure.isEmpty())
        failure = fb::errorText(*d->api, status);
    d->handle = 0;
    if (!failure.isEmpty())
        throw ShownError(failure);
}

bool TDatabase::Connected() const {
    return d->handle != 0;
}

// ------------------------------------------------------------- TTransaction

TTransaction::TTransaction() : d(std::make_unique<Impl>()) {
    const std::lock_guard lock(registryLock());
    liveTransactions().insert(this);
}

TTransaction::~TTransaction() {
    try {
        Commit();
    } catch (...) {
        // Rolled back instead; nothing more to do while being released.
    }
    const std::lock_guard lock(registryLock());
    liveTransactions().remove(this);
    for (TDatabase* database : std::as_const(liveDatabases())) {
        if (database->DefaultTransaction == this)
            database->DefaultTransaction = nullptr;
    }
}

bool TTransaction::InTransaction() const {
    return d->handle != 0;
}

void TTransaction::Commit() {
    if (!d->handle)
        return;
    runBlockingCall(
        BlockingCall::Commit, [this] { d->end(this); }, StatementTimeout, {},
        [this] {
            if (d->startedOn)
                d->startedOn->forgetAttachment();
            d->forget();
        });
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

// A statement handle that is dropped however the query ends.
class Statement {
public:
    Statement(const fb::Api& api, isc_db_handle* database) : m_api(api) {
        ISC_STATUS_ARRAY status{};
        if (m_api.dsql_alloc_statement2(status, database, &m_handle)) {
            const QString text = fb::errorText(m_api, status);
            m_handle = 0;
            throw ShownError(text);
        }
    }
    // May end the worker of a given-up call (fb::CallAbandoned).
    ~Statement() noexcept(false) {
        if (m_handle) {
            ISC_STATUS_ARRAY cleanup{};
            m_api.dsql_free_statement(cleanup, &m_handle, DSQL_drop);
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    isc_stmt_handle* handle() { return &m_handle; }

private:
    const fb::Api& m_api;
    isc_stmt_handle m_handle = 0;
};

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

} // namespace

TQuery::TQuery(TDatabase* database) : Database(database) {}

TQuery::~TQuery() = default;

void TQuery::Open() {
    // The attachment that a cancel can reach, when it is open already.
    TDatabase* database = Database;
    const fb::Api* api = nullptr;
    isc_db_handle attachment = 0;
    {
        const std::lock_guard lock(registryLock());
        if (database && liveDatabases().contains(database) && database->Connected()) {
            api = database->impl().api;
            attachment = database->impl().handle;
        }
    }
    const auto cancel = [api, attachment]() mutable {
        if (api && attachment) {
            const fb::LibraryUse use;
            ISC_STATUS_ARRAY status{};
            api->cancel_operation(status, &attachment, fb_cancel_raise);
        }
    };
    const auto forget = [this, database] {
        Close();
        const std::lock_guard lock(registryLock());
        if (database && liveDatabases().contains(database))
            database->forgetAttachment();
    };
    runBlockingCall(
        BlockingCall::Query, [this] { openNow(); }, StatementTimeout, cancel, forget);
}

void TQuery::openNow() {
    Close();
    TTransaction* transaction = nullptr;
    {
        const std::lock_guard lock(registryLock());
        if (!Database || !liveDatabases().contains(Database))
            throw ShownError(QStringLiteral("Database not assigned"));
        transaction = Database->DefaultTransaction;
        if (!transaction || !liveTransactions().contains(transaction))
            throw ShownError(QStringLiteral("Transaction not assigned"));
    }
    Database->Open();
    TDatabase::Impl& db = Database->impl();
    TTransaction::Impl& tr = transaction->impl();
    if (!tr.handle)
        tr.start(transaction, *Database);
    else if (tr.startedOn != Database)
        throw ShownError(QStringLiteral("Transaction is active on another database"));
    const fb::Api& api = *db.api;

    isc_db_handle attachment = db.handle;
    isc_tr_handle work = tr.handle;
    Statement statement(api, &attachment);
    ISC_STATUS_ARRAY status{};
    const QByteArray sql = SQL.toUtf8(); // the connection's character set
    if (sql.size() > std::numeric_limits<unsigned short>::max())
        throw ShownError(QStringLiteral("SQL text is too long"));
    Sqlda out = allocSqlda(8);
    if (api.dsql_prepare(status, &work, statement.handle(), static_cast<unsigned short>(sql.size()),
                         sql.constData(), db.dialect, out.get()))
        raise(api, status);
    if (out->sqld > out->sqln) {
        out = allocSqlda(out->sqld);
        if (api.dsql_describe(status, statement.handle(), db.dialect, out.get()))
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
    QStringList names;
    std::vector<ColumnType> types;
    for (int i = 0; i < columns; ++i) {
        XSQLVAR& var = out->sqlvar[i];
        var.sqldata = data.data() + offsets[i];
        var.sqlind = &nulls[i];
        var.sqltype |= 1; // always ask for the null flag
        names.append(fb::decodeText(var.aliasname, var.aliasname_length));
        types.push_back({static_cast<short>(var.sqltype & ~1), var.sqlscale, var.sqlsubtype, var.sqllen});
    }

    if (api.dsql_execute2(status, &work, statement.handle(), db.dialect, nullptr, nullptr))
        raise(api, status);

    const QString TooManyRows = QStringLiteral(
        "A consulta ao banco de dados devolveu mais dados do que o programa consegue guardar.");
    std::vector<char> bytes;
    std::vector<Cell> cells;
    int rowCount = 0;
    if (columns > 0) {
        for (;;) {
            const ISC_STATUS fetched = api.dsql_fetch(status, statement.handle(), db.dialect, out.get());
            if (fetched == 100)
                break;
            if (fetched)
                raise(api, status);
            if (rowCount == std::numeric_limits<int>::max())
                throw ShownError(TooManyRows);
            for (int i = 0; i < columns; ++i) {
                if (nulls[i] < 0) {
                    cells.push_back({0, NullCell});
                    continue;
                }
                const auto [value, size] = storedBytes(out->sqlvar[i]);
                if (bytes.size() + size > std::numeric_limits<quint32>::max())
                    throw ShownError(TooManyRows);
                cells.push_back({static_cast<quint32>(bytes.size()), size});
                bytes.insert(bytes.end(), value, value + size);
            }
            ++rowCount;
        }
    }

    m_columns = std::move(names);
    m_types = std::move(types);
    m_bytes = std::move(bytes);
    m_cells = std::move(cells);
    m_rowCount = rowCount;
    First();
}

void TQuery::Close() {
    m_columns.clear();
    m_types.clear();
    m_bytes.clear();
    m_cells.clear();
    m_rowCount = 0;
    m_current = 0;
    m_eof = true;
}

void TQuery::First() {
    m_current = 0;
    m_eof = m_rowCount == 0;
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
    return m_rowCount;
}

int TQuery::columnIndex(const QString& column) const {
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns.at(i).compare(column, Qt::CaseInsensitive) == 0)
            return i;
    }
    throw ShownError(QStringLiteral("Field '%1' not found").arg(column));
}

QString TQuery::FieldByName(const QString& column) const {
    const int index = columnIndex(column);
    if (m_rowCount == 0)
        return QString();
    return cellText(m_current, index);
}

QString TQuery::cellText(int row, int column) const {
    const Cell& cell = m_cells[static_cast<size_t>(row) * m_columns.size() + column];
    if (cell.size == NullCell)
        return QString();
    return valueText(m_types[column], m_bytes.data() + cell.offset, cell.size);
}

bool TQuery::Locate(const QString& column, const QString& value) {
    const int index = columnIndex(column);
    const size_t width = m_columns.size();
    for (int row = 0; row < m_rowCount; ++row) {
        if (m_cells[row * width + index].size != NullCell && cellText(row, index) == value) {
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
