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

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

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

int compareNoCase(void*, int lengthA, const void* a, int lengthB, const void* b)
{
    const QStringView left(static_cast<const QChar*>(a), lengthA / 2);
    const QStringView right(static_cast<const QChar*>(b), lengthB / 2);
    return left.compare(right, Qt::CaseInsensitive);
}

} // namespace

void raise(int number, const QString& description)
{
    throw MajError(number, description);
}

void Connection::registerFunctions()
{
    sqlite3* db = m_db.handle();
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_collation(db, "JETNOCASE", SQLITE_UTF16, nullptr, &compareNoCase);
    sqlite3_create_function(db, "year", 1, flags, nullptr, &yearOf, nullptr, nullptr);
}

int columnIndex(const QHash<QString, int>& byName, const QString& name)
{
    auto it = byName.constFind(name);
    if (it == byName.constEnd())
        it = byName.constFind(foldKey(name));
    return it == byName.constEnd() ? -1 : *it;
}

QString foldKey(QString text)
{
    // ASCII folds to its lower case: the look-ups fold every value and every probe, most of them
    // ASCII, without the Unicode tables.
    bool upper = false;
    for (const QChar c : std::as_const(text)) {
        if (c.unicode() >= 0x80)
            return std::move(text).toCaseFolded();
        upper = upper || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
    }
    if (upper) {
        for (QChar& c : text) {
            if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
                c = QChar(c.unicode() + (u'a' - u'A'));
        }
    }
    return text;
}

std::vector<qint64> Lookup::rows(const QString& key) const
{
    std::vector<qint64> result;
    if (key.startsWith(QLatin1Char('n'))) {
        result = m_nulls;
    } else {
        const QStringView text = QStringView(key).mid(1);
        qsizetype group = m_lastGroup + 1;
        if (group >= qsizetype(m_groups.size()) || m_groups[size_t(group)].text != text) {
            const auto it = m_byText.constFind(text);
            group = it == m_byText.constEnd() ? -1 : *it;
        }
        if (group >= 0) {
            m_lastGroup = group;
            const auto& rows = m_groups[size_t(group)].rows;
            result.assign(rows.cbegin(), rows.cend());
        }
    }
    if (m_changed.isEmpty())
        return result;
    std::erase_if(result, [this](qint64 rowid) { return m_changed.contains(rowid); });
    const auto changed = m_changedByKey.constFind(key);
    if (changed != m_changedByKey.constEnd()) {
        result.insert(result.end(), changed->cbegin(), changed->cend());
        std::sort(result.begin(), result.end());
    }
    return result;
}

void Lookup::scanned(qint64 rowid, QByteArrayView utf8)
{
    const qsizetype from = m_texts.size();
    // ASCII is folded straight into the texts, without a string of its own.
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return uchar(c) < 0x80; })) {
        m_texts.resize(from + utf8.size());
        QChar* out = m_texts.data() + from;
        for (const char c : utf8)
            *out++ = QLatin1Char(c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c);
    } else {
        m_texts += foldKey(QString::fromUtf8(utf8));
    }
    m_scanned.push_back({rowid, from, m_texts.size() - from});
}

void Lookup::index()
{
    m_byText.reserve(qsizetype(m_scanned.size()));
    m_groups.reserve(m_scanned.size());
    const QStringView texts(m_texts);
    for (const Scanned& row : m_scanned) {
        const QStringView text = texts.mid(row.from, row.size);
        auto it = m_byText.find(text);
        if (it == m_byText.end()) {
            it = m_byText.insert(text, qsizetype(m_groups.size()));
            m_groups.push_back({text, {}});
        }
        m_groups[size_t(*it)].rows.append(row.rowid);
    }
    m_scanned = {};
}

void Lookup::changed(qint64 rowid, const QString& key)
{
    if (const auto before = m_changed.constFind(rowid); before != m_changed.constEnd()) {
        auto& rows = m_changedByKey[*before];
        std::erase(rows, rowid);
    }
    m_changed.insert(rowid, key);
    if (!key.isEmpty())
        m_changedByKey[key].push_back(rowid);
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

Connection::Connection(QString hostPath, sqlite::Connection db) : m_hostPath(std::move(hostPath)), m_db(std::move(db))
{
    struct stat st;
    if (::stat(QFile::encodeName(m_hostPath).constData(), &st) == 0) {
        m_device = quint64(st.st_dev);
        m_inode = quint64(st.st_ino);
    }
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
    forget();
    m_dataVersion.reset();
    sqlite3_preupdate_hook(m_db.handle(), nullptr, nullptr);
}

namespace {

bool isFile(const QString& hostPath, quint64 device, quint64 inode)
{
    struct stat st;
    return ::stat(QFile::encodeName(hostPath).constData(), &st) == 0 && quint64(st.st_dev) == device &&
           quint64(st.st_ino) == inode;
}

} // namespace

bool Connection::sameFile() const
{
    return m_db.inTransaction() || isFile(m_hostPath, m_device, m_inode);
}

void Connection::noteLostWrites()
{
    // Writes pending with no transaction open: a statement that failed (a full disk, an I/O error,
    // also while reading) made SQLite roll them back. The next commit tells it.
    if (m_wrote && !m_db.inTransaction()) {
        m_wrote = false;
        if (!m_lost)
            m_lost = m_db.lastFailure();
        forget();
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
                forget();
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
    releaseCursors();
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
    const bool replaced = m_wrote && !isFile(m_hostPath, m_device, m_inode);
    m_wrote = false;
    if (m_lost) {
        const MajError lost = *m_lost;
        m_lost.reset();
        throw lost;
    }
    if (replaced)
        raise(err::DiskOrNetwork, QStringLiteral("Erreur de disque ou de réseau : le fichier '%1' a été remplacé "
                                                 "pendant la mise à jour, les modifications ne l'ont pas atteint.")
                                      .arg(fs::windowsPath(m_hostPath)));
}

void Connection::rollback() noexcept
{
    releaseCursors();
    m_wrote = false;
    m_lost.reset();
    if (!m_db.inTransaction())
        return;
    if (m_db.tryExec(QStringLiteral("ROLLBACK")) != SQLITE_OK) // closing the connection rolls back the rest
        qCWarning(lcDb).noquote() << "annulation impossible de" << m_hostPath << ":" << sqlite3_errmsg(m_db.handle());
    forget();
}

std::shared_ptr<sqlite::Statement> Connection::sharedStatement(const QString& sql, Context context)
{
    begin();
    auto it = m_statements.find(sql);
    if (it == m_statements.end())
        it = m_statements.insert(sql, std::make_shared<sqlite::Statement>(m_db.prepare(sql, context)));
    else
        sqlite3_reset((*it)->handle()); // every parameter is bound anew by the caller
    return *it;
}

std::shared_ptr<sqlite::Statement> Connection::borrowStatement(const QString& sql)
{
    begin();
    const auto it = m_pool.find(sql);
    if (it != m_pool.end()) {
        auto statement = std::move(*it);
        m_pool.erase(it);
        return statement;
    }
    return std::make_shared<sqlite::Statement>(m_db.prepare(sql));
}

void Connection::returnStatement(const QString& sql, std::shared_ptr<sqlite::Statement> statement) noexcept
{
    if (!statement)
        return;
    sqlite3_reset(statement->handle());
    if (m_pool.count(sql) < 4)
        m_pool.insert(sql, std::move(statement));
}

void Connection::releaseCursors() noexcept
{
    for (const auto& weak : m_heldCursors) {
        if (const auto statement = weak.lock())
            sqlite3_reset(statement->handle());
    }
    m_heldCursors.clear();
    ++m_changes;
}

void Connection::forget()
{
    releaseCursors();
    m_rowUpdate.columns = nullptr;
    m_pool.clear();
    m_statements.clear();
    m_tableInfos.clear();
    m_lookups.clear();
    ++m_epoch;
}

namespace {

// What a value is to a look-up: "t" and its folded text, "n" for null, empty for anything else.
QString keyOf(sqlite3_value* value)
{
    switch (value ? sqlite3_value_type(value) : SQLITE_BLOB) {
    case SQLITE_NULL:
        return QStringLiteral("n");
    case SQLITE_TEXT:
        return QLatin1Char('t') + foldKey(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value)),
                                                            sqlite3_value_bytes(value)));
    default:
        return {};
    }
}

bool sameKey(sqlite3_value* a, sqlite3_value* b)
{
    if (!a || !b)
        return false;
    const int type = sqlite3_value_type(a);
    if (type != SQLITE_TEXT || sqlite3_value_type(b) != SQLITE_TEXT)
        return (type == SQLITE_NULL) == (sqlite3_value_type(b) == SQLITE_NULL) &&
               (type == SQLITE_TEXT) == (sqlite3_value_type(b) == SQLITE_TEXT);
    return sqlite3_value_bytes(a) == sqlite3_value_bytes(b) &&
           std::memcmp(sqlite3_value_text(a), sqlite3_value_text(b), size_t(sqlite3_value_bytes(a))) == 0;
}

} // namespace

void Connection::onPreUpdate(void* self, sqlite3* db, int op, const char*, const char* table, qint64 before,
                             qint64 after)
{
    auto* connection = static_cast<Connection*>(self);
    ++connection->m_changes;
    const RowUpdate& update = connection->m_rowUpdate;
    for (const auto& lookup : connection->m_lookups) {
        if (qstricmp(table, lookup->m_table.constData()) != 0)
            continue;
        if (op == SQLITE_UPDATE && update.columns && before == update.rowid && after == before &&
            !(*update.columns)[size_t(lookup->m_position)] && lookup->m_tableName == update.table)
            continue;
        sqlite3_value* old = nullptr;
        sqlite3_value* now = nullptr;
        if (op != SQLITE_INSERT)
            sqlite3_preupdate_old(db, lookup->m_position, &old);
        if (op != SQLITE_DELETE)
            sqlite3_preupdate_new(db, lookup->m_position, &now);
        // Most writes leave the column alone.
        if (op == SQLITE_UPDATE && before == after && sameKey(old, now))
            continue;
        if (op != SQLITE_INSERT && !(op == SQLITE_UPDATE && before == after))
            lookup->changed(before, {});
        if (op != SQLITE_DELETE)
            lookup->changed(after, keyOf(now));
    }
}

std::shared_ptr<const TableInfo> Connection::table(const QString& name)
{
    begin();
    // By the name as written, then in lower case.
    if (const auto it = m_tableInfos.constFind(name); it != m_tableInfos.constEnd())
        return *it;
    const QString key = name.toLower();
    if (const auto it = m_tableInfos.constFind(key); it != m_tableInfos.constEnd())
        return *it;
    auto info = std::make_shared<TableInfo>();
    {
        auto& find = statement(
            QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"));
        find.bind(1, name);
        if (find.step())
            info->name = find.column(0).toString();
        find.reset();
    }
    if (info->name.isEmpty())
        return nullptr;
    info->quotedName = quoteIdentifier(info->name);
    sqlite::Statement pragma = m_db.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(info->quotedName));
    QStringList defaults;
    while (pragma.step()) {
        TableInfo::Column c;
        c.name = pragma.column(1).toString();
        c.type = parseDeclaredType(pragma.column(2).toString());
        const QVariant dflt = pragma.column(4);
        defaults.append(dflt.isValid() ? dflt.toString() : QStringLiteral("NULL"));
        info->byName.insert(c.name, int(info->columns.size()));
        info->byName.insert(foldKey(c.name), int(info->columns.size()));
        info->columns.push_back(std::move(c));
    }
    if (std::any_of(defaults.begin(), defaults.end(), [](const QString& d) { return d != QLatin1String("NULL"); })) {
        sqlite::Statement values = m_db.prepare(QStringLiteral("SELECT ") + defaults.join(QLatin1Char(',')));
        if (values.step()) {
            for (size_t i = 0; i < info->columns.size(); ++i)
                info->columns[i].defaultValue = readColumn(values.handle(), int(i), info->columns[i].type);
        }
    }
    m_tableInfos.insert(key, info);
    m_tableInfos.insert(name, info);
    return info;
}

std::shared_ptr<Lookup> Connection::lookup(const TableInfo& table, int column)
{
    begin();
    for (const auto& lookup : m_lookups) {
        if (lookup->m_position == column && lookup->m_tableName == table.name)
            return lookup;
    }
    auto fresh = std::make_shared<Lookup>(table.name, table.columns[size_t(column)].name, column);
    const QString& quotedTable = table.quotedName;
    {
        // Room for every row at once rather than growing through rehashes.
        sqlite::Statement last = m_db.prepare(QStringLiteral("SELECT max(rowid) FROM %1").arg(quotedTable));
        if (last.step())
            fresh->m_scanned.reserve(size_t(std::clamp<qint64>(last.column(0).toLongLong(), 0, 4000000)));
    }
    sqlite::Statement scan = m_db.prepare(
        QStringLiteral("SELECT rowid, %1 FROM %2 ORDER BY rowid").arg(quoteIdentifier(fresh->m_column), quotedTable));
    sqlite3_stmt* s = scan.handle();
    while (scan.step()) {
        const qint64 rowid = sqlite3_column_int64(s, 0);
        switch (sqlite3_column_type(s, 1)) {
        case SQLITE_NULL:
            fresh->m_nulls.push_back(rowid);
            break;
        case SQLITE_TEXT:
            // The scan ascends by rowid: each value's ids stay in order.
            fresh->scanned(rowid, QByteArrayView(reinterpret_cast<const char*>(sqlite3_column_text(s, 1)),
                                                 sqlite3_column_bytes(s, 1)));
            break;
        default:
            // Numbers and blobs never equal a text.
            break;
        }
    }
    fresh->index();
    m_lookups.push_back(fresh);
    return fresh;
}

} // namespace maj::jet
