#pragma once

#include <QString>
#include <QVariant>

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// Thin RAII wrapper over the SQLite C API. Failures throw SqliteError with SQLite's code; the
// database engine (Database.h) turns them into the program's own error numbers.
namespace maj::sqlite {

class SqliteError : public std::exception
{
public:
    SqliteError(int code, int extendedCode, QString message);
    int code() const noexcept { return m_code; }
    int extendedCode() const noexcept { return m_extended; }
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    int m_code;
    int m_extended;
    QString m_message;
    QByteArray m_what;
};

class Statement;

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

    void exec(const QString& sql);
    Statement prepare(const QString& sql);
    qint64 lastInsertRowId() const;
    int changes() const;
    bool inTransaction() const;
    sqlite3* handle() const { return m_db.get(); }
    [[noreturn]] void fail(int rc) const;

private:
    struct Closer
    {
        void operator()(sqlite3* db) const noexcept;
    };
    std::unique_ptr<sqlite3, Closer> m_db;
};

class Statement
{
public:
    Statement(const Connection& connection, sqlite3_stmt* stmt);
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
    int columnCount() const;
    QString columnName(int column) const;
    // NULL reads as an invalid QVariant; integers as qlonglong, reals as double, text as QString,
    // blobs as QByteArray.
    QVariant column(int column) const;
    sqlite3_stmt* handle() const { return m_stmt.get(); }

private:
    struct Finalizer
    {
        void operator()(sqlite3_stmt* stmt) const noexcept;
    };
    const Connection* m_connection;
    std::unique_ptr<sqlite3_stmt, Finalizer> m_stmt;
};

// Commits in its destructor only if commit() ran; otherwise rolls back. Never throws from the
// destructor.
class Transaction
{
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    void commit();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    Connection& m_connection;
    bool m_done = false;
};

} // namespace maj::sqlite
