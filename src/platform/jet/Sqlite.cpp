#include "platform/jet/Sqlite.h"

#include "platform/Format.h"

#include <QDateTime>

#include <sqlite3.h>

namespace maj::sqlite {

SqliteError::SqliteError(int code, int extendedCode, QString message)
    : m_code(code), m_extended(extendedCode), m_message(std::move(message)), m_what(m_message.toUtf8())
{}

void Connection::Closer::operator()(sqlite3* db) const noexcept
{
    sqlite3_close_v2(db);
}

Connection::Connection(const QString& hostPath, Mode mode)
{
    int flags = SQLITE_OPEN_NOMUTEX;
    switch (mode) {
    case Mode::ReadWrite:
        flags |= SQLITE_OPEN_READWRITE;
        break;
    case Mode::ReadWriteCreate:
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        break;
    case Mode::ReadOnly:
        flags |= SQLITE_OPEN_READONLY;
        break;
    }
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(hostPath.toUtf8().constData(), &db, flags, nullptr);
    m_db.reset(db);
    if (rc != SQLITE_OK) {
        const QString message = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
        const int extended = db ? sqlite3_extended_errcode(db) : rc;
        throw SqliteError(rc, extended, message);
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 0);
}

Connection::~Connection() = default;
Connection::Connection(Connection&&) noexcept = default;
Connection& Connection::operator=(Connection&&) noexcept = default;

void Connection::fail(int rc) const
{
    throw SqliteError(rc & 0xff, rc, QString::fromUtf8(sqlite3_errmsg(m_db.get())));
}

void Connection::exec(const QString& sql)
{
    char* error = nullptr;
    const int rc = sqlite3_exec(m_db.get(), sql.toUtf8().constData(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const QString message = error ? QString::fromUtf8(error) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_free(error);
        throw SqliteError(rc & 0xff, sqlite3_extended_errcode(m_db.get()), message);
    }
}

Statement Connection::prepare(const QString& sql)
{
    sqlite3_stmt* stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(m_db.get(), utf8.constData(), int(utf8.size()), &stmt, nullptr);
    if (rc != SQLITE_OK)
        fail(rc);
    return Statement(*this, stmt);
}

qint64 Connection::lastInsertRowId() const
{
    return sqlite3_last_insert_rowid(m_db.get());
}

int Connection::changes() const
{
    return sqlite3_changes(m_db.get());
}

bool Connection::inTransaction() const
{
    return sqlite3_get_autocommit(m_db.get()) == 0;
}

void Statement::Finalizer::operator()(sqlite3_stmt* stmt) const noexcept
{
    sqlite3_finalize(stmt);
}

Statement::Statement(const Connection& connection, sqlite3_stmt* stmt) : m_connection(&connection), m_stmt(stmt) {}
Statement::~Statement() = default;
Statement::Statement(Statement&&) noexcept = default;
Statement& Statement::operator=(Statement&&) noexcept = default;

void Statement::bind(int index, const QVariant& value)
{
    sqlite3_stmt* s = m_stmt.get();
    int rc = SQLITE_OK;
    if (!value.isValid() || value.isNull()) {
        rc = sqlite3_bind_null(s, index);
    } else if (fmt::isWholeNumber(value.typeId())) {
        rc = sqlite3_bind_int64(s, index, value.toLongLong());
    } else {
        switch (value.typeId()) {
        case QMetaType::Bool:
            rc = sqlite3_bind_int(s, index, value.toBool() ? 1 : 0);
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(s, index, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            rc = sqlite3_bind_blob(s, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QDateTime: {
            const QByteArray text = value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
            rc = sqlite3_bind_text(s, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QDate: {
            const QByteArray text = value.toDate().toString(Qt::ISODate).toUtf8();
            rc = sqlite3_bind_text(s, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray text = value.toString().toUtf8();
            rc = sqlite3_bind_text(s, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            break;
        }
        }
    }
    if (rc != SQLITE_OK)
        m_connection->fail(rc);
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_stmt.get());
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt.get());
    m_connection->fail(rc);
}

void Statement::reset()
{
    sqlite3_reset(m_stmt.get());
    sqlite3_clear_bindings(m_stmt.get());
}

int Statement::columnCount() const
{
    return sqlite3_column_count(m_stmt.get());
}

QString Statement::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(m_stmt.get(), column));
}

QVariant Statement::column(int column) const
{
    sqlite3_stmt* s = m_stmt.get();
    switch (sqlite3_column_type(s, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(s, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(s, column));
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, column)),
                                          sqlite3_column_bytes(s, column)));
    case SQLITE_BLOB:
        return QVariant(
            QByteArray(static_cast<const char*>(sqlite3_column_blob(s, column)), sqlite3_column_bytes(s, column)));
    default:
        return QVariant();
    }
}

Transaction::Transaction(Connection& connection) : m_connection(connection)
{
    m_connection.exec(QStringLiteral("BEGIN"));
}

Transaction::~Transaction()
{
    if (!m_done) {
        try {
            m_connection.exec(QStringLiteral("ROLLBACK"));
        } catch (...) {
            // Nothing to do: a failed rollback leaves SQLite to roll back on close.
        }
    }
}

void Transaction::commit()
{
    m_connection.exec(QStringLiteral("COMMIT"));
    m_done = true;
}

} // namespace maj::sqlite
