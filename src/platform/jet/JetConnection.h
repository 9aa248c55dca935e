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

// Case-folded key of a text under the engine's equality: letter case ignored, accents kept.
QString foldKey(QString text);
// A name's place in a map of names as written and case-folded; -1 when missing. The name as
// written is tried first: most callers write it so, and it costs no folding.
int columnIndex(const QHash<QString, int>& byName, const QString& name);

// The rows of a table grouped by one column's value under the engine's text equality, for the
// equality criteria that must not scan the table. Built from one scan; SQLite's pre-update hook
// tells it each row written since, with the column's value before and after.
class Lookup
{
public:
    Lookup(const QString& table, QString column, int position)
        : m_tableName(table), m_table(table.toUtf8()), m_column(std::move(column)), m_position(position)
    {}
    // Rows holding a text equal to `text` (letter case ignored, accents kept), ascending.
    std::vector<qint64> equal(QString text) const { return rows(QLatin1Char('t') + foldKey(std::move(text))); }
    std::vector<qint64> nulls() const { return rows(QStringLiteral("n")); }

private:
    friend class Connection;
    // The scan, in rowid order: scanned() for each text, then index().
    void scanned(qint64 rowid, QByteArrayView utf8);
    void index();
    // A row changed since the scan now holds `key` ("t" and the folded text, "n" for null, empty
    // for anything else or a row deleted).
    void changed(qint64 rowid, const QString& key);
    std::vector<qint64> rows(const QString& key) const;

    QString m_tableName;
    QByteArray m_table; // as SQLite names it to the hook
    QString m_column;
    int m_position; // in the table's definition
    // The folded texts of the scan, one after the other in rowid order: the keys point into it,
    // so that a walk of the table in row order probes them in memory order, and a look-up costs
    // one allocation rather than one per row.
    QString m_texts;
    struct Scanned
    {
        qint64 rowid;
        qsizetype from;
        qsizetype size;
    };
    std::vector<Scanned> m_scanned;
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

using sqlite::Context;

[[noreturn]] void raise(int number, const QString& description = {});

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
    QHash<QString, int> byName; // as created and case-folded

    int indexOf(const QString& column) const { return columnIndex(byName, column); }
};

class Connection
{
public:
    // Opens an existing database file (3051 when it is locked, 3343 when it is not a database).
    static std::shared_ptr<Connection> open(const QString& hostPath);

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
    // Whether the path still names the file the connection opened. Inside a transaction it does
    // (a probe opened once per row must not cost a look at the path each time): a file replaced
    // meanwhile fails the commit.
    bool sameFile() const;

    // Runs a write. The transaction takes the file for writing at the first write statement,
    // which fails (3051) while another connection writes it. A write that fails may have changed
    // rows the look-ups were told of: they are forgotten.
    template <class Write> void write(const Write& statement)
    {
        begin();
        m_wrote = true;
        try {
            statement();
        } catch (const MajError&) {
            forget();
            throw;
        }
    }
    // The row a recordset's UPDATE is about to write and the columns it sets, until it is written
    // (columns null): the look-ups of the other columns are left alone without reading the row's
    // old values, which would cost each update an unpacking of its row.
    struct RowUpdate
    {
        QString table;
        qint64 rowid = 0;
        const std::vector<bool>* columns = nullptr;
    };
    RowUpdate& rowUpdate() { return m_rowUpdate; }
    // Ends the transaction, if any: what the step wrote is on disk and the file is unlocked. A
    // reader of another process is waited for a bounded time. Throws MajError (61 disk full, 3043
    // I/O error, 3051 busy) after rolling back, also when SQLite had already rolled back writes,
    // and 3043 when the writes went to a file no longer at the path (replaced by another program).
    void commit();
    void rollback() noexcept;

    // A cached prepared statement, reset before it is handed out.
    sqlite::Statement& statement(const QString& sql, Context context = Context::Query)
    {
        return *sharedStatement(sql, context);
    }
    // The same, for a caller that keeps it: it calls rewind() before each use.
    std::shared_ptr<sqlite::Statement> sharedStatement(const QString& sql, Context context = Context::Query);
    void rewind(sqlite::Statement& statement)
    {
        begin();
        statement.rewind();
    }

    // Cursors: statements a recordset keeps stepped on its current row between calls, so that a
    // move to the next row is one step and a field is decoded only when it is read. Each is
    // borrowed from a pool (a probe opened once per row prepares nothing) and given back; the
    // connection resets every held one when a transaction ends, so that no read lock outlives it.
    std::shared_ptr<sqlite::Statement> borrowStatement(const QString& sql);
    void returnStatement(const QString& sql, std::shared_ptr<sqlite::Statement> statement) noexcept;
    void holdCursor(const std::shared_ptr<sqlite::Statement>& statement) { m_heldCursors.push_back(statement); }
    void releaseCursors() noexcept;

    // What cached state is compared to. epoch(): changes whenever the connection forgot every
    // table definition and look-up (another connection committed, a statement was run directly,
    // a rollback); other connections can commit only between two transactions of this one, so
    // PRAGMA data_version is checked when one begins. changes(): changes also with every row
    // written and every reset of the cursors, so that a cursor is stepped on only while it holds.
    quint64 epoch()
    {
        begin();
        return m_epoch;
    }
    quint64 changes() const { return m_changes; }
    // Every cache of the connection is stale.
    void forget();

    // What the connection's conversions of dates remember.
    DateMemo& dates() { return m_dates; }
    // The last probe query read whole: its text up to the column's name, its table and column. The
    // duplicate check writes the same probe once per row, only its text changing.
    struct ProbeMemo
    {
        QString prefix;
        QString table;
        QString column;
    };
    ProbeMemo& lastProbe() { return m_lastProbe; }

    // The definition of a table named in any letter case; null when there is none.
    std::shared_ptr<const TableInfo> table(const QString& name);
    // The look-up of a column's values, built on first use with one scan and kept in step by the
    // pre-update hook. The connection owns it; a holder keeps a weak pointer.
    std::shared_ptr<Lookup> lookup(const TableInfo& table, int column);

private:
    Connection(QString hostPath, sqlite::Connection db);
    void begin();
    void noteLostWrites();
    void registerFunctions();
    static void onPreUpdate(void* self, sqlite3* db, int op, const char* database, const char* table, qint64 before,
                            qint64 after);

    QString m_hostPath;
    sqlite::Connection m_db;
    quint64 m_device = 0;
    quint64 m_inode = 0;
    std::unique_ptr<sqlite::Statement> m_dataVersion;
    qint64 m_lastDataVersion = -1;
    quint64 m_epoch = 1;
    quint64 m_changes = 1;
    QHash<QString, std::shared_ptr<sqlite::Statement>> m_statements;
    QHash<QString, std::shared_ptr<const TableInfo>> m_tableInfos; // by lower-case name
    std::vector<std::shared_ptr<Lookup>> m_lookups;
    QMultiHash<QString, std::shared_ptr<sqlite::Statement>> m_pool;
    std::vector<std::weak_ptr<sqlite::Statement>> m_heldCursors;
    DateMemo m_dates;
    ProbeMemo m_lastProbe;
    RowUpdate m_rowUpdate;
    bool m_wrote = false;           // the transaction holds writes
    std::optional<MajError> m_lost; // why SQLite rolled them back behind the connection's back
};

} // namespace maj::jet
