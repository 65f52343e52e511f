#pragma once

// Database client layer over the Firebird client library's C interface.
// The library is loaded by name with dlopen at the first Open(), so the
// program runs where it is missing. Errors are thrown as ShownError whose
// text is the client's messages joined by CR LF, without a final ".".

#include "database/BlockingCall.h"
#include "database/ValueText.h"
#include "settings/ShownError.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class TTransaction;
struct DatabaseLink;

// A connection: what its attachment is opened from (name and parameters),
// and the attachment while open.
// The attachment and the transaction on it are shared with the call that
// runs on them, so a call given up keeps them and ends on its own; the
// connection is then let go. Closes (committing an active transaction) when
// destroyed; never throws from its destructor.
class TDatabase {
public:
    TDatabase() = default;
    ~TDatabase();
    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;

    QString DatabaseName;
    // Lines "name=value"; only user_name and password are sent.
    QStringList Params;
    bool LoginPrompt = false; // always off: nothing ever asks the user
    TTransaction* DefaultTransaction = nullptr;

    // Attaches with Params. Throws ShownError: "Database name is missing"
    // for an empty name (before any client call), the library-not-found
    // text, a too-long user name or password, or the client's own text.
    void Open() { Open(Params); }
    // Sets Params and attaches with them, handing them on as they are; an
    // attachment BeginOpen started is waited for instead.
    void Open(const QStringList& params);
    // Sets Params and starts the attachment with them on a worker, returning
    // at once, so that the caller can build its window meanwhile; the next
    // Open() waits for it (its bound counted from here). Does nothing when
    // connected or already attaching, nor when Open() would fail before any
    // client call (Open() then throws as ever).
    void BeginOpen(const QStringList& params);
    void BeginOpen() { BeginOpen(Params); }
    // Commits the default transaction when active, then detaches; the
    // connection is closed afterwards, also when that fails. An attachment
    // begun and not waited for is given up.
    void Close();
    bool Connected() const { return m_link != nullptr; }

private:
    friend class TTransaction;
    friend class TQuery;
    // The name and parameter block of an attachment; throws ShownError for a
    // name or value the client cannot take.
    std::pair<QByteArray, QByteArray> attachArguments(const QStringList& params) const;
    // Starts the attachment's call (m_opening) with those.
    void startAttach(std::pair<QByteArray, QByteArray> arguments);
    std::shared_ptr<DatabaseLink> m_link;
    // An attachment begun (BeginOpen) and the link it fills, until Open().
    StartedBlockingCall m_opening;
    std::shared_ptr<DatabaseLink> m_openingLink;
};

// A transaction, started when a query opens and committed when its
// connection closes or it is released while active.
class TTransaction {
public:
    TTransaction() = default;
    ~TTransaction();
    TTransaction(const TTransaction&) = delete;
    TTransaction& operator=(const TTransaction&) = delete;

    TDatabase* DefaultDatabase = nullptr;
    bool InTransaction() const;
    // "Make inactive": commits when active.
    void Commit();

private:
    friend class TDatabase;
    friend class TQuery;
    TDatabase* m_startedOn = nullptr; // the connection whose transaction this is
};

// A SELECT whose rows are all fetched on Open() and kept, so the cursor can
// move and locate freely.
class TQuery {
public:
    explicit TQuery(TDatabase* database = nullptr);
    ~TQuery();
    TQuery(const TQuery&) = delete;
    TQuery& operator=(const TQuery&) = delete;

    TDatabase* Database = nullptr;
    QString SQL;

    void Open(); // throws ShownError with the client's text
    void Close();
    void First();
    void Next();
    bool Eof() const;
    int RecordCount() const;
    // The current row's column as text (NULL gives the empty text); throws
    // ShownError for an unknown column.
    QString FieldByName(const QString& column) const;
    // Moves to the first row whose column equals value exactly, case
    // included; returns whether one was found (the cursor stays otherwise).
    bool Locate(const QString& column, const QString& value);

private:
    int columnIndex(const QString& column) const; // throws for an unknown column

    QString cellText(int row, int column) const;

public:
    using ColumnType = ::ColumnType;

    // The rows' values as the client delivered them, one after the other,
    // turned into text only when read: fetching costs no allocation per
    // value. A cell of size NullCell is NULL.
    struct Cell {
        quint32 offset = 0;
        quint32 size = 0;
    };
    static constexpr quint32 NullCell = 0xFFFFFFFFu;
    struct Rows {
        QStringList columns;
        std::vector<ColumnType> types;
        std::vector<char> bytes;
        std::vector<Cell> cells;
        int count = 0;
    };

private:
    Rows m_rows;
    int m_current = 0;
    bool m_eof = true;
};

// The connection parameters: "user_name=<user>" CR "password=<password>",
// split into the connection's parameter lines.
QStringList ConnectionParams(const QString& usuario, const QString& senha);

// Makes database and transaction each other's default, as both callers of
// the product pair them, and begins the connection's attachment with the
// user and password (login prompt off): TDatabase::BeginOpen.
void beginConnection(TDatabase& database, TTransaction& transaction, const QString& databaseName,
                     const QString& user, const QString& password);
// The same, then waits for the attachment: throws as TDatabase::Open.
void openConnection(TDatabase& database, TTransaction& transaction, const QString& databaseName,
                    const QString& user, const QString& password);
