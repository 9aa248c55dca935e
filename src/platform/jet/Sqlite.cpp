#include "platform/jet/Sqlite.h"

#include "platform/Format.h"
#include "platform/Logging.h"

#include <QDateTime>

#include <sqlite3.h>

#include <iterator>

namespace maj::sqlite {

namespace {

const QString kDiskOrNetwork = QStringLiteral("Erreur de disque ou de réseau.");

// The name after "no such table: " / "no such column: ".
QString subject(const QString& message)
{
    const qsizetype colon = message.lastIndexOf(QLatin1String(": "));
    return colon < 0 ? QString() : message.mid(colon + 2);
}

MajError translate(int code, const QString& message, Context context)
{
    switch (code & 0xff) {
    case SQLITE_CONSTRAINT:
        switch (code) {
        case SQLITE_CONSTRAINT_UNIQUE:
        case SQLITE_CONSTRAINT_PRIMARYKEY:
            return MajError(err::DuplicateKey);
        case SQLITE_CONSTRAINT_NOTNULL:
            return MajError(
                err::NullNotAllowed,
                QStringLiteral("Le champ '%1' ne peut pas contenir une valeur Null.").arg(subject(message)));
        default:
            return MajError(err::ValidationRule,
                            QStringLiteral("Une ou plusieurs valeurs sont interdites par la règle de "
                                           "validation définie pour ce champ."));
        }
    case SQLITE_READONLY:
        return MajError(err::ReadOnly,
                        QStringLiteral("Impossible de mettre à jour. Base de données ou objet en lecture seule."));
    case SQLITE_NOTADB:
        return MajError(err::UnrecognizedFormat, QStringLiteral("Format de base de données non reconnu."));
    case SQLITE_CORRUPT:
        return MajError(err::Corrupt, QStringLiteral("Impossible d'ouvrir la base de données : elle est peut-être "
                                                     "endommagée."));
    case SQLITE_CANTOPEN:
        // A write's file is open already: what it cannot open is its journal, which the disk refused
        // (full, failing, read-only), so the write is lost as with any other disk failure.
        if (context == Context::Write)
            return MajError(err::DiskOrNetwork, kDiskOrNetwork);
        [[fallthrough]];
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return MajError(err::CannotOpenFile);
    case SQLITE_FULL:
        return MajError(err::DiskFull);
    case SQLITE_IOERR:
        return MajError(err::DiskOrNetwork, kDiskOrNetwork);
    case SQLITE_TOOBIG:
        return MajError(err::FieldTooSmall);
    case SQLITE_MISMATCH:
        return MajError(err::ConversionError);
    default:
        break;
    }
    const auto says = [&message](const char* what) {
        return message.contains(QLatin1String(what), Qt::CaseInsensitive);
    };
    if (says("no such table"))
        return MajError(err::TableNotFound);
    if (says("no such column")) {
        if (context == Context::Criteria)
            return MajError(err::UnknownField,
                            QStringLiteral("Le moteur de base de données ne reconnaît pas '%1' comme nom de champ "
                                           "ou expression correct.")
                                .arg(subject(message)));
        return MajError(err::TooFewParameters);
    }
    if (says("no such function"))
        return MajError(err::UndefinedFunction,
                        QStringLiteral("Fonction '%1' non définie dans l'expression.").arg(subject(message)));
    if (says("duplicate column name"))
        return MajError(err::FieldDefinedTwice, QStringLiteral("Impossible de définir le champ plus d'une fois."));
    if (says("already exists"))
        return MajError(err::TableExists,
                        QStringLiteral("La table '%1' existe déjà.").arg(message.section(QLatin1Char(' '), 1, 1)));
    switch (context) {
    case Context::Criteria:
        return MajError(err::ExpressionSyntax);
    case Context::Query:
        return MajError(err::QuerySyntax);
    case Context::Open:
        return MajError(err::CannotOpenFile);
    case Context::Write:
        break;
    }
    return MajError(err::Reserved, QStringLiteral("Erreur réservée (%1).").arg(message));
}

} // namespace

void Closer::operator()(sqlite3* db) const noexcept
{
    sqlite3_close_v2(db);
}

void Finalizer::operator()(sqlite3_stmt* stmt) const noexcept
{
    sqlite3_finalize(stmt);
}

Connection::Connection(const QString& hostPath, Mode mode) : m_lastFailure(err::DiskOrNetwork, kDiskOrNetwork)
{
    // By Mode.
    constexpr int kFlags[] = {SQLITE_OPEN_READWRITE, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, SQLITE_OPEN_READONLY};
    static_assert(std::size(kFlags) == size_t(Mode::ReadOnly) + 1);
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(hostPath.toUtf8().constData(), &db, SQLITE_OPEN_NOMUTEX | kFlags[int(mode)], nullptr);
    m_db.reset(db);
    check(rc, Context::Open);
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 0);
}

Connection::~Connection() = default;
Connection::Connection(Connection&&) noexcept = default;
Connection& Connection::operator=(Connection&&) noexcept = default;

void Connection::check(int rc, Context context)
{
    if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE)
        return;
    const int code = m_db ? sqlite3_extended_errcode(m_db.get()) : rc;
    const QString message = QString::fromUtf8(m_db ? sqlite3_errmsg(m_db.get()) : sqlite3_errstr(rc));
    qCDebug(lcDb).noquote() << "SQLite:" << message;
    // The connection's own code carries the extended one; a code it does not hold (a bind's) is taken as given.
    m_lastFailure = translate((code & 0xff) == (rc & 0xff) ? code : rc, message, context);
    throw m_lastFailure;
}

void Connection::exec(const QString& sql, Context context)
{
    check(tryExec(sql), context);
}

int Connection::tryExec(const QString& sql) noexcept
{
    return sqlite3_exec(m_db.get(), sql.toUtf8().constData(), nullptr, nullptr, nullptr);
}

Statement Connection::prepare(const QString& sql, Context context)
{
    sqlite3_stmt* stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    check(sqlite3_prepare_v2(m_db.get(), utf8.constData(), int(utf8.size()), &stmt, nullptr), context);
    return Statement(*this, stmt, context);
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

Statement::Statement(Connection& connection, sqlite3_stmt* stmt, Context context)
    : m_connection(&connection), m_stmt(stmt), m_context(context)
{}
Statement::~Statement() = default;
Statement::Statement(Statement&&) noexcept = default;
Statement& Statement::operator=(Statement&&) noexcept = default;

void Statement::bind(int index, const QVariant& value)
{
    sqlite3_stmt* s = m_stmt.get();
    const int type = value.typeId();
    if (!value.isValid() || value.isNull())
        return check(sqlite3_bind_null(s, index));
    if (fmt::isWholeNumber(type))
        return check(sqlite3_bind_int64(s, index, value.toLongLong()));
    if (type == QMetaType::Bool)
        return check(sqlite3_bind_int(s, index, value.toBool() ? 1 : 0));
    if (type == QMetaType::Double || type == QMetaType::Float)
        return check(sqlite3_bind_double(s, index, value.toDouble()));
    if (type == QMetaType::QByteArray) {
        const QByteArray bytes = value.toByteArray();
        return check(sqlite3_bind_blob(s, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT));
    }
    const QByteArray text =
        (type == QMetaType::QDateTime ? value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
         : type == QMetaType::QDate   ? value.toDate().toString(Qt::ISODate)
                                      : value.toString())
            .toUtf8();
    check(sqlite3_bind_text(s, index, text.constData(), int(text.size()), SQLITE_TRANSIENT));
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_stmt.get());
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt.get());
    check(rc);
    return false;
}

void Statement::rewind()
{
    sqlite3_reset(m_stmt.get());
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

} // namespace maj::sqlite
