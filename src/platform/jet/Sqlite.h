#pragma once

#include "platform/MajError.h"

#include <QString>
#include <QVariant>

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// Thin RAII wrapper over the SQLite C API. Every result code is checked in one place, check(),
// which throws the program's MajError with the old engine's number and French text: no SQLite
// failure type leaves the engine.
namespace maj::sqlite {

// What a statement is for: it decides the number of a syntax error or of an unknown column (a
// definition's are a query's).
enum class Context
{
    Open,
    Query,
    Criteria,
    Write
};

class Statement;

// The handles' deleters, for whoever holds a raw handle too.
struct Closer
{
    void operator()(sqlite3* db) const noexcept;
};
struct Finalizer
{
    void operator()(sqlite3_stmt* stmt) const noexcept;
};

class Connection
{
public:
    enum class Mode
    {
        ReadWrite,
        ReadWriteCreate,
        ReadOnly
    };
    // Opens a host path. Rollback journal mode is kept: no -wal file is ever left beside a file.
    Connection(const QString& hostPath, Mode mode);
    ~Connection();
    Connection(Connection&&) noexcept;
    Connection& operator=(Connection&&) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void exec(const QString& sql, Context context = Context::Query);
    // The same, returning SQLite's result code rather than throwing (for undoing after a failure).
    int tryExec(const QString& sql) noexcept;
    Statement prepare(const QString& sql, Context context = Context::Query);
    qint64 lastInsertRowId() const;
    int changes() const;
    bool inTransaction() const;
    sqlite3* handle() const { return m_db.get(); }

    // The translation point: throws MajError for any result code but OK, ROW and DONE.
    void check(int rc, Context context);
    // The last failure check() threw.
    const MajError& lastFailure() const { return m_lastFailure; }

private:
    std::unique_ptr<sqlite3, Closer> m_db;
    MajError m_lastFailure;
};

class Statement
{
public:
    Statement(Connection& connection, sqlite3_stmt* stmt, Context context);
    ~Statement();
    Statement(Statement&&) noexcept;
    Statement& operator=(Statement&&) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Binds by 1-based index. Null QVariant binds NULL; bool binds 0/1; QDateTime/QDate bind ISO text.
    void bind(int index, const QVariant& value);
    // Returns true while a row is available.
    bool step();
    void reset();
    // reset() keeping the bindings, for a caller that binds every parameter anew.
    void rewind();
    int columnCount() const;
    QString columnName(int column) const;
    // NULL reads as an invalid QVariant; integers as qlonglong, reals as double, text as QString,
    // blobs as QByteArray.
    QVariant column(int column) const;
    sqlite3_stmt* handle() const { return m_stmt.get(); }
    void check(int rc) { m_connection->check(rc, m_context); }

private:
    Connection* m_connection;
    std::unique_ptr<sqlite3_stmt, Finalizer> m_stmt;
    Context m_context;
};

} // namespace maj::sqlite
