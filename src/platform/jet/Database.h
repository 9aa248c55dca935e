#pragma once

#include <QHash>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

// The database engine: the behaviour the steps expect of Jet and DAO, on SQLite 3 files.
//
// A value is a QVariant: null is an invalid QVariant; text QString; whole number qlonglong;
// floating number double; yes/no bool; date/time QDateTime. Every failure throws MajError with
// the old engine's numbers (3021, 3022, 3024, 3075, 3077, 3078, 3163, 3265...).
//
// Every data source of one engine on the same file shares one connection. A step's reads and
// writes run in one transaction per file; until it ends the file is locked for reading (other
// programs cannot commit to it). A failed commit throws MajError (61 disk full, 3043 disk or
// network error or a file replaced meanwhile, 3051 a reader held the file past the wait) after
// rolling that file's writes back: a failure, never a silent loss. Writes become durable in these
// places only:
// - Transaction::commit(), at the end of each step (runStep), also after its failure, so that what
//   the step saved before it stays saved; a step run inside another commits the outer one's writes
//   so far as well (one transaction per file).
// - DataSource::release(), and refresh() onto another file: a connection nobody holds any longer
//   rolls back, and a released file must be free for a copy or for another program.
// - Engine::prepareCopy(): a byte-for-byte copy holds only what is committed.
// - DirectDatabase::close(): a schema change ends with its database.
//
// Dates are stored as ISO 8601 text, "yyyy-MM-dd HH:mm:ss" (midnight for a pure date), yes/no as
// 1 and 0, so that other SQLite tools read the files.
namespace maj {

using Value = QVariant;

namespace jet {
class Connection;
}
class DirectDatabase;

// The engine of a run: the one connection of each database file, shared by every data source and
// direct database on it. The run's context owns it; what nobody committed is rolled back when the
// connections go.
class Engine
{
public:
    Engine() = default;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Commits every file's pending writes, each on its own: a file that cannot be committed is
    // rolled back and the others are committed all the same; the first failure is thrown.
    void commit();
    void rollback() noexcept;
    // Before a database file is copied byte for byte: commits every pending write, and rolls back
    // the journal a crash may have left beside the file, so that the copy is a consistent
    // database.
    void prepareCopy(const QString& windowsPath);
    // Opens a file shared, for reading and writing, for schema changes (3024 when missing).
    std::unique_ptr<DirectDatabase> openDirect(const QString& windowsPath);
    // The connection of a file given by its Windows path, opened on first use: 3044 when its
    // folder does not exist, 3024 when the file does not, 3051 when it is locked, 3343 when it is
    // not a database. A file replaced since is opened anew.
    std::shared_ptr<jet::Connection> connection(const QString& windowsPath);

private:
    QHash<QString, std::weak_ptr<jet::Connection>> m_files; // by canonical host path
    // Every connection alive, also one whose file was replaced: its writes are committed too.
    std::vector<std::weak_ptr<jet::Connection>> m_open;
};

// The guard of a step's writes, the one transaction class: commit() commits every file's pending
// writes; the destructor rolls them back unless commit() ran.
class Transaction
{
public:
    explicit Transaction(Engine& engine) : m_engine(engine) {}
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Engine& m_engine;
    bool m_committed = false;
};

class Recordset
{
public:
    virtual ~Recordset() = default;
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // Before the first record / past the last one. An empty recordset is both.
    virtual bool isBof() const = 0;
    virtual bool isEof() const = 0;
    // Moving first or last on an empty recordset is 3021. Moving drops a pending add or edit.
    virtual void moveFirst() = 0;
    virtual void moveLast() = 0;
    virtual void moveNext() = 0;
    // Records visited so far; complete after moveLast().
    virtual int recordCount() const = 0;

    // Makes the first record meeting a Jet criterion ("[code inami] = '308335.'") current, or sets
    // noMatch(). A malformed criterion is 3077. An equality criterion does not scan the table.
    virtual void findFirst(const QString& criterion) = 0;
    virtual bool noMatch() const = 0;

    // Only a table's recordset is updatable; a query's refuses these (3027 style errors).
    virtual bool isUpdatable() const = 0;
    virtual void addNew() = 0;
    virtual void edit() = 0;
    // Writes the pending add or edit: 3022 on a unique index violation, 3163 on text too long.
    virtual void update() = 0;
    virtual void cancelUpdate() = 0;
    virtual void deleteCurrent() = 0;

    virtual int fieldCount() const = 0;
    // A position beyond the last field, or an unknown name, is 3265. Names ignore letter case.
    virtual QString fieldName(int position) const = 0;
    virtual Value field(int position) const = 0;
    virtual Value field(const QString& name) const = 0;
    // Converts the value to the column's declared type, as Jet does ("01/01/2021" into a date
    // column reads day/month/year under the regional settings).
    virtual void setField(int position, const Value& value) = 0;
    virtual void setField(const QString& name, const Value& value) = 0;

protected:
    Recordset() = default;
};

// A named data control: a database file (Windows path) and a record source (table name or query
// text) bound to an open recordset.
class DataSource
{
public:
    DataSource(Engine& engine, QString name);
    ~DataSource();
    DataSource(const DataSource&) = delete;
    DataSource& operator=(const DataSource&) = delete;

    const QString& name() const { return m_name; }
    const QString& databaseName() const { return m_databaseName; }
    const QString& recordSource() const { return m_recordSource; }
    void setDatabaseName(const QString& windowsPath) { m_databaseName = windowsPath; }
    void setRecordSource(const QString& recordSource) { m_recordSource = recordSource; }

    // Opens the recordset of the record source on the database file, positioned on the first
    // record (or past the end when empty). An empty database name closes and releases the file.
    // An empty record source opens the file and no recordset, and raises nothing (recordset() is
    // then 91). A missing file is 3024 (3044 when its folder is missing), a missing table 3078, a
    // locked file 3051; after a failure the data source holds no recordset and no file.
    void refresh();
    // Sets the database file, then the record source, then refreshes.
    void bind(const QString& databaseName, const QString& recordSource);
    // Sets the database file to the empty text and refreshes: commits and frees the file. Fails
    // only when the commit does (the file is freed all the same); releasing twice is no failure.
    void release();

    bool isOpen() const { return m_recordset != nullptr; }
    // The open recordset; 91 when the data source holds none.
    Recordset& recordset();

private:
    Engine& m_engine;
    QString m_name;
    QString m_databaseName;
    QString m_recordSource;
    std::shared_ptr<jet::Connection> m_connection; // the file's, kept while open
    QString m_connectedPath;                       // the database name m_connection was opened for
    std::unique_ptr<Recordset> m_recordset;
};

// Direct access to a database file, for schema changes.
class DirectDatabase
{
public:
    enum class FieldType
    {
        YesNo,
        Integer,
        Long,
        Double,
        Text,
        Date,
        Memo
    };

    virtual ~DirectDatabase() = default;
    DirectDatabase(const DirectDatabase&) = delete;
    DirectDatabase& operator=(const DirectDatabase&) = delete;

    // Runs one statement of the Jet SQL dialect (ALTER TABLE t ALTER COLUMN c CHAR(40); ...).
    virtual void execute(const QString& jetSql) = 0;
    // Adds a column to a table at an ordinal position (3078 missing table, 3191 existing field).
    virtual void appendField(const QString& table, const QString& fieldName, FieldType type, int ordinalPosition) = 0;
    // Commits what the statements did and closes; a failed commit throws (and rolls back). A
    // database destroyed without close() rolls back.
    virtual void close() = 0;

protected:
    DirectDatabase() = default;
};

} // namespace maj
