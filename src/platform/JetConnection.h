#pragma once

#include "JetTypes.h"
#include "MajError.h"
#include "Sqlite.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// One SQLite connection per database file, shared by every data source and direct database on
// it, with the pending write transaction that commitPendingWrites() ends.
namespace maj::jet {

// The rows of a table grouped by one column's value under the engine's text equality, for the
// equality criteria that must not scan the table. Row ids ascend within each value.
class Lookup
{
public:
    Lookup(QString table, QString column) : m_table(std::move(table)), m_column(std::move(column)) {}
    const QString& column() const { return m_column; }
    // Rows holding a text equal to `text` (letter case ignored, accents kept), ascending.
    std::vector<qint64> equal(const QString& text) const;
    std::vector<qint64> nulls() const { return m_nulls; }
    // A stored value of the column: text, null or anything else (which equals no text).
    void add(qint64 rowid, const QVariant& stored);
    void remove(qint64 rowid, const QVariant& stored);

private:
    friend class Connection;
    QString m_table;
    QString m_column;
    QMultiHash<QString, qint64> m_byText;
    std::vector<qint64> m_nulls;
    quint64 m_generation = 0;
    quint64 m_behind = 0;
};

// What an SQLite failure meant to the caller: it decides the error number of a syntax error or
// of an unknown column.
enum class Context
{
    Open,
    Query,
    Criteria,
    Write,
    Definition
};

MajError translate(const sqlite::SqliteError& error, Context context);
// Commits every connection's pending writes, then throws: what succeeded before a failure stays.
[[noreturn]] void raise(const MajError& error);
[[noreturn]] void raise(int number, const QString& description = {});
[[noreturn]] void raise(const sqlite::SqliteError& error, Context context);

// A table's definition as PRAGMA table_info gives it, with what a recordset needs to read it.
struct TableInfo
{
    struct Column
    {
        QString name;
        ColumnType type;
        QVariant defaultValue; // what a new record shows before it is written
    };
    QString name; // as created
    QString quotedName;
    std::vector<Column> columns;
    QHash<QString, int> byName; // case-folded
    QString selectRow;          // every column of one row, by rowid

    int indexOf(const QString& column) const
    {
        const auto it = byName.constFind(column.toCaseFolded());
        return it == byName.constEnd() ? -1 : *it;
    }
};

class Connection
{
public:
    // The shared connection of a database file given by its Windows path: 3044 when its folder
    // does not exist, 3024 when the file does not, 3051 when it is locked, 3343 when it is not a
    // database.
    static std::shared_ptr<Connection> acquire(const QString& windowsPath);
    static void commitAll() noexcept;

    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite::Connection& db() { return m_db; }
    const QString& hostPath() const { return m_hostPath; }

    // Opens the step's write transaction at the first write; 3051 when another process holds the
    // file for writing.
    void beginWrite();
    // Ends the pending write transaction, if any. A failed commit is logged and rolled back.
    void commit() noexcept;
    bool inTransaction() const { return m_db.inTransaction(); }

    // Defers commits while a change that must be whole (a table rebuild) is under way.
    class HoldCommits
    {
    public:
        explicit HoldCommits(Connection& connection) : m_connection(connection) { ++m_connection.m_holdCommits; }
        ~HoldCommits() { --m_connection.m_holdCommits; }
        HoldCommits(const HoldCommits&) = delete;
        HoldCommits& operator=(const HoldCommits&) = delete;

    private:
        Connection& m_connection;
    };

    // A cached prepared statement, reset before it is handed out.
    sqlite::Statement& statement(const QString& sql);

    // Counters that cached rows and look-ups compare to decide whether they still hold.
    // generation(): bumped by every change the connection cannot follow in detail (another
    // connection committed, a statement was run directly); it checks PRAGMA data_version.
    quint64 generation();
    // The generation as last checked, without asking the file: for reads of a row already fetched.
    quint64 knownGeneration() const { return m_generation; }
    // Every change of a table's rows, the recordsets' own writes included.
    quint64 tableWrites(const QString& table) const;
    // Changes of a table's rows made behind the recordsets' back (triggers, other statements).
    quint64 tableChangesBehind(const QString& table) const;
    // Bumped by every change of a table's definition; recordsets reload their column lists.
    quint64 schemaGeneration() const { return m_schemaGeneration; }
    // After a statement run directly: every cache of the connection is stale.
    void changedBehind();

    // The definition of a table named in any letter case; null when there is none. Kept until
    // the schema changes.
    std::shared_ptr<const TableInfo> table(const QString& name);

    // The look-up of a column's values, built on first use with one scan and rebuilt when the
    // table changed behind it.
    Lookup& lookup(const QString& table, const QString& column);
    // The look-ups already built on a table, for a recordset that writes one of its rows.
    std::vector<Lookup*> lookupsOf(const QString& table);

    // Marks the write of one row by a recordset, which keeps the look-ups in step itself. Any
    // other row changed meanwhile (by a trigger) invalidates that row's table.
    class OwnWrite
    {
    public:
        OwnWrite(Connection& connection, const QString& table);
        ~OwnWrite();
        OwnWrite(const OwnWrite&) = delete;
        OwnWrite& operator=(const OwnWrite&) = delete;
        void settle(qint64 rowid);

    private:
        Connection& m_connection;
        bool m_settled = false;
    };

private:
    Connection(QString key, QString hostPath, sqlite::Connection db);
    void registerFunctions();
    static void onUpdate(void* self, int op, const char* database, const char* table, qint64 rowid);
    void tableChanged(const QString& lowerTable, bool behind);

    struct HookEvent
    {
        QString table;
        qint64 rowid;
    };
    struct TableState
    {
        quint64 writes = 0;
        quint64 behind = 0;
    };

    QString m_key;
    QString m_hostPath;
    sqlite::Connection m_db;
    qint64 m_lastDataVersion = -1;
    quint64 m_generation = 1;
    quint64 m_schemaGeneration = 1;
    QHash<QString, TableState> m_tables; // by lower-case name
    QHash<QString, std::shared_ptr<sqlite::Statement>> m_statements;
    QHash<QString, std::shared_ptr<const TableInfo>> m_tableInfos; // by lower-case name
    quint64 m_tableInfosGeneration = 0;
    QHash<QString, std::shared_ptr<Lookup>> m_lookups; // "table\ncolumn", lower case
    int m_holdCommits = 0;
    bool m_ownWrite = false;
    QString m_ownTable;
    std::vector<HookEvent> m_ownEvents;
};

// Case-folded key of a text under the engine's equality: letter case ignored, accents kept.
inline QString foldKey(const QString& text)
{
    return text.toCaseFolded();
}

} // namespace maj::jet
