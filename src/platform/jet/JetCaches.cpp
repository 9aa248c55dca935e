#include "platform/jet/JetCaches.h"

#include "platform/jet/JetSql.h"

// The look-ups follow the writes through the pre-update hook, which Debian's SQLite is built with.
#define SQLITE_ENABLE_PREUPDATE_HOOK
#include <sqlite3.h>

#include <algorithm>
#include <cstring>

namespace maj::jet {

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

std::shared_ptr<sqlite::Statement> StatementCache::get(sqlite::Connection& db, const QString& sql,
                                                       sqlite::Context context)
{
    auto it = m_statements.find(sql);
    if (it == m_statements.end())
        it = m_statements.insert(sql, std::make_shared<sqlite::Statement>(db.prepare(sql, context)));
    else
        sqlite3_reset((*it)->handle()); // every parameter is bound anew by the caller
    return *it;
}

void StatementCache::forget(Stale stale)
{
    if (stale == Stale::Schema)
        m_statements.clear();
}

std::shared_ptr<const TableInfo> TableCache::get(sqlite::Connection& db, StatementCache& statements,
                                                 const QString& name)
{
    // By the name as written, then in lower case.
    if (const auto it = m_byName.constFind(name); it != m_byName.constEnd())
        return *it;
    const QString key = name.toLower();
    if (const auto it = m_byName.constFind(key); it != m_byName.constEnd())
        return *it;
    auto info = std::make_shared<TableInfo>();
    {
        auto& find = *statements.get(
            db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"),
            sqlite::Context::Query);
        find.bind(1, name);
        if (find.step())
            info->name = find.column(0).toString();
        find.reset();
    }
    if (info->name.isEmpty())
        return nullptr;
    info->quotedName = quoteIdentifier(info->name);
    sqlite::Statement pragma = db.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(info->quotedName));
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
        sqlite::Statement values = db.prepare(QStringLiteral("SELECT ") + defaults.join(QLatin1Char(',')));
        if (values.step()) {
            for (size_t i = 0; i < info->columns.size(); ++i)
                info->columns[i].defaultValue = readColumn(values.handle(), int(i), info->columns[i].type);
        }
    }
    m_byName.insert(key, info);
    m_byName.insert(name, info);
    return info;
}

void TableCache::forget(Stale stale)
{
    if (stale != Stale::Schema)
        return;
    for (const auto& info : std::as_const(m_byName))
        info->forgotten = true;
    m_byName.clear();
}

Lookup::Lookup(sqlite::Connection& db, const TableInfo& table, int position)
    : m_tableName(table.name), m_table(table.name.toUtf8()), m_position(position)
{
    // The scan, in rowid order: each value's ids stay in order.
    struct Scanned
    {
        qint64 rowid;
        qsizetype from;
        qsizetype size;
    };
    std::vector<Scanned> rows;
    {
        // Room for every row at once rather than growing through rehashes.
        sqlite::Statement last = db.prepare(QStringLiteral("SELECT max(rowid) FROM %1").arg(table.quotedName));
        if (last.step())
            rows.reserve(size_t(std::clamp<qint64>(last.column(0).toLongLong(), 0, 4000000)));
    }
    sqlite::Statement scan =
        db.prepare(QStringLiteral("SELECT rowid, %1 FROM %2 ORDER BY rowid")
                       .arg(quoteIdentifier(table.columns[size_t(position)].name), table.quotedName));
    sqlite3_stmt* s = scan.handle();
    while (scan.step()) {
        const qint64 rowid = sqlite3_column_int64(s, 0);
        switch (sqlite3_column_type(s, 1)) {
        case SQLITE_NULL:
            m_nulls.push_back(rowid);
            break;
        case SQLITE_TEXT: {
            const qsizetype from = m_texts.size();
            appendFolded(
                QByteArrayView(reinterpret_cast<const char*>(sqlite3_column_text(s, 1)), sqlite3_column_bytes(s, 1)));
            rows.push_back({rowid, from, m_texts.size() - from});
            break;
        }
        default:
            // Numbers and blobs never equal a text.
            break;
        }
    }
    m_byText.reserve(qsizetype(rows.size()));
    m_groups.reserve(rows.size());
    const QStringView texts(m_texts);
    for (const Scanned& row : rows) {
        const QStringView text = texts.mid(row.from, row.size);
        auto it = m_byText.find(text);
        if (it == m_byText.end()) {
            it = m_byText.insert(text, qsizetype(m_groups.size()));
            m_groups.push_back({text, {}});
        }
        m_groups[size_t(*it)].rows.append(row.rowid);
    }
}

std::vector<qint64> Lookup::rows(const QString& text, bool null) const
{
    std::vector<qint64> result;
    if (null) {
        result = m_nulls;
    } else {
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
    const auto changed = m_changedByKey.constFind(null ? QStringLiteral("n") : QLatin1Char('t') + text);
    if (changed != m_changedByKey.constEnd()) {
        result.insert(result.end(), changed->cbegin(), changed->cend());
        std::sort(result.begin(), result.end());
    }
    return result;
}

void Lookup::appendFolded(QByteArrayView utf8)
{
    // ASCII is folded straight into the texts, without a string of its own.
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return uchar(c) < 0x80; })) {
        const qsizetype from = m_texts.size();
        m_texts.resize(from + utf8.size());
        QChar* out = m_texts.data() + from;
        for (const char c : utf8)
            *out++ = QLatin1Char(c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c);
    } else {
        m_texts += foldKey(QString::fromUtf8(utf8));
    }
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

std::shared_ptr<Lookup> Lookups::get(sqlite::Connection& db, const TableInfo& table, int column)
{
    for (const auto& lookup : m_lookups) {
        if (lookup->m_position == column && lookup->m_tableName == table.name)
            return lookup;
    }
    m_lookups.push_back(std::shared_ptr<Lookup>(new Lookup(db, table, column)));
    return m_lookups.back();
}

void Lookups::written(sqlite3* db, int op, const char* table, qint64 before, qint64 after)
{
    const RowUpdate& update = m_rowUpdate;
    for (const auto& lookup : m_lookups) {
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

void Lookups::forget(Stale) noexcept
{
    m_rowUpdate.columns = nullptr;
    m_lookups.clear();
}

void HeldCursors::hold(Cursor& cursor)
{
    if (std::find(m_held.begin(), m_held.end(), &cursor) == m_held.end())
        m_held.push_back(&cursor);
    cursor.heldAt = m_moves;
}

void HeldCursors::forget() noexcept
{
    for (Cursor* cursor : m_held)
        sqlite3_reset(cursor->statement.handle());
    m_held.clear();
    ++m_moves;
}

} // namespace maj::jet
