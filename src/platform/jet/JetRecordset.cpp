#include "platform/jet/JetRecordset.h"

#include "platform/jet/JetSql.h"
#include "platform/jet/JetTypes.h"

#include <QStringEncoder>

#include <sqlite3.h>

#include <algorithm>
#include <functional>

namespace maj::jet {

namespace {

const QString kReadOnly = QStringLiteral("Impossible de mettre à jour. Base de données ou objet en lecture seule.");
const QString kNoAddOrEdit = QStringLiteral("Mise à jour ou Annuler mise à jour sans AjouterNouveau ou Modifier.");

// Position, bounds and record count, shared by every kind of recordset. The count follows the old
// engine: the records visited so far, complete after a move to the last one.
class Positioned : public Recordset
{
public:
    bool isBof() const override { return size() == 0 || m_pos < 0; }
    bool isEof() const override { return size() == 0 || m_pos >= size(); }
    int recordCount() const override { return int(m_seen); }
    bool noMatch() const override { return m_noMatch; }

    void moveFirst() override
    {
        dropPending();
        if (size() == 0)
            throw MajError(err::NoCurrentRecord);
        moveTo(0);
    }
    void moveLast() override
    {
        moveFirst(); // 3021 when there is none
        moveTo(size() - 1);
        m_seen = size();
    }
    void moveNext() override
    {
        dropPending();
        if (isEof() && !m_deleted)
            throw MajError(err::NoCurrentRecord);
        // After a delete the slot already holds the record that followed the deleted one.
        moveTo(m_deleted ? m_pos : m_pos + 1);
    }

protected:
    virtual qsizetype size() const = 0;
    virtual void dropPending() {}

    void moveTo(qsizetype pos)
    {
        m_deleted = false;
        m_pos = std::clamp<qsizetype>(pos, -1, size());
        if (m_pos >= 0 && m_pos < size())
            m_seen = std::max(m_seen, m_pos + 1);
    }
    bool hasCurrent() const { return !m_deleted && m_pos >= 0 && m_pos < size(); }
    void requireCurrent() const
    {
        if (!hasCurrent())
            throw MajError(err::NoCurrentRecord);
    }
    void opened()
    {
        m_pos = 0;
        m_seen = size() > 0 ? 1 : 0;
    }

    qsizetype m_pos = 0;
    qsizetype m_seen = 0;
    bool m_noMatch = false;
    bool m_deleted = false;
};

// UTF-16 to UTF-8 into a buffer that keeps its capacity from row to row.
void encodeUtf8(const QString& text, QByteArray& buffer)
{
    QStringEncoder encoder(QStringConverter::Utf8);
    buffer.resize(encoder.requiredSpace(text.size()));
    buffer.truncate(encoder.appendToBuffer(buffer.data(), text) - buffer.constData());
}

// A value as toStored() gives it (null, text, whole or floating number), bound without the
// round trips of the general binding. Text is bound from `buffer`, which must outlive the step.
void bindStored(sqlite::Statement& statement, int index, const QVariant& value, QByteArray& buffer)
{
    sqlite3_stmt* s = statement.handle();
    int rc = SQLITE_OK;
    switch (value.typeId()) {
    case QMetaType::QString:
        encodeUtf8(*static_cast<const QString*>(value.constData()), buffer);
        rc = sqlite3_bind_text(s, index, buffer.constData(), int(buffer.size()), SQLITE_STATIC);
        break;
    case QMetaType::LongLong:
        rc = sqlite3_bind_int64(s, index, *static_cast<const qlonglong*>(value.constData()));
        break;
    case QMetaType::Double:
        rc = sqlite3_bind_double(s, index, *static_cast<const double*>(value.constData()));
        break;
    default:
        statement.bind(index, value);
        break;
    }
    statement.check(rc);
}

int fieldIndex(const QHash<QString, int>& byName, const QString& name)
{
    const int index = columnIndex(byName, name);
    if (index < 0)
        throw MajError(err::ItemNotFound);
    return index;
}

// ---------------------------------------------------------------------------------------------
// A table's rows by rowid, or the rows of a look-up: the keys are held, the values fetched one
// row at a time.

class KeysetRecordset final : public Positioned
{
public:
    KeysetRecordset(std::shared_ptr<Connection> connection, std::shared_ptr<const TableInfo> info, bool updatable)
        : m_connection(std::move(connection)), m_table(info->name), m_updatable(updatable)
    {
        loadColumns(std::move(info));
    }
    ~KeysetRecordset() override
    {
        // The write statements are shared: leave none pointing at this recordset's buffers.
        if (m_lastWrite)
            m_lastWrite->reset();
        dropCursor();
    }

    void setKeys(std::vector<qint64> keys)
    {
        m_keys = std::move(keys);
        m_noMatch = false;
        m_deleted = false;
        opened();
    }
    // Whether this is a read-only selection of the table as defined, on the connection.
    bool probes(const Connection& connection, const TableInfo& info) const
    {
        return !m_updatable && m_connection.get() == &connection && m_info.get() == &info;
    }

    void loadAllKeys()
    {
        std::vector<qint64> keys;
        sqlite::Statement scan =
            m_connection->db().prepare(QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid").arg(m_info->quotedName));
        while (scan.step())
            keys.push_back(sqlite3_column_int64(scan.handle(), 0));
        setKeys(std::move(keys));
    }

    int fieldCount() const override
    {
        const_cast<KeysetRecordset*>(this)->checkSchema();
        return int(m_info->columns.size());
    }
    QString fieldName(int position) const override
    {
        const_cast<KeysetRecordset*>(this)->checkSchema();
        checkPosition(position);
        return m_info->columns[size_t(position)].name;
    }
    Value field(const QString& name) const override { return field(fieldIndex(m_info->byName, name)); }
    Value field(int position) const override
    {
        const_cast<KeysetRecordset*>(this)->checkSchema();
        checkPosition(position);
        const auto i = size_t(position);
        if (m_pending != Pending::None && m_set[i])
            return fromStored(m_stored[i], m_info->columns[i].type, &m_connection->dates());
        if (m_pending == Pending::Add)
            return m_info->columns[i].defaultValue;
        return currentValue(i);
    }

    bool isUpdatable() const override { return m_updatable; }

    void addNew() override
    {
        checkSchema();
        requireUpdatable();
        startPending(Pending::Add);
    }
    void edit() override
    {
        checkSchema();
        requireUpdatable();
        requireCurrent();
        startPending(Pending::Edit);
        m_editRowid = m_keys[size_t(m_pos)];
    }
    void setField(const QString& name, const Value& value) override
    {
        setField(fieldIndex(m_info->byName, name), value);
    }
    void setField(int position, const Value& value) override
    {
        checkSchema();
        checkPosition(position);
        requireUpdatable();
        if (m_pending == Pending::None)
            throw MajError(err::NoAddOrEdit, kNoAddOrEdit);
        const auto i = size_t(position);
        m_stored[i] = toStored(value, m_info->columns[i].type, &m_connection->dates());
        m_set[i] = true;
    }
    void update() override
    {
        checkSchema();
        if (m_pending == Pending::None)
            throw MajError(err::NoAddOrEdit, kNoAddOrEdit);
        if (m_pending == Pending::Add)
            insertPending();
        else
            updatePending();
    }
    void cancelUpdate() override { dropPending(); }

    void deleteCurrent() override
    {
        checkSchema();
        requireUpdatable();
        requireCurrent();
        dropPending();
        const qint64 rowid = m_keys[size_t(m_pos)];
        m_connection->write([&] {
            auto& remove = *m_connection->statement(
                QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(m_info->quotedName), Context::Write);
            sqlite3_bind_int64(remove.handle(), 1, rowid);
            remove.step();
            sqlite3_reset(remove.handle());
        });
        m_keys.erase(m_keys.begin() + m_pos);
        m_seen = std::max<qsizetype>(0, m_seen - 1);
        m_deleted = true;
        m_cursorOn = false;
    }

    void findFirst(const QString& criterion) override
    {
        checkSchema();
        dropPending();
        m_noMatch = false;
        // A step searches one column row after row, writing the criterion alike up to the value.
        std::optional<SimpleEquality> simple;
        if (!m_findPrefix.isEmpty() && criterion.startsWith(m_findPrefix)) {
            if ((simple = simpleComparison(QStringView(criterion).mid(m_findPrefix.size()))))
                simple->column = m_findColumn;
        }
        if (!simple && (simple = simpleCriterion(criterion))) {
            m_findPrefix = criterion.left(simple->comparison);
            if (simple->column != m_findColumn)
                m_findLookup.reset();
            m_findColumn = simple->column;
        }
        if (simple) {
            // The column's look-up, kept while the connection keeps it, serves a text or a null.
            std::shared_ptr<Lookup> found;
            const int column = m_info->indexOf(m_findColumn);
            if (column >= 0 && (simple->isNull || m_info->columns[size_t(column)].type.textAffinity)) {
                found = m_findLookup.lock();
                if (!found)
                    m_findLookup = found = m_connection->lookup(*m_info, column);
            }
            if (found) {
                const Lookup& lookup = *found;
                const std::vector<qint64> rows = simple->isNull ? lookup.nulls() : lookup.equal(simple->text);
                for (const qint64 rowid : rows) {
                    if (const qsizetype pos = positionOf(rowid); pos >= 0) {
                        moveTo(pos);
                        return;
                    }
                }
                m_noMatch = true;
                return;
            }
        }
        const QString sql = QStringLiteral("SELECT rowid FROM %1 WHERE (%2) ORDER BY rowid")
                                .arg(m_info->quotedName, translateCriterion(criterion));
        sqlite::Statement search = m_connection->db().prepare(sql, Context::Criteria);
        while (search.step()) {
            const qsizetype pos = positionOf(sqlite3_column_int64(search.handle(), 0));
            if (pos >= 0) {
                search.reset();
                moveTo(pos);
                return;
            }
        }
        m_noMatch = true;
    }

protected:
    qsizetype size() const override { return qsizetype(m_keys.size()); }
    void dropPending() override { m_pending = Pending::None; }

private:
    enum class Pending
    {
        None,
        Add,
        Edit
    };

    void loadColumns(std::shared_ptr<const TableInfo> info)
    {
        if (!info)
            throw MajError(err::TableNotFound);
        m_info = std::move(info);
        m_pending = Pending::None;
        m_lastWrite.reset();
        m_findLookup.reset();
        dropCursor();
        m_cursorOn = false;
        m_cursorSql.clear();
        m_cursorSlots.clear();
        m_widenings = 0;
        // The row buffers are sized on first use: a probe opened once per row reads no field.
        m_converted.clear();
        m_isConverted.clear();
        m_stored.clear();
        m_bindBuffers.clear();
        m_set.clear();
    }

    // A table whose definition changed (a column added or retyped) is read again; a pending add
    // or edit outlives a change of its rows by another program.
    void checkSchema()
    {
        if (m_connection->current(*m_info))
            return;
        auto info = m_connection->table(m_table);
        const auto same = [](const TableInfo::Column& a, const TableInfo::Column& b) {
            return a.name == b.name && a.type.declared == b.type.declared;
        };
        if (info && std::equal(info->columns.begin(), info->columns.end(), m_info->columns.begin(),
                               m_info->columns.end(), same)) {
            m_info = std::move(info);
            m_cursorOn = false;
            return;
        }
        loadColumns(std::move(info));
    }

    void checkPosition(int position) const
    {
        if (position < 0 || size_t(position) >= m_info->columns.size())
            throw MajError(err::ItemNotFound);
    }

    void requireUpdatable() const
    {
        if (!m_updatable)
            throw MajError(err::ReadOnly, kReadOnly);
    }

    void startPending(Pending kind)
    {
        m_pending = kind;
        const size_t n = m_info->columns.size();
        if (m_stored.size() != n) {
            m_stored.assign(n, QVariant());
            m_bindBuffers.assign(n, QByteArray());
        }
        m_set.assign(n, false);
    }

    qsizetype positionOf(qint64 rowid) const
    {
        const auto it = std::lower_bound(m_keys.begin(), m_keys.end(), rowid);
        return it != m_keys.end() && *it == rowid ? qsizetype(it - m_keys.begin()) : -1;
    }

    // The cursor, stepped onto the current record: forward by a step or two when the record is
    // the next one or close after, sought by rowid otherwise or when anything changed since.
    sqlite3_stmt* currentRow() const
    {
        requireCurrent();
        auto* self = const_cast<KeysetRecordset*>(this);
        const qint64 rowid = m_keys[size_t(m_pos)];
        const bool valid = m_cursorOn && m_connection->cursors().on(*m_cursor);
        self->m_cursorOn = false; // until it is on the row again
        if (valid) {
            sqlite3_stmt* s = m_cursor->statement.handle();
            for (int steps = 0; rowid > m_cursorRowid && steps < 4; ++steps) {
                self->m_isConverted.assign(m_info->columns.size(), false);
                if (!m_cursor->statement.step())
                    throw MajError(err::NoCurrentRecord);
                self->m_cursorRowid = sqlite3_column_int64(s, 0);
                if (m_cursorRowid > rowid)
                    throw MajError(err::NoCurrentRecord); // deleted behind the keyset's back
            }
            if (m_cursorRowid == rowid) {
                self->m_cursorOn = true;
                return s;
            }
        }
        if (!m_cursor)
            self->m_cursor.reset(new HeldCursors::Cursor{self->m_connection->db().prepare(m_cursorSql)});
        self->m_connection->db(); // in the transaction before stepping
        sqlite3_stmt* s = m_cursor->statement.handle();
        sqlite3_reset(s);
        sqlite3_bind_int64(s, 1, rowid);
        self->m_isConverted.assign(m_info->columns.size(), false);
        if (!m_cursor->statement.step() || sqlite3_column_int64(s, 0) != rowid) {
            sqlite3_reset(s);
            throw MajError(err::NoCurrentRecord);
        }
        self->m_connection->cursors().hold(*m_cursor);
        self->m_cursorOn = true;
        self->m_cursorRowid = rowid;
        return s;
    }

    // The cursor reads the columns read so far, rather than all of them: a walk that reads one
    // field of each row must not decode every column of every row. After two widenings it reads
    // them all, so that a loop reading many columns prepares few statements.
    void widenCursor(size_t column)
    {
        const size_t n = m_info->columns.size();
        if (m_cursorSlots.size() != n)
            m_cursorSlots.assign(n, -1);
        dropCursor();
        m_cursorOn = false;
        if (++m_widenings > 2)
            m_cursorSlots.assign(n, 0);
        m_cursorSlots[column] = 0;
        QStringList names;
        for (size_t i = 0; i < n; ++i) {
            if (m_cursorSlots[i] >= 0) {
                m_cursorSlots[i] = int(names.size());
                names.append(quoteIdentifier(m_info->columns[i].name));
            }
        }
        m_cursorSql = QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid >= ?1 ORDER BY rowid")
                          .arg(names.join(QLatin1Char(',')), m_info->quotedName);
    }

    const QVariant& currentValue(size_t column) const
    {
        auto* self = const_cast<KeysetRecordset*>(this);
        if (column >= m_cursorSlots.size() || m_cursorSlots[column] < 0)
            self->widenCursor(column);
        sqlite3_stmt* s = currentRow();
        if (m_converted.size() != m_isConverted.size())
            self->m_converted.assign(m_isConverted.size(), QVariant());
        if (!m_isConverted[column]) {
            self->m_converted[column] =
                readColumn(s, m_cursorSlots[column] + 1, m_info->columns[column].type, &m_connection->dates());
            self->m_isConverted[column] = true;
        }
        return m_converted[column];
    }

    void dropCursor() noexcept
    {
        if (m_cursor)
            m_connection->cursors().drop(m_cursor.get());
        m_cursor.reset();
    }

    // The statement that writes the columns set; a loop writes the same columns row after row.
    sqlite::Statement& writeStatement(char kind, const std::function<QString()>& build)
    {
        if (m_lastWrite && m_lastWriteKind == kind && m_lastWriteSet == m_set) {
            m_connection->db();
            m_lastWrite->rewind();
            return *m_lastWrite;
        }
        if (m_lastWrite)
            sqlite3_clear_bindings(m_lastWrite->handle());
        m_lastWrite = m_connection->statement(build(), Context::Write);
        m_lastWriteKind = kind;
        m_lastWriteSet = m_set;
        return *m_lastWrite;
    }

    // The quoted names of the columns set.
    QStringList setNames() const
    {
        QStringList names;
        for (size_t i = 0; i < m_info->columns.size(); ++i) {
            if (m_set[i])
                names.append(quoteIdentifier(m_info->columns[i].name));
        }
        return names;
    }
    // Binds the values of the columns set from the first parameter on; returns the next parameter's index.
    int bindSet(sqlite::Statement& statement)
    {
        int index = 1;
        for (size_t i = 0; i < m_info->columns.size(); ++i) {
            if (m_set[i])
                bindStored(statement, index++, m_stored[i], m_bindBuffers[i]);
        }
        return index;
    }

    void insertPending()
    {
        sqlite::Statement& insert = writeStatement('i', [&] {
            const QStringList names = setNames();
            return names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(m_info->quotedName)
                                   : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                         .arg(m_info->quotedName, names.join(QLatin1Char(',')),
                                              QStringList(names.size(), QStringLiteral("?")).join(QLatin1Char(',')));
        });
        m_connection->write([&] {
            bindSet(insert);
            insert.step();
            sqlite3_reset(insert.handle());
        });
        const qint64 rowid = m_connection->db().lastInsertRowId();
        m_pending = Pending::None;
        // The new record joins the end (its rowid is the largest); the current one stays current.
        const auto at = std::lower_bound(m_keys.begin(), m_keys.end(), rowid);
        const qsizetype index = qsizetype(at - m_keys.begin());
        m_keys.insert(at, rowid);
        if (index <= m_pos && !(m_deleted && index == m_pos))
            ++m_pos;
        ++m_seen;
    }

    void updatePending()
    {
        const qint64 rowid = m_editRowid;
        if (std::none_of(m_set.begin(), m_set.end(), [](bool set) { return set; })) {
            m_pending = Pending::None;
            return;
        }
        sqlite::Statement& change = writeStatement('u', [&] {
            return QStringLiteral("UPDATE %1 SET %2 = ? WHERE rowid = ?")
                .arg(m_info->quotedName, setNames().join(QStringLiteral(" = ?,")));
        });
        m_connection->write([&] {
            const int index = bindSet(change);
            sqlite3_bind_int64(change.handle(), index, rowid);
            m_connection->rowUpdate() = {m_info->name, rowid, &m_set};
            change.step(); // a failure forgets the row update with the look-ups
            m_connection->rowUpdate().columns = nullptr;
            sqlite3_reset(change.handle());
        });
        if (m_connection->db().changes() == 0)
            throw MajError(err::NoCurrentRecord);
        m_pending = Pending::None;
        m_cursorOn = false;
    }

    std::shared_ptr<Connection> m_connection;
    QString m_table;
    bool m_updatable;
    std::shared_ptr<const TableInfo> m_info;
    std::vector<qint64> m_keys;

    std::unique_ptr<HeldCursors::Cursor> m_cursor;
    bool m_cursorOn = false;
    qint64 m_cursorRowid = 0;
    std::vector<QVariant> m_converted; // the fields of the current row read so far
    std::vector<bool> m_isConverted;

    Pending m_pending = Pending::None;
    qint64 m_editRowid = 0;
    QString m_cursorSql;
    std::vector<int> m_cursorSlots; // each column's place in the cursor's row, -1 when not read
    int m_widenings = 0;
    std::shared_ptr<sqlite::Statement> m_lastWrite;
    char m_lastWriteKind = 0;
    std::vector<bool> m_lastWriteSet;
    QString m_findColumn; // as the last criterion named it
    QString m_findPrefix; // the last criterion up to its column's name
    std::weak_ptr<Lookup> m_findLookup;
    std::vector<QVariant> m_stored;        // as written
    std::vector<QByteArray> m_bindBuffers; // their text as bound, kept until the next write
    std::vector<bool> m_set;
};

// ---------------------------------------------------------------------------------------------
// A select query's rows, read whole when it opens (group-by results and the like are small).

class QueryRecordset final : public Positioned
{
public:
    QueryRecordset(std::shared_ptr<Connection> connection, const QString& jet) : m_connection(std::move(connection))
    {
        const QString sql = translateQuery(jet);
        sqlite::Statement query = m_connection->db().prepare(sql);
        if (!sqlite3_stmt_readonly(query.handle()))
            throw MajError(err::QuerySyntax);
        sqlite3_stmt* s = query.handle();
        const int count = query.columnCount();
        for (int i = 0; i < count; ++i) {
            const QString name = query.columnName(i);
            m_names.append(name);
            if (!m_byName.contains(foldKey(name)))
                m_byName.insert(foldKey(name), i);
            const char* declared = sqlite3_column_decltype(s, i);
            m_types.push_back(parseDeclaredType(declared ? QString::fromUtf8(declared) : QString()));
        }
        while (query.step()) {
            std::vector<QVariant> row(static_cast<size_t>(count));
            for (int i = 0; i < count; ++i)
                row[size_t(i)] = readColumn(s, i, m_types[size_t(i)], &m_connection->dates());
            m_rows.push_back(std::move(row));
        }
        opened();
    }

    int fieldCount() const override { return int(m_names.size()); }
    QString fieldName(int position) const override
    {
        checkPosition(position);
        return m_names[position];
    }
    Value field(int position) const override
    {
        checkPosition(position);
        requireCurrent();
        return m_rows[size_t(m_pos)][size_t(position)];
    }
    Value field(const QString& name) const override { return field(fieldIndex(m_byName, name)); }

    bool isUpdatable() const override { return false; }
    void addNew() override { throw MajError(err::ReadOnly, kReadOnly); }
    void edit() override { throw MajError(err::ReadOnly, kReadOnly); }
    void update() override { throw MajError(err::ReadOnly, kReadOnly); }
    void cancelUpdate() override {}
    void deleteCurrent() override { throw MajError(err::ReadOnly, kReadOnly); }
    void setField(int, const Value&) override { throw MajError(err::ReadOnly, kReadOnly); }
    void setField(const QString&, const Value&) override { throw MajError(err::ReadOnly, kReadOnly); }

    // The criterion is evaluated by SQLite on each row in turn, the row's fields bound as
    // parameters, so it compares exactly as a WHERE clause would.
    void findFirst(const QString& criterion) override
    {
        m_noMatch = false;
        std::vector<int> bound;
        const QString expression = translateCriterion(criterion, [&](const QString& name) {
            const auto it = m_byName.constFind(foldKey(name));
            if (it == m_byName.constEnd())
                return QString();
            bound.push_back(*it);
            return QStringLiteral("?%1").arg(bound.size());
        });
        sqlite::Statement test = m_connection->db().prepare(
            QStringLiteral("SELECT CASE WHEN (%1) THEN 1 ELSE 0 END").arg(expression), Context::Criteria);
        for (size_t r = 0; r < m_rows.size(); ++r) {
            for (size_t p = 0; p < bound.size(); ++p)
                test.bind(int(p) + 1, m_rows[r][size_t(bound[p])]);
            const bool match = test.step() && sqlite3_column_int(test.handle(), 0) != 0;
            test.reset();
            if (match) {
                moveTo(qsizetype(r));
                return;
            }
        }
        m_noMatch = true;
    }

protected:
    qsizetype size() const override { return qsizetype(m_rows.size()); }

private:
    void checkPosition(int position) const
    {
        if (position < 0 || position >= m_names.size())
            throw MajError(err::ItemNotFound);
    }

    std::shared_ptr<Connection> m_connection;
    QStringList m_names;
    QHash<QString, int> m_byName;
    std::vector<ColumnType> m_types;
    std::vector<std::vector<QVariant>> m_rows;
};

} // namespace

std::unique_ptr<Recordset> openRecordset(const std::shared_ptr<Connection>& connection, const QString& recordSource,
                                         std::unique_ptr<Recordset> previous)
{
    // Most record sources have nothing to trim: they are kept without a copy.
    QString source =
        QStringView(recordSource).trimmed().size() == recordSource.size() ? recordSource : recordSource.trimmed();
    if (isSelectQuery(source)) {
        // The duplicate check's probe, once per row: served from the column's look-up.
        Connection::ProbeMemo& memo = connection->lastProbe();
        std::optional<SimpleSelect> simple;
        std::shared_ptr<Lookup> lookup;
        if (!memo.prefix.isEmpty() && source.startsWith(memo.prefix)) {
            if (auto where = simpleComparison(QStringView(source).mid(memo.prefix.size()))) {
                where->column = memo.column;
                simple = SimpleSelect{memo.table, std::move(*where)};
                // The same table and look-up as last time, unless the connection forgot them since.
                if (memo.info && connection->current(*memo.info))
                    lookup = memo.lookup.lock();
            }
        }
        if (!simple && (simple = simpleSelect(source)))
            memo = {source.left(simple->where.comparison), simple->table, simple->where.column, {}, {}};
        if (simple && !lookup) {
            memo.info = connection->table(simple->table);
            const int column = memo.info ? memo.info->indexOf(simple->where.column) : -1;
            if (column >= 0 && (simple->where.isNull || memo.info->columns[size_t(column)].type.textAffinity))
                memo.lookup = lookup = connection->lookup(*memo.info, column);
        }
        if (lookup) {
            auto* reused = dynamic_cast<KeysetRecordset*>(previous.get());
            if (!reused || !reused->probes(*connection, *memo.info))
                previous = std::make_unique<KeysetRecordset>(connection, memo.info, false);
            static_cast<KeysetRecordset&>(*previous).setKeys(
                simple->where.isNull ? lookup->nulls() : lookup->equal(std::move(simple->where.text)));
            return previous;
        }
        return std::make_unique<QueryRecordset>(connection, source);
    }
    if (source.startsWith(QLatin1Char('[')) && source.endsWith(QLatin1Char(']')))
        source = source.mid(1, source.size() - 2);
    auto info = connection->table(source);
    if (!info)
        throw MajError(err::TableNotFound);
    auto recordset = std::make_unique<KeysetRecordset>(connection, std::move(info), true);
    recordset->loadAllKeys();
    return recordset;
}

} // namespace maj::jet
