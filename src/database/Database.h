#pragma once

// Database client layer over the Firebird client library's C interface.
// The library is loaded by name with dlopen at the first Open(), so the
// program runs where it is missing. Errors are thrown as ShownError whose
// text is the client's messages joined by CR LF, without a final ".".

#include "database/BlockingCall.h"
#include "settings/ShownError.h"
#include "database/ValueText.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class TTransaction;

// A connection. Owns its attachment; closes (committing an active
// transaction) when destroyed. Never throws from its destructor.
class TDatabase {
public:
    TDatabase();
    ~TDatabase();
    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;

    QString DatabaseName;
    // Lines "name=value"; only user_name and password are sent.
    QStringList Params;
    bool LoginPrompt = false; // always off: nothing ever asks the user
    TTransaction* DefaultTransaction = nullptr;

    // Attaches. Throws ShownError: "Database name is missing" for an
    // empty name (before any client call), the library-not-found text, a
    // too-long user name or password, or the client's own text.
    void Open();
    // Commits the default transaction when active, then detaches.
    void Close();
    bool Connected() const;

    struct Impl;
    Impl& impl() { return *d; }
    // Lets go of the attachment without calling the library, whose given-up
    // call may still hold it.
    void forgetAttachment();

private:
    void attach(const QByteArray& name, const QByteArray& block);
    void closeNow();

    std::unique_ptr<Impl> d;
};

// A transaction, started when a query opens and committed when its
// connection closes or it is released while active.
class TTransaction {
public:
    TTransaction();
    ~TTransaction();
    TTransaction(const TTransaction&) = delete;
    TTransaction& operator=(const TTransaction&) = delete;

    TDatabase* DefaultDatabase = nullptr;
    bool InTransaction() const;
    // "Make inactive": commits when active.
    void Commit();

    struct Impl;
    Impl& impl() { return *d; }

private:
    std::unique_ptr<Impl> d;
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
    void openNow();
    int columnIndex(const QString& column) const; // throws for an unknown column

    QString cellText(int row, int column) const;

public:
    using ColumnType = ::ColumnType;

private:
    // The rows' values as the client delivered them, one after the other,
    // turned into text only when read: fetching costs no allocation per
    // value. A cell of size NullCell is NULL.
    struct Cell {
        quint32 offset = 0;
        quint32 size = 0;
    };
    static constexpr quint32 NullCell = 0xFFFFFFFFu;
    QStringList m_columns;
    std::vector<ColumnType> m_types;
    std::vector<char> m_bytes;
    std::vector<Cell> m_cells;
    int m_rowCount = 0;
    int m_current = 0;
    bool m_eof = true;
};

// The connection parameters: "user_name=<user>" CR "password=<password>",
// split into the connection's parameter lines.
QStringList ConnectionParams(const QString& usuario, const QString& senha);
