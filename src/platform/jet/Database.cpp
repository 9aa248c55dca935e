#include "platform/jet/Database.h"

#include "platform/FileSystem.h"
#include "platform/Logging.h"
#include "platform/jet/JetConnection.h"
#include "platform/jet/JetRecordset.h"
#include "platform/jet/JetSchema.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

#include <sqlite3.h>

#include <optional>

namespace maj {

void Engine::commit()
{
    std::optional<MajError> failure;
    for (const auto& open : m_open) {
        try {
            if (const auto connection = open.lock())
                connection->commit();
        } catch (const MajError& e) {
            if (!failure)
                failure = e;
        }
    }
    if (failure)
        throw *failure;
}

void Engine::rollback() noexcept
{
    for (const auto& open : m_open) {
        if (const auto connection = open.lock())
            connection->rollback();
    }
}

std::shared_ptr<jet::Connection> Engine::connection(const QString& windowsPath)
{
    const auto invalid = [&windowsPath] {
        throw MajError(err::NotAValidPath, QStringLiteral("'%1' n'est pas un chemin d'accès valide.").arg(windowsPath));
    };
    QString host;
    try {
        host = fs::hostPath(windowsPath);
    } catch (const MajError&) {
        invalid();
    }
    const QFileInfo info(host);
    if (!info.isFile()) {
        if (!info.exists() && !info.dir().exists())
            invalid();
        throw MajError(err::DatabaseNotFound,
                       QStringLiteral("Le fichier de base de données '%1' est introuvable.").arg(windowsPath));
    }
    const QString key = info.canonicalFilePath();
    // A file copied over the one a connection holds is another file: SQLite would go on writing
    // the replaced one.
    if (auto existing = m_files.value(key).lock(); existing && existing->sameFile())
        return existing;
    auto connection = jet::Connection::open(key);
    m_files.insert(key, connection);
    std::erase_if(m_open, [](const auto& open) { return open.expired(); });
    m_open.push_back(connection);
    return connection;
}

Transaction::~Transaction()
{
    if (!m_committed)
        m_engine.rollback();
}

void Transaction::commit()
{
    m_committed = true;
    m_engine.commit();
}

void Engine::prepareCopy(const QString& windowsPath)
{
    commit();
    const QString host = fs::hostPath(windowsPath);
    if (!QFileInfo::exists(host + QStringLiteral("-journal")))
        return;
    // SQLite rolls a journal left by a crash back at the first read, and leaves alone one that a live
    // writer holds (the copy then fails on its lock).
    sqlite::Connection db(host, sqlite::Connection::Mode::ReadWrite);
    sqlite3_busy_timeout(db.handle(), 5000);
    db.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"), sqlite::Context::Open);
}

DataSource::DataSource(Engine& engine, QString name) : m_engine(engine), m_name(std::move(name)) {}

// Writes nobody committed are rolled back with the connection, after the recordset.
DataSource::~DataSource() = default;

void DataSource::refresh()
{
    if (m_databaseName.isEmpty()) {
        release();
        return;
    }
    // Whatever was open goes first: a refresh that fails leaves no recordset and no file behind.
    auto failed = qScopeGuard([this] {
        m_connection.reset();
        m_connectedPath.clear();
    });
    // A probe opened once per row on the same file may serve the next one.
    std::unique_ptr<Recordset> previous = std::move(m_recordset);
    // A record source set anew on the same file (once per row in the duplicate check) keeps the
    // connection without resolving the path again.
    if (!m_connection || m_connectedPath != m_databaseName || !m_connection->sameFile()) {
        previous.reset();
        // What was written to the file it held is committed before another file is touched.
        if (m_connection)
            m_connection->commit();
        // The new connection is taken before the old one is let go, so that a file rebound to
        // itself keeps its connection and look-ups.
        m_connection = m_engine.connection(m_databaseName);
    }
    m_connectedPath = m_databaseName;
    // With no record source the file is open and no recordset is: recordset() is then 91.
    if (!QStringView(m_recordSource).trimmed().isEmpty())
        m_recordset = jet::openRecordset(m_connection, m_recordSource, std::move(previous));
    failed.dismiss();
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
    const auto connection = std::move(m_connection);
    if (connection)
        connection->commit();
}

Recordset& DataSource::recordset()
{
    if (!m_recordset)
        throw MajError(err::ObjectNotSet);
    return *m_recordset;
}

std::unique_ptr<DirectDatabase> Engine::openDirect(const QString& windowsPath)
{
    return jet::openDirect(connection(windowsPath));
}

} // namespace maj
