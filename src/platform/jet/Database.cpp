#include "platform/jet/Database.h"

#include "platform/FileSystem.h"
#include "platform/Logging.h"
#include "platform/jet/JetConnection.h"
#include "platform/jet/JetRecordset.h"
#include "platform/jet/JetSchema.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace maj {

void commitPendingWrites()
{
    jet::Connection::commitAll();
}

Transaction::~Transaction()
{
    if (!m_committed)
        jet::Connection::rollbackAll();
}

void Transaction::commit()
{
    m_committed = true;
    jet::Connection::commitAll();
}

void prepareCopy(const QString& windowsPath)
{
    commitPendingWrites();
    const QString host = fs::hostPath(windowsPath);
    if (!QFileInfo::exists(host + QStringLiteral("-journal")))
        return;
    try {
        // SQLite rolls a journal left by a crash back at the first read, and leaves alone one that a
        // live writer holds (the copy then fails on its lock).
        sqlite::Connection db(host, sqlite::Connection::Mode::ReadWrite);
        sqlite3_busy_timeout(db.handle(), 5000);
        db.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    } catch (const sqlite::SqliteError& e) {
        jet::raise(e, jet::Context::Open);
    }
}

DataSource::DataSource(QString name) : m_name(std::move(name)) {}

DataSource::~DataSource()
{
    // Writes nobody committed are rolled back with the connection.
    m_recordset.reset();
}

void DataSource::refresh()
{
    if (m_databaseName.isEmpty()) {
        release();
        return;
    }
    // Whatever was open goes first: a refresh that fails leaves no recordset behind. The new
    // connection is taken before the old one is let go, so that a file rebound to itself keeps
    // its connection and look-ups.
    std::shared_ptr<jet::Connection> connection;
    try {
        m_recordset.reset();
        auto* current = static_cast<jet::Connection*>(m_connection.get());
        // A record source set anew on the same file (once per row in the duplicate check) keeps
        // the connection without resolving the path again.
        if (current && m_connectedPath == m_databaseName && current->sameFile()) {
            connection = std::static_pointer_cast<jet::Connection>(m_connection);
        } else {
            // What was written to the file it held is committed before another file is touched.
            if (current)
                current->commit();
            connection = jet::Connection::acquire(m_databaseName);
        }
    } catch (...) {
        m_connection.reset();
        m_connectedPath.clear();
        throw;
    }
    m_connection = connection;
    m_connectedPath = m_databaseName;
    // With no record source the file is open and no recordset is: recordset() is then 91.
    if (QStringView(m_recordSource).trimmed().isEmpty())
        return;
    try {
        m_recordset = jet::openRecordset(connection, m_recordSource);
    } catch (...) {
        m_connection.reset();
        m_connectedPath.clear();
        throw;
    }
}

void DataSource::bind(const QString& databaseName, const QString& recordSource)
{
    setDatabaseName(databaseName);
    setRecordSource(recordSource);
    refresh();
}

void DataSource::release()
{
    m_databaseName.clear();
    m_recordset.reset();
    m_connectedPath.clear();
    const auto connection = std::static_pointer_cast<jet::Connection>(std::move(m_connection));
    m_connection.reset();
    if (connection)
        connection->commit();
}

Recordset& DataSource::recordset()
{
    if (!m_recordset)
        jet::raise(err::ObjectNotSet);
    return *m_recordset;
}

std::unique_ptr<DirectDatabase> DirectDatabase::open(const QString& windowsPath)
{
    return jet::openDirect(windowsPath);
}

} // namespace maj
