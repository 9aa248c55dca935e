#pragma once

#include "platform/MajError.h"
#include "platform/jet/JetCaches.h"
#include "platform/jet/JetTypes.h"
#include "platform/jet/Sqlite.h"

#include <QString>

#include <memory>
#include <optional>

// One SQLite connection per database file, shared by every data source and direct database on
// it, with the pending transaction that the step's Transaction commits or rolls back.
namespace maj::jet {

using sqlite::Context;

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
    // rows the look-ups were told of.
    template <class Write> void write(const Write& statement)
    {
        begin();
        m_wrote = true;
        try {
            statement();
        } catch (const MajError&) {
            forget(Stale::Rows);
            throw;
        }
    }
    Lookups::RowUpdate& rowUpdate() { return m_lookups.rowUpdate(); }
    // Ends the transaction, if any: what the step wrote is on disk and the file is unlocked. A
    // reader of another process is waited for a bounded time. Throws MajError (61 disk full, 3043
    // I/O error, 3051 busy) after rolling back, also when SQLite had already rolled back writes,
    // and 3043 when the writes went to a file no longer at the path (replaced by another program).
    void commit();
    void rollback() noexcept;

    // A cached prepared statement, reset before it is handed out; a caller that keeps it resets
    // it inside the transaction (db()) before each use.
    std::shared_ptr<sqlite::Statement> statement(const QString& sql, Context context = Context::Query)
    {
        begin();
        return m_statements.get(m_db, sql, context);
    }

    // The recordsets' cursors; the connection resets every held one when a transaction ends.
    HeldCursors& cursors() { return m_cursors; }

    // Every cache of the connection is told what it could not follow.
    void forget(Stale stale);

    // What the connection's conversions of dates remember.
    DateMemo& dates() { return m_dates; }
    // The last probe query read whole: its text up to the column's name, its table and column, and
    // the definition and look-up it was served from. The duplicate check writes the same probe once
    // per row, only its text changing.
    struct ProbeMemo
    {
        QString prefix;
        QString table;
        QString column;
        std::shared_ptr<const TableInfo> info;
        std::weak_ptr<Lookup> lookup; // gone when the look-ups are forgotten
    };
    ProbeMemo& lastProbe() { return m_lastProbe; }

    // The definition of a table named in any letter case; null when there is none.
    std::shared_ptr<const TableInfo> table(const QString& name)
    {
        begin();
        return m_tables.get(m_db, m_statements, name);
    }
    // Whether a definition is still the table's; another connection's commit is noticed here.
    bool current(const TableInfo& info)
    {
        begin();
        return TableCache::current(info);
    }
    // The look-up of a column's values, kept in step by the pre-update hook.
    std::shared_ptr<Lookup> lookup(const TableInfo& table, int column)
    {
        begin();
        return m_lookups.get(m_db, table, column);
    }

private:
    Connection(QString hostPath, sqlite::Connection db);
    void begin();
    // Whether the path names the file opened.
    bool isFile() const;
    void noteLostWrites();
    void registerFunctions();
    static void onPreUpdate(void* self, sqlite3* db, int op, const char* database, const char* table, qint64 before,
                            qint64 after);

    QString m_hostPath;
    sqlite::Connection m_db;
    std::optional<std::pair<quint64, quint64>> m_file; // device and inode of the file opened
    std::unique_ptr<sqlite::Statement> m_dataVersion;
    qint64 m_lastDataVersion = -1;
    StatementCache m_statements;
    TableCache m_tables;
    Lookups m_lookups;
    HeldCursors m_cursors;
    DateMemo m_dates;
    ProbeMemo m_lastProbe;
    bool m_wrote = false;           // the transaction holds writes
    std::optional<MajError> m_lost; // why SQLite rolled them back behind the connection's back
};

} // namespace maj::jet
