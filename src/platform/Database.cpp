#include "Database.h"

#include "JetConnection.h"
#include "JetRecordset.h"
#include "JetSchema.h"
#include "Logging.h"

namespace maj {

void commitPendingWrites() noexcept
{
    jet::Connection::commitAll();
}

DataSource::DataSource(QString name) : m_name(std::move(name)) {}

DataSource::~DataSource()
{
    release();
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
        // A record source set anew on the same file (once per row in the duplicate check) keeps
        // the connection without resolving the path again.
        if (m_connection && m_connectedPath == m_databaseName &&
            static_cast<jet::Connection*>(m_connection.get())->sameFile())
            connection = std::static_pointer_cast<jet::Connection>(m_connection);
        else
            connection = jet::Connection::acquire(m_databaseName);
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

void DataSource::release() noexcept
{
    m_databaseName.clear();
    m_recordset.reset();
    if (m_connection) {
        static_cast<jet::Connection*>(m_connection.get())->commit();
        m_connection.reset();
    }
    m_connectedPath.clear();
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
