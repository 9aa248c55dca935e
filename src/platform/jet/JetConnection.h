#pragma once

#include "platform/MajError.h"
#include "platform/jet/JetTypes.h"
#include "platform/jet/Sqlite.h"

#include <QHash>
#include <QString>
#include <QVarLengthArray>

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

// One SQLite connection per database file, shared by every data source and direct database on
// it, with the pending transaction that the step's Transaction commits or rolls back.
namespace maj::jet {

// The rows of a table grouped by one column's value under the engine's text equality, for the
// equality criteria that must not scan the table. Row ids ascend within each value.
// sqlite3_reset without the wrapper's clearing of the bindings: every parameter is bound anew.
void sqlite3_reset_statement(sqlite::Statement& statement);

class Lookup
{
public:
    Lookup(QString table, QString column) : m_table(std::move(table)), m_column(std::move(column)) {}
    const QString& column() const { return m_column; }
    // Rows holding a text equal to `text` (letter case ignored, accents kept), ascending.
    std::vector<qint64> equal(QString text) const;
    std::vector<qint64> nulls() const { return m_nulls; }
    // A stored value of the column: text, null or anything else (which equals no text).
    void add(qint64 rowid, const QVariant& stored);
    void remove(qint64 rowid, const QVariant& stored);

private:
    friend class Connection;
    // Built from one scan in rowid order: scanned() for each text, then index().
    void scanned(qint64 rowid, QByteArrayView utf8);
    void index();

    QString m_table;
    QString m_column;
    // The folded texts of the scan, one after the other in rowid order: the keys point into it,
    // so that a walk of the table in row order probes them in memory order, and a look-up costs
    // one allocation rather than one per row. Texts added later each have their own string.
    QString m_texts;
    std::vector<QString> m_added;
    struct Scanned
    {
        qint64 rowid;
        qsizetype from;
        qsizetype size;
    };
    std::vector<Scanned> m_scanned;
    // Each value with its rows, in the order values were first met (the scan's, for most), ids
    // ascending; most values are held by one row, whose id stays inside the entry. The index
    // stays small (a view and a number per value) for probes to be quick.
    struct Group
    {
        QStringView text;
        QVarLengthArray<qint64, 1> rows;
    };
    std::vector<Group> m_groups;
    // The group of the last probe: a walk in row order probes the values in the order the scan
    // met them, so the next probe is most often for the next group, found without the index.
    mutable qsizetype m_lastGroup = -1;
    struct Index
    {
        qsizetype value = -1; // none yet
    };
    QHash<QStringView, Index> m_byText;
    std::vector<qint64> m_nulls;
    quint64 m_generation = 0;
    quint64 m_behind = 0;
    const quint64* m_behindNow = nullptr; // the table's counter of changes behind, as it goes
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
    QString key;  // lower case
    QString quotedName;
    std::vector<Column> columns;
    QHash<QString, int> byName; // case-folded
    QString cursorSql;          // rowid and every column, from a rowid on

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
    // Commits every connection; the first failure is thrown once all were tried.
    static void commitAll();
    static void rollbackAll() noexcept;

    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The SQLite connection, inside the connection's transaction: every statement runs in the one
    // transaction that commit() ends, so that a step's reads do not lock and unlock the file for
    // each row and its writes wait for the disk once.
    sqlite::Connection& db()
    {
        begin();
        return m_db;
    }
    const QString& hostPath() const { return m_hostPath; }
    // Whether the path still names the file the connection opened.
    bool sameFile();

    // Before a write. The transaction takes the file for writing at the first write statement,
    // which fails (3051) while another connection writes it.
    void beginWrite()
    {
        begin();
        m_wrote = true;
    }
    // A write statement failed: SQLite may have rolled the whole transaction back with it (a full
    // disk, an I/O error), and then the next commit tells that the earlier writes are lost.
    [[noreturn]] void raiseWrite(const sqlite::SqliteError& error, Context context);
    [[noreturn]] void raiseWrite(const MajError& error);
    // Ends the transaction, if any: what the step wrote is on disk and the file is unlocked. A
    // reader of another process is waited for a bounded time. Throws MajError (61 disk full, 3043
    // I/O error, 3051 busy) after rolling back, also when SQLite had already rolled back writes.
    void commit();
    void rollback() noexcept;
    bool inTransaction() const { return m_db.inTransaction(); }

    // A cached prepared statement, reset before it is handed out.
    sqlite::Statement& statement(const QString& sql) { return *sharedStatement(sql); }
    // The same, for a caller that keeps it: it calls rewind() before each use.
    std::shared_ptr<sqlite::Statement> sharedStatement(const QString& sql);
    void rewind(sqlite::Statement& statement)
    {
        begin();
        sqlite3_reset_statement(statement);
    }

    // Cursors: statements a recordset keeps stepped on its current row between calls, so that a
    // move to the next row is one step and a field is decoded only when it is read. Each is
    // borrowed from a pool (a probe opened once per row prepares nothing) and given back; commit()
    // and changes of definitions reset every held one, so that no read lock outlives a step.
    std::shared_ptr<sqlite::Statement> borrowStatement(const QString& sql);
    void returnStatement(const QString& sql, std::shared_ptr<sqlite::Statement> statement) noexcept;
    void holdCursor(const std::shared_ptr<sqlite::Statement>& statement) { m_heldCursors.push_back(statement); }
    // Changes whenever the held cursors were reset.
    quint64 cursorEpoch() const { return m_cursorEpoch; }
    void releaseCursors() noexcept;

    // Counters that cached rows and look-ups compare to decide whether they still hold.
    // generation(): bumped by every change the connection cannot follow in detail (another
    // connection committed, a statement was run directly). Other connections can commit only
    // between two transactions of this one: PRAGMA data_version is checked when one begins.
    quint64 generation()
    {
        begin();
        return m_generation;
    }
    // The generation as last checked, without asking the file: for reads of a row already fetched.
    quint64 knownGeneration() const { return m_generation; }
    // What happened to a table's rows (lower-case name); the reference stays valid as long as the
    // connection. writes: every change, the recordsets' own writes included; behind: changes made
    // behind the recordsets' back (triggers, other statements).
    struct TableCounters
    {
        quint64 writes = 0;
        quint64 behind = 0;
        std::vector<Lookup*> lookupList; // those built, owned by the connection
    };
    TableCounters& counters(const QString& lowerTable) { return m_tables[lowerTable]; }
    // Bumped by every change of a table's definition; recordsets reload their column lists.
    quint64 schemaGeneration() const { return m_schemaGeneration; }
    // After a statement run directly: every cache of the connection is stale.
    void changedBehind();

    // What the connection's conversions of dates remember.
    DateMemo& dates() { return m_dates; }

    // The definition of a table named in any letter case; null when there is none. Kept until
    // the schema changes.
    std::shared_ptr<const TableInfo> table(const QString& name);

    // The look-up of a column's values, built on first use with one scan and rebuilt when the
    // table changed behind it.
    std::shared_ptr<Lookup> sharedLookup(const QString& table, const QString& column);
    // What "select * from <table> where <column> ..." resolves to: the table, the column and its
    // look-up. The last one is kept, with the query's text up to the column's name, for the next
    // probe written alike while the look-up holds.
    struct ProbeTarget
    {
        QString prefix;
        std::shared_ptr<const TableInfo> info;
        int index = -1;
        std::shared_ptr<Lookup> lookup;
        quint64 schemaGeneration = 0;
    };
    // Null when the table or the column does not exist.
    const ProbeTarget* probeTarget(const QString& prefix, const QString& table, const QString& column);
    // The last one, while it holds.
    const ProbeTarget* lastProbe();
    // Whether a look-up kept by a recordset still holds (nothing changed behind it).
    bool isCurrent(const Lookup& lookup)
    {
        return lookup.m_generation == generation() && lookup.m_behind == *lookup.m_behindNow;
    }
    // The look-ups already built on a table (lower-case name), for a recordset that writes one of
    // its rows.
    const std::vector<Lookup*>& lookupsOf(const QString& lowerTable);

    // Marks the write of one row by a recordset, which keeps the look-ups in step itself. Any
    // other row changed meanwhile (by a trigger) invalidates that row's table.
    class OwnWrite
    {
    public:
        OwnWrite(Connection& connection, const QString& lowerTable);
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
    void begin();
    void registerFunctions();
    static void onUpdate(void* self, int op, const char* database, const char* table, qint64 rowid);
    void tableChanged(const QString& lowerTable, bool behind);

    struct HookEvent
    {
        QString table;
        qint64 rowid;
    };

    QString m_key;
    QString m_hostPath;
    sqlite::Connection m_db;
    quint64 m_device = 0;
    quint64 m_inode = 0;
    quint64 m_transactions = 0; // begun so far
    quint64 m_checkedTransaction = 0;
    quint64 m_checkedReplacements = 0;
    std::unique_ptr<sqlite::Statement> m_dataVersion;
    qint64 m_lastDataVersion = -1;
    quint64 m_generation = 1;
    quint64 m_schemaGeneration = 1;
    std::unordered_map<QString, TableCounters> m_tables; // by lower-case name; nodes stay put
    QHash<QString, std::shared_ptr<sqlite::Statement>> m_statements;
    QHash<QString, std::shared_ptr<const TableInfo>> m_tableInfos; // by lower-case name
    quint64 m_tableInfosGeneration = 0;
    QHash<QString, std::shared_ptr<Lookup>> m_lookups; // "table\ncolumn", lower case
    QMultiHash<QString, std::shared_ptr<sqlite::Statement>> m_pool;
    std::vector<std::weak_ptr<sqlite::Statement>> m_heldCursors;
    quint64 m_cursorEpoch = 1;
    ProbeTarget m_probe;
    DateMemo m_dates;
    bool m_wrote = false;           // the transaction holds writes
    std::optional<MajError> m_lost; // why SQLite rolled them back
    bool m_ownWrite = false;
    QString m_ownTable;
    QByteArray m_ownTableUtf8;
    std::vector<HookEvent> m_ownEvents;
};

// Case-folded key of a text under the engine's equality: letter case ignored, accents kept.
QString foldKey(QString text);

} // namespace maj::jet
