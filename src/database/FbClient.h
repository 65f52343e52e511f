#pragma once

// The Firebird client library reached through its C interface: loading by
// name, the parameter block of an attachment and the error text of a
// status vector. Types and constants come from ibase.h; the functions are
// looked up at run time, so nothing links against the library.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <ibase.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <utility>

namespace fb {

// The library tried at the first opening. A variable so that tests can name
// one that does not exist.
extern QString LibraryName;

// When the library last answered the call this thread runs for a waiting
// caller (the steady clock's count), or none: a query delivering rows is
// making progress, however long it takes.
extern thread_local std::atomic<std::chrono::steady_clock::rep>* lastAnswer;

// The library's shutdown may run only while nothing uses the library: the
// shutdown frees state that a call inside it reads, and also what a query
// between two fetches still needs. Every call into the library, and every
// piece of database work as a whole (a query from prepare to its last
// fetch), holds a LibraryUse for its length; once the end has closed the
// library (closeClients), a thread that would start one waits until the
// shutdown is over, and for good when the process ends without one.
class LibraryUse {
public:
    LibraryUse();
    ~LibraryUse();
    LibraryUse(const LibraryUse&) = delete;
    LibraryUse& operator=(const LibraryUse&) = delete;
};

// One entry of the library: holds the library in use while inside it and
// notes each answer.
template <class Fn> struct Entry;
template <class R, class... A> struct Entry<R (*)(A...)> {
    R (*fn)(A...) = nullptr;
    R operator()(A... args) const {
        const R result = [&] {
            const LibraryUse use;
            return fn(args...);
        }();
        if (lastAnswer)
            lastAnswer->store(std::chrono::steady_clock::now().time_since_epoch().count());
        return result;
    }
};

struct Api {
    using AttachFn = ISC_STATUS (*)(ISC_STATUS*, short, const ISC_SCHAR*, isc_db_handle*, short,
                                    const ISC_SCHAR*);
    using DetachFn = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*);
    using DatabaseInfoFn = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, short, const ISC_SCHAR*, short,
                                          ISC_SCHAR*);
    using StartMultipleFn = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*, short, void*);
    using EndTransactionFn = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*);
    using AllocStatementFn = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, isc_stmt_handle*);
    using PrepareFn = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short,
                                     const ISC_SCHAR*, unsigned short, XSQLDA*);
    using DescribeFn = ISC_STATUS (*)(ISC_STATUS*, isc_stmt_handle*, unsigned short, XSQLDA*);
    using Execute2Fn = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short,
                                      const XSQLDA*, const XSQLDA*);
    using FetchFn = ISC_STATUS (*)(ISC_STATUS*, isc_stmt_handle*, unsigned short, const XSQLDA*);
    using FreeStatementFn = ISC_STATUS (*)(ISC_STATUS*, isc_stmt_handle*, unsigned short);
    using InterpretFn = ISC_LONG (*)(ISC_SCHAR*, unsigned int, const ISC_STATUS**);
    using CancelFn = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, ISC_USHORT);

    Entry<AttachFn> attach_database;
    Entry<DetachFn> detach_database;
    Entry<DatabaseInfoFn> database_info;
    Entry<StartMultipleFn> start_multiple;
    Entry<EndTransactionFn> commit_transaction;
    Entry<EndTransactionFn> rollback_transaction;
    Entry<AllocStatementFn> dsql_alloc_statement2;
    Entry<PrepareFn> dsql_prepare;
    Entry<DescribeFn> dsql_describe;
    Entry<Execute2Fn> dsql_execute2;
    Entry<FetchFn> dsql_fetch;
    Entry<FreeStatementFn> dsql_free_statement;
    Entry<InterpretFn> interpret;
    // Called by the waiting caller, on its own thread: asks the library to
    // end what runs on the attachment. Not every wait listens to it.
    CancelFn cancel_operation = nullptr;
};

// The library named by LibraryName, loaded on first use and kept loaded for
// the life of the process (unloading the client is not safe while its
// threads run). Throws ShownError "InterBase library <name> not found in
// the path. Please install InterBase to use this functionality" when it
// cannot be loaded or lacks a function.
const Api& load();

// How long the client may take to reach a server and hear its first
// answer. A server on the local network answers in milliseconds and one
// across a WAN within a second or two; the client's own default (180 s)
// would leave the window waiting three minutes on a server that accepts the
// connection and never answers. A variable so that tests can shorten it.
extern std::chrono::seconds ConnectTimeout;

// Closes the library for the process's end: from now on no thread enters
// it. When nothing uses it, every loaded client is shut down (each
// waits at most 5 s for what it still runs; the whole given up after
// bound) and true is returned. With a use under way (a given-up call, a
// query a signal interrupted) the shutdown is not allowed: nothing is
// called, false is returned, and the caller ends the process at once
// (std::_Exit), its work being done. Also runs by itself at exit; a call
// after a finished shutdown does nothing and returns true.
bool closeClients(std::chrono::milliseconds bound);

// Where a signal that the client library caught goes: the program's own
// end (it refuses the library's shutdown on a signal). Called on one of the
// library's threads.
void setSignalForwarder(void (*forward)(int));

// The attachment's parameter block: version 1; that the file name and the
// texts of the block are UTF-8 (item 77, no value), whatever the process's
// locale; the user name (item 28) and the password (item 29), each a
// length byte and its UTF-8 bytes, only for the values given; the
// connection's character set "UTF8" (item 48); and the connect time-out in
// seconds (item 57, four bytes, least significant first). Throws
// ShownError for a value over 255 bytes, which a length byte cannot
// describe.
QByteArray parameterBlock(const std::optional<QByteArray>& user, const std::optional<QByteArray>& password);

// The same from the connection's parameter lines ("name=value"): only
// user_name and password are taken, names compared without regard to case,
// values in UTF-8.
QByteArray parameterBlock(const QStringList& params);

// The messages of a status vector, joined by CR LF (none after a message
// that ends in LF), without a final ".".
QString errorText(const Api& api, const ISC_STATUS* status);

// Text bytes from the server: UTF-8 when they are valid UTF-8, else Latin-1.
QString decodeText(const char* data, qsizetype size);

// Move-only owners of the library's handles. Each is used by one thread at a
// time (the call that runs on it); its release calls the library.

// An attachment; detaches when released.
class Attachment {
public:
    Attachment() = default;
    // Loads the library and attaches; statements then use dialect 3, or the
    // database's when lower. Throws ShownError with the client's text.
    Attachment(const QByteArray& name, const QByteArray& block);
    Attachment(Attachment&& other) noexcept { *this = std::move(other); }
    Attachment& operator=(Attachment&& other) noexcept;
    ~Attachment();

    explicit operator bool() const { return m_handle != 0; }
    const Api& api() const { return *m_api; }
    isc_db_handle* handle() { return &m_handle; }
    unsigned short dialect() const { return m_dialect; }
    void detach(); // throws ShownError; the handle is gone either way
    // Asks the library, from another thread, to end what runs on the
    // attachment given by api and handle.
    static void cancel(const Api* api, isc_db_handle handle);

private:
    const Api* m_api = nullptr;
    isc_db_handle m_handle = 0;
    unsigned short m_dialect = SQL_DIALECT_V6;
};

// A transaction with the server's defaults; rolled back unless committed.
class Transaction {
public:
    explicit Transaction(Attachment& attachment); // throws ShownError
    Transaction(Transaction&& other) noexcept
        : m_api(other.m_api), m_handle(std::exchange(other.m_handle, 0)) {}
    Transaction& operator=(Transaction&&) = delete;
    ~Transaction();

    isc_tr_handle* handle() { return &m_handle; }
    // Throws ShownError; a failed commit is rolled back, and the
    // transaction is over either way.
    void commit();

private:
    const Api* m_api;
    isc_tr_handle m_handle = 0;
};

// A statement; dropped when released.
class Statement {
public:
    explicit Statement(Attachment& attachment); // throws ShownError
    Statement(Statement&& other) noexcept : m_api(other.m_api), m_handle(std::exchange(other.m_handle, 0)) {}
    Statement& operator=(Statement&&) = delete;
    ~Statement();

    isc_stmt_handle* handle() { return &m_handle; }

private:
    const Api* m_api;
    isc_stmt_handle m_handle = 0;
};

} // namespace fb
