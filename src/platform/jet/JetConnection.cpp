#include "platform/jet/JetConnection.h"

#include "platform/FileSystem.h"
#include "platform/Logging.h"
#include "platform/jet/JetSql.h"
#include "platform/jet/JetTypes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// The look-ups follow the writes through the pre-update hook, which Debian's SQLite is built with.
#define SQLITE_ENABLE_PREUPDATE_HOOK
#include <sqlite3.h>
#include <sys/stat.h>

#include <charconv>
#include <cmath>

namespace maj::jet {

namespace {

QString argText(sqlite3_value* value)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value)), sqlite3_value_bytes(value));
}

// The date a value of a query stands for: stored text, a date as typed, or a day count.
QDateTime argDate(sqlite3_value* value)
{
    switch (sqlite3_value_type(value)) {
    case SQLITE_TEXT: {
        const QString text = argText(value);
        const QDateTime stored = parseStoredDate(text);
        return stored.isValid() ? stored : parseRegionalDate(text);
    }
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
        const double serial = sqlite3_value_double(value);
        const double whole = std::floor(serial);
        const QDate day = QDate(1899, 12, 30).addDays(qint64(whole));
        return QDateTime(day, QTime::fromMSecsSinceStartOfDay(int(qRound64((serial - whole) * 86400000.0) % 86400000)));
    }
    default:
        return {};
    }
}

// The year of a date stored in its own form ("yyyy-MM-dd" or "yyyy-MM-dd HH:mm:ss") read straight
// from the text: the census runs year() over every treatment, and building a QDateTime (which
// asks the time zone) per row made it many times slower than the query around it.
bool storedYear(sqlite3_value* value, int& year)
{
    const int size = sqlite3_value_bytes(value);
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    if (sqlite3_value_type(value) != SQLITE_TEXT || size < 10 || (size > 10 && text[10] != ' '))
        return false;
    const auto number = [text](int from, int count, int& out) {
        return std::from_chars(text + from, text + from + count, out).ptr == text + from + count;
    };
    int month = 0;
    int day = 0;
    return text[4] == '-' && text[7] == '-' && number(0, 4, year) && number(5, 2, month) && number(8, 2, day) &&
           QDate::isValid(year, month, day);
}

// year(date), the one date function the census's query calls.
void yearOf(sqlite3_context* context, int, sqlite3_value** args)
{
    int year = 0;
    if (storedYear(args[0], year)) {
        sqlite3_result_int(context, year);
        return;
    }
    const QDateTime dt = argDate(args[0]);
    if (dt.isValid())
        sqlite3_result_int(context, dt.date().year());
    else
        sqlite3_result_null(context);
}

// The device and inode of the file at a path: another file put in its place has others.
std::optional<std::pair<quint64, quint64>> fileId(const QString& hostPath)
{
    struct stat st;
    if (::stat(QFile::encodeName(hostPath).constData(), &st) != 0)
        return std::nullopt;
    return std::pair{quint64(st.st_dev), quint64(st.st_ino)};
}

int compareNoCase(void*, int lengthA, const void* a, int lengthB, const void* b)
{
    const QStringView left(static_cast<const QChar*>(a), lengthA / 2);
    const QStringView right(static_cast<const QChar*>(b), lengthB / 2);
    return left.compare(right, Qt::CaseInsensitive);
}

} // namespace

void Connection::registerFunctions()
{
    sqlite3* db = m_db.handle();
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_collation(db, "JETNOCASE", SQLITE_UTF16, nullptr, &compareNoCase);
    sqlite3_create_function(db, "year", 1, flags, nullptr, &yearOf, nullptr, nullptr);
}

std::shared_ptr<Connection> Connection::open(const QString& hostPath)
{
    sqlite::Connection db(hostPath, sqlite::Connection::Mode::ReadWrite);
    // Never a write-ahead log: nothing but the database file may be left beside it, and a byte
    // copy of a committed file is the whole database.
    db.exec(QStringLiteral("PRAGMA journal_mode=DELETE"), Context::Open);
    // A commit is on the disk when it returns, whatever the library's build default.
    db.exec(QStringLiteral("PRAGMA synchronous=FULL"), Context::Open);
    // Room for a step's changes to a large table without spilling to the file (and syncing the
    // journal) before the commit.
    db.exec(QStringLiteral("PRAGMA cache_size=-65536"), Context::Open);
    db.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"), Context::Open);
    return std::shared_ptr<Connection>(new Connection(hostPath, std::move(db)));
}

Connection::Connection(QString hostPath, sqlite::Connection db)
    : m_hostPath(std::move(hostPath)), m_db(std::move(db)), m_file(fileId(m_hostPath))
{
    sqlite3_preupdate_hook(m_db.handle(), &Connection::onPreUpdate, this);
    // "name" is a name, never a text: an unknown column must not pass for a literal.
    sqlite3_db_config(m_db.handle(), SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    registerFunctions();
    m_dataVersion =
        std::make_unique<sqlite::Statement>(m_db.prepare(QStringLiteral("PRAGMA data_version"), Context::Open));
}

Connection::~Connection()
{
    // Whoever wrote commits before letting go; what is left here is a step's unfinished work.
    rollback();
    forget(Stale::Schema);
    m_dataVersion.reset();
    sqlite3_preupdate_hook(m_db.handle(), nullptr, nullptr);
}

bool Connection::isFile() const
{
    const auto id = fileId(m_hostPath);
    return id && id == m_file;
}

bool Connection::sameFile() const
{
    return m_db.inTransaction() || isFile();
}

void Connection::noteLostWrites()
{
    // Writes pending with no transaction open: a statement that failed (a full disk, an I/O error,
    // also while reading) made SQLite roll them back. The next commit tells it.
    if (m_wrote && !m_db.inTransaction()) {
        m_wrote = false;
        if (!m_lost)
            m_lost = m_db.lastFailure();
        forget(Stale::Schema);
    }
}

void Connection::begin()
{
    if (m_db.inTransaction())
        return;
    noteLostWrites();
    m_db.exec(QStringLiteral("BEGIN"), Context::Open);
    try {
        if (m_dataVersion->step()) {
            const qint64 v = sqlite3_column_int64(m_dataVersion->handle(), 0);
            // Another connection committed: rows and definitions may all have changed.
            if (m_lastDataVersion >= 0 && v != m_lastDataVersion)
                forget(Stale::Schema);
            m_lastDataVersion = v;
        }
        m_dataVersion->reset();
    } catch (const MajError&) {
        m_db.tryExec(QStringLiteral("ROLLBACK")); // nothing was read or written
        throw;
    }
}

void Connection::commit()
{
    m_cursors.forget();
    noteLostWrites();
    if (m_db.inTransaction()) {
        // A reader of another process may hold the file a moment: wait for it, within bounds.
        sqlite3_busy_timeout(m_db.handle(), 5000);
        const int rc = m_db.tryExec(QStringLiteral("COMMIT"));
        sqlite3_busy_timeout(m_db.handle(), 0);
        try {
            m_db.check(rc, Context::Write);
        } catch (const MajError& e) {
            qCWarning(lcDb).noquote() << "validation impossible de" << m_hostPath << ":" << e.description();
            rollback();
            throw;
        }
    }
    // Writes committed to a file that another program has since replaced at the path are lost.
    const bool replaced = m_wrote && !isFile();
    m_wrote = false;
    if (m_lost) {
        const MajError lost = *m_lost;
        m_lost.reset();
        throw lost;
    }
    if (replaced)
        throw MajError(err::DiskOrNetwork,
                       QStringLiteral("Erreur de disque ou de réseau : le fichier '%1' a été remplacé "
                                      "pendant la mise à jour, les modifications ne l'ont pas atteint.")
                           .arg(fs::windowsPath(m_hostPath)));
}

void Connection::rollback() noexcept
{
    m_cursors.forget();
    m_wrote = false;
    m_lost.reset();
    if (!m_db.inTransaction())
        return;
    if (m_db.tryExec(QStringLiteral("ROLLBACK")) != SQLITE_OK) // closing the connection rolls back the rest
        qCWarning(lcDb).noquote() << "annulation impossible de" << m_hostPath << ":" << sqlite3_errmsg(m_db.handle());
    forget(Stale::Schema);
}

void Connection::forget(Stale stale)
{
    m_cursors.forget();
    m_lookups.forget(stale);
    m_tables.forget(stale);
    m_statements.forget(stale);
}

void Connection::onPreUpdate(void* self, sqlite3* db, int op, const char*, const char* table, qint64 before,
                             qint64 after)
{
    auto* connection = static_cast<Connection*>(self);
    connection->m_cursors.rowWritten();
    connection->m_lookups.written(db, op, table, before, after);
}

} // namespace maj::jet
