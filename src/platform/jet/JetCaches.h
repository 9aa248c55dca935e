#pragma once

#include "platform/jet/JetTypes.h"
#include "platform/jet/Sqlite.h"

#include <QHash>
#include <QString>
#include <QVarLengthArray>

#include <memory>
#include <vector>

struct sqlite3;

// What a connection keeps between statements, each cache with its own rule for when it is stale.
// The connection tells them all at once, through forget(), what it could not follow.
namespace maj::jet {

// What a connection could not follow: rows written behind the caches' back (another connection's
// commit, a failed write), or definitions that may have changed too (a statement changing them, a
// rollback, another connection's commit that changed the schema).
enum class Stale
{
    Rows,
    Schema
};

// Case-folded key of a text under the engine's equality: letter case ignored, accents kept.
QString foldKey(QString text);
// A name's place in a map of names as written and case-folded; -1 when missing. The name as
// written is tried first: most callers write it so, and it costs no folding.
int columnIndex(const QHash<QString, int>& byName, const QString& name);

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
    QHash<QString, int> byName;     // as created and case-folded
    mutable bool forgotten = false; // by the cache: the table may be defined otherwise now

    int indexOf(const QString& column) const { return columnIndex(byName, column); }
};

// Prepared statements by their text. SQLite prepares a statement again when the definitions
// change, so rows written elsewhere leave them good: stale only when definitions may have changed.
class StatementCache
{
public:
    std::shared_ptr<sqlite::Statement> get(sqlite::Connection& db, const QString& sql, sqlite::Context context);
    void forget(Stale stale);

private:
    QHash<QString, std::shared_ptr<sqlite::Statement>> m_statements;
};

// The tables' definitions by name. Stale when definitions may have changed: a holder asks
// current() whether the definition it holds may still be the table's.
class TableCache
{
public:
    // Null when there is none.
    std::shared_ptr<const TableInfo> get(sqlite::Connection& db, StatementCache& statements, const QString& name);
    static bool current(const TableInfo& info) { return !info.forgotten; }
    void forget(Stale stale);

private:
    QHash<QString, std::shared_ptr<const TableInfo>> m_byName; // as asked and in lower case
};

// The rows of a table grouped by one column's value under the engine's text equality, for the
// equality criteria that must not scan the table. Built from one scan; SQLite's pre-update hook
// tells it each row written since, with the column's value before and after.
class Lookup
{
public:
    // Rows holding a text equal to `text` (letter case ignored, accents kept), ascending.
    std::vector<qint64> equal(QString text) const { return rows(foldKey(std::move(text)), false); }
    std::vector<qint64> nulls() const { return rows({}, true); }

private:
    friend class Lookups;
    Lookup(sqlite::Connection& db, const TableInfo& table, int position);
    // Appends a text of the scan, folded, to m_texts.
    void appendFolded(QByteArrayView utf8);
    // A row changed since the scan now holds `key` ("t" and the folded text, "n" for null, empty
    // for anything else or a row deleted).
    void changed(qint64 rowid, const QString& key);
    std::vector<qint64> rows(const QString& folded, bool null) const;

    QString m_tableName;
    QByteArray m_table; // as SQLite names it to the hook
    int m_position;     // in the table's definition
    // The folded texts of the scan, one after the other in rowid order: the groups point into it,
    // so that a walk of the table in row order probes them in memory order, and a look-up costs
    // one allocation rather than one per row.
    QString m_texts;
    // Each value with its rows, in the order the scan met them, ids ascending; most values are
    // held by one row, whose id stays inside the entry.
    struct Group
    {
        QStringView text;
        QVarLengthArray<qint64, 1> rows;
    };
    std::vector<Group> m_groups;
    // The group of the last probe: a walk in row order probes the values in the order the scan
    // met them, so the next probe is most often for the next group, found without the index.
    mutable qsizetype m_lastGroup = -1;
    QHash<QStringView, qsizetype> m_byText;
    std::vector<qint64> m_nulls;
    // The rows changed since the scan: what each holds now, and the other way round.
    QHash<qint64, QString> m_changed;
    QHash<QString, std::vector<qint64>> m_changedByKey;
};

// The look-ups of the connection, told of every row it writes. Stale on anything else: rows
// written by another connection, a write that failed or was rolled back, a definition changed.
class Lookups
{
public:
    // The row a recordset's UPDATE is about to write and the columns it sets, until it is written
    // (columns null): the look-ups of the other columns are left alone without reading the row's
    // old values, which would cost each update an unpacking of its row.
    struct RowUpdate
    {
        QString table;
        qint64 rowid = 0;
        const std::vector<bool>* columns = nullptr;
    };

    // Built on first use with one scan. The cache owns it; a holder keeps a weak pointer.
    std::shared_ptr<Lookup> get(sqlite::Connection& db, const TableInfo& table, int column);
    RowUpdate& rowUpdate() { return m_rowUpdate; }
    // From the pre-update hook.
    void written(sqlite3* db, int op, const char* table, qint64 before, qint64 after);
    void forget(Stale) noexcept;

private:
    std::vector<std::shared_ptr<Lookup>> m_lookups;
    RowUpdate m_rowUpdate;
};

// Cursors: statements a recordset keeps stepped on its current row between calls, so that a move
// to the next row is one step and a field is decoded only when it is read. A held cursor is off
// its row once any row is written or the transaction ends, when forget() resets it, so that no
// read lock outlives the transaction.
class HeldCursors
{
public:
    struct Cursor
    {
        sqlite::Statement statement;
        quint64 heldAt = 0;
    };
    // The cursor is stepped onto a row: on() until a row is written or forget().
    void hold(Cursor& cursor);
    bool on(const Cursor& cursor) const { return cursor.heldAt == m_moves; }
    void rowWritten() { ++m_moves; }
    // Before the cursor is destroyed.
    void drop(const Cursor* cursor) noexcept { std::erase(m_held, cursor); }
    void forget() noexcept;

private:
    std::vector<Cursor*> m_held;
    quint64 m_moves = 1;
};

} // namespace maj::jet
