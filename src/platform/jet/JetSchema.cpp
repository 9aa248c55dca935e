#include "platform/jet/JetSchema.h"

#include "platform/Logging.h"
#include "platform/jet/JetSql.h"
#include "platform/jet/JetTypes.h"

#include <QScopeGuard>

#include <sqlite3.h>

#include <functional>
#include <iterator>
#include <optional>

namespace maj::jet {

namespace {

const QString kAlterSyntax = QStringLiteral("Erreur de syntaxe dans l'instruction ALTER TABLE.");
const QString kFieldTwice = QStringLiteral("Impossible de définir le champ plus d'une fois.");

// The parts of a CREATE TABLE statement as SQLite keeps it: the text before the definitions, each
// column or table constraint definition, and the text after the closing parenthesis.
struct CreateTable
{
    QString head;
    QStringList definitions;
    QString tail;
};

// Skips a quoted name, a text or a comment starting at i; returns false when there is none.
bool skipQuoted(const QString& sql, qsizetype& i)
{
    const QChar c = sql[i];
    QChar close;
    if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`'))
        close = c;
    else if (c == QLatin1Char('['))
        close = QLatin1Char(']');
    else if (c == QLatin1Char('-') && i + 1 < sql.size() && sql[i + 1] == QLatin1Char('-')) {
        const qsizetype end = sql.indexOf(QLatin1Char('\n'), i);
        i = end < 0 ? sql.size() : end + 1;
        return true;
    } else if (c == QLatin1Char('/') && i + 1 < sql.size() && sql[i + 1] == QLatin1Char('*')) {
        const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
        i = end < 0 ? sql.size() : end + 2;
        return true;
    } else {
        return false;
    }
    for (++i; i < sql.size(); ++i) {
        if (sql[i] == close) {
            if (close != QLatin1Char(']') && i + 1 < sql.size() && sql[i + 1] == close) {
                ++i;
                continue;
            }
            ++i;
            return true;
        }
    }
    return true;
}

CreateTable splitCreateTable(const QString& sql)
{
    CreateTable parts;
    qsizetype i = 0;
    while (i < sql.size() && sql[i] != QLatin1Char('(')) {
        if (!skipQuoted(sql, i))
            ++i;
    }
    if (i >= sql.size())
        throw MajError(err::QuerySyntax);
    parts.head = sql.left(i);
    int depth = 0;
    qsizetype start = i + 1;
    for (; i < sql.size();) {
        if (skipQuoted(sql, i))
            continue;
        const QChar c = sql[i];
        if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')')) {
            if (--depth == 0) {
                parts.definitions.append(sql.mid(start, i - start).trimmed());
                parts.tail = sql.mid(i + 1);
                return parts;
            }
        } else if (c == QLatin1Char(',') && depth == 1) {
            parts.definitions.append(sql.mid(start, i - start).trimmed());
            start = i + 1;
        }
        ++i;
    }
    throw MajError(err::QuerySyntax);
}

// The column name a definition starts with, or an empty text for a table constraint.
QString definitionName(const QString& definition, qsizetype& end)
{
    qsizetype i = 0;
    while (i < definition.size() && definition[i].isSpace())
        ++i;
    // Comments before the name.
    while (i < definition.size() &&
           (definition.mid(i, 2) == QLatin1String("--") || definition.mid(i, 2) == QLatin1String("/*"))) {
        skipQuoted(definition, i);
        while (i < definition.size() && definition[i].isSpace())
            ++i;
    }
    const qsizetype start = i;
    if (i < definition.size() && skipQuoted(definition, i)) {
        end = i;
        QString name = definition.mid(start + 1, i - start - 2);
        const QChar q = definition[start];
        if (q != QLatin1Char('['))
            name.replace(QString(2, q), QString(q));
        return name;
    }
    while (i < definition.size() &&
           (definition[i].isLetterOrNumber() || definition[i] == QLatin1Char('_') || definition[i].unicode() > 0x7f))
        ++i;
    end = i;
    const QString word = definition.mid(start, i - start);
    static const QStringList constraints =
        QStringLiteral("CONSTRAINT PRIMARY UNIQUE CHECK FOREIGN").split(QLatin1Char(' '));
    if (constraints.contains(word.toUpper()))
        return {};
    return word;
}

// Where the type of a column definition is: the words after the name up to a constraint, and a
// parenthesized size right after them.
std::pair<qsizetype, qsizetype> typeSpan(const QString& definition, qsizetype nameEnd)
{
    static const QStringList stops =
        QStringLiteral("CONSTRAINT PRIMARY NOT NULL UNIQUE CHECK DEFAULT COLLATE REFERENCES GENERATED AS")
            .split(QLatin1Char(' '));
    qsizetype i = nameEnd;
    while (i < definition.size() && definition[i].isSpace())
        ++i;
    const qsizetype from = i;
    qsizetype to = i;
    while (i < definition.size()) {
        qsizetype j = i;
        while (j < definition.size() && (definition[j].isLetterOrNumber() || definition[j] == QLatin1Char('_')))
            ++j;
        if (j == i || stops.contains(definition.mid(i, j - i).toUpper()))
            break;
        to = j;
        i = j;
        while (i < definition.size() && definition[i].isSpace())
            ++i;
    }
    if (i < definition.size() && definition[i] == QLatin1Char('(') && to > from) {
        const qsizetype close = definition.indexOf(QLatin1Char(')'), i);
        if (close > i)
            to = close + 1;
    }
    return {from, to};
}

// SQLite stores text as text only in a column whose declared type says CHAR, CLOB or TEXT: the Jet
// text type names without those letters are written as their SQLite twins, so that '007' and
// '308335.' stay text.
QString textAffine(const QString& definition, qsizetype nameEnd)
{
    const auto [from, to] = typeSpan(definition, nameEnd);
    const QString type = definition.mid(from, to - from);
    const QString base = type.section(QLatin1Char('('), 0, 0).trimmed().toUpper();
    QString twin;
    if (base == QLatin1String("STRING") || base == QLatin1String("ALPHANUMERIC")) {
        const qsizetype size = type.indexOf(QLatin1Char('('));
        twin = QStringLiteral("VARCHAR") + (size < 0 ? QString() : type.mid(size));
    } else if (base == QLatin1String("MEMO") || base == QLatin1String("NOTE"))
        twin = QStringLiteral("LONGTEXT");
    return twin.isEmpty() ? definition : definition.left(from) + twin + definition.mid(to);
}

class Direct : public DirectDatabase
{
public:
    explicit Direct(std::shared_ptr<Connection> connection) : m_connection(std::move(connection)) {}
    // Not closed: what it did is rolled back when the connection goes, unless another holder commits.
    ~Direct() override = default;

    void execute(const QString& jetSql) override
    {
        requireOpen();
        std::vector<Token> all = tokenize(jetSql, err::QuerySyntax);
        std::vector<const Token*> words;
        for (const Token& t : all) {
            if (t.type != Token::Type::Space && t.type != Token::Type::End)
                words.push_back(&t);
        }
        if (!words.empty() && words.back()->type == Token::Type::Operator && words.back()->text == QLatin1String(";"))
            words.pop_back();
        auto word = [&](size_t i, const char* w) {
            return i < words.size() && words[i]->type == Token::Type::Word &&
                   words[i]->text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
        };
        auto name = [&](size_t i) {
            return i < words.size() &&
                   (words[i]->type == Token::Type::Word || words[i]->type == Token::Type::Bracketed ||
                    words[i]->type == Token::Type::String);
        };
        if (word(0, "ALTER") && word(1, "TABLE")) {
            if (!name(2))
                throw MajError(err::AlterSyntax, kAlterSyntax);
            const QString table = words[2]->value;
            const size_t column = word(4, "COLUMN") ? 5 : 4;
            // ALTER and ADD take a definition after the column's name, DROP nothing.
            const bool defined = name(column) && column + 1 < words.size();
            if (word(3, "ALTER")) {
                if (!defined)
                    throw MajError(err::AlterSyntax, kAlterSyntax);
                alterColumn(table, words[column]->value, rest(all, words[column]));
                return;
            }
            if (word(3, "ADD") && !word(4, "CONSTRAINT") && !word(4, "PRIMARY") && !word(4, "UNIQUE") &&
                !word(4, "FOREIGN")) {
                if (!defined)
                    throw MajError(err::AlterSyntax, kAlterSyntax);
                addColumn(table, words[column]->value, rest(all, words[column]), -1);
                return;
            }
            if (word(3, "DROP")) {
                if (!name(column) || column + 1 != words.size())
                    throw MajError(err::AlterSyntax, kAlterSyntax);
                run(QStringLiteral("ALTER TABLE %1 DROP COLUMN %2")
                        .arg(quoteIdentifier(requireTable(table)->name), quoteIdentifier(words[column]->value)));
                return;
            }
            throw MajError(err::AlterSyntax, kAlterSyntax);
        }
        // Jet names the table of the index to drop; SQLite does not want it.
        if (word(0, "DROP") && word(1, "INDEX") && name(2) && word(3, "ON") && name(4) && words.size() == 5) {
            requireTable(words[4]->value);
            run(QStringLiteral("DROP INDEX %1").arg(quoteIdentifier(words[2]->value)));
            return;
        }
        if (word(0, "CREATE") && word(1, "TABLE")) {
            CreateTable parts = splitCreateTable(translateQuery(jetSql));
            for (QString& d : parts.definitions) {
                qsizetype nameEnd = 0;
                if (!definitionName(d, nameEnd).isEmpty())
                    d = textAffine(d, nameEnd);
            }
            run(parts.head + QLatin1Char('(') + parts.definitions.join(QStringLiteral(", ")) + QLatin1Char(')') +
                parts.tail);
            return;
        }
        run(translateQuery(jetSql));
    }

    void appendField(const QString& table, const QString& fieldName, FieldType type, int ordinalPosition) override
    {
        requireOpen();
        addColumn(table, fieldName, declaredType(type), ordinalPosition);
    }

    void close() override
    {
        if (!m_connection)
            return;
        const std::shared_ptr<Connection> connection = std::move(m_connection);
        connection->commit();
    }

private:
    static QString declaredType(FieldType type)
    {
        // By FieldType. A yes/no field is never null: the rows already there read No.
        static const char* const types[] = {"YESNO DEFAULT 0", "SHORT",    "LONG",    "DOUBLE",
                                            "TEXT(255)",       "DATETIME", "LONGTEXT"};
        static_assert(std::size(types) == size_t(FieldType::Memo) + 1);
        return QString::fromLatin1(types[int(type)]);
    }

    void requireOpen() const
    {
        if (!m_connection)
            throw MajError(err::ObjectNotSet);
    }

    // The text of a statement after a token, as written, without a final semicolon.
    static QString rest(const std::vector<Token>& all, const Token* after)
    {
        QString text;
        bool started = false;
        for (const Token& t : all) {
            if (&t == after) {
                started = true;
                continue;
            }
            if (!started || t.type == Token::Type::End)
                continue;
            if (t.type == Token::Type::Bracketed)
                text += quoteIdentifier(t.value);
            else if (t.type == Token::Type::String)
                text += quoteText(t.value);
            else
                text += t.text;
        }
        text = text.trimmed();
        if (text.endsWith(QLatin1Char(';')))
            text.chop(1);
        return text.trimmed();
    }

    std::shared_ptr<const TableInfo> requireTable(const QString& table)
    {
        auto info = m_connection->table(table);
        if (!info)
            throw MajError(err::TableNotFound);
        return info;
    }

    void run(const QString& sql)
    {
        m_connection->write([&] {
            m_connection->cursors().forget(); // a statement stepped on a table would lock it
            m_connection->db().exec(sql);
        });
        m_connection->forget(Stale::Schema);
    }

    void alterColumn(const QString& table, const QString& column, const QString& jetDefinition)
    {
        const QString definition = textAffine(jetDefinition, 0);
        const auto info = requireTable(table);
        const int index = info->indexOf(column);
        if (index < 0)
            throw MajError(err::ItemNotFound);
        rebuild(
            *info,
            [&](QStringList& definitions) {
                for (QString& d : definitions) {
                    qsizetype nameEnd = 0;
                    const QString name = definitionName(d, nameEnd);
                    if (name.isEmpty() || name.compare(info->columns[size_t(index)].name, Qt::CaseInsensitive) != 0)
                        continue;
                    const auto [from, to] = typeSpan(d, nameEnd);
                    // The new definition's type replaces the old one; its own constraints, when it
                    // gives any, replace the old ones too.
                    const auto [newFrom, newTo] = typeSpan(definition, 0);
                    if (newTo < definition.size() && !definition.mid(newTo).trimmed().isEmpty())
                        d = d.left(nameEnd) + QLatin1Char(' ') + definition;
                    else
                        d = d.left(from) + definition.mid(newFrom, newTo - newFrom) + d.mid(to);
                    return;
                }
                throw MajError(err::ItemNotFound);
            },
            index, parseDeclaredType(typeOnly(definition)));
    }

    static QString typeOnly(const QString& definition)
    {
        const auto [from, to] = typeSpan(definition, 0);
        return definition.mid(from, to - from);
    }

    void addColumn(const QString& table, const QString& column, const QString& definition, int ordinal)
    {
        const auto info = requireTable(table);
        if (info->indexOf(column) >= 0)
            throw MajError(err::FieldDefinedTwice, kFieldTwice);
        const QString added = quoteIdentifier(column) + QLatin1Char(' ') + textAffine(definition, 0);
        if (ordinal < 0 || size_t(ordinal) >= info->columns.size()) {
            run(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(info->quotedName, added));
            return;
        }
        rebuild(*info,
                [&](QStringList& definitions) {
                    // The ordinal counts columns only; table constraints follow every column.
                    int seen = 0;
                    for (qsizetype i = 0; i < definitions.size(); ++i) {
                        qsizetype nameEnd = 0;
                        if (definitionName(definitions[i], nameEnd).isEmpty())
                            continue;
                        if (seen++ == ordinal) {
                            definitions.insert(i, added);
                            return;
                        }
                    }
                    definitions.append(added);
                },
                -1, {});
    }

    // Rebuilds a table with changed definitions and every row, rowid and index it had, inside one
    // savepoint: on failure nothing of it stays and the writes before it are committed.
    // `retyped` names a column whose stored values are converted to `newType`.
    void rebuild(const TableInfo& info, const std::function<void(QStringList&)>& change, int retyped,
                 const ColumnType& newType)
    {
        const QString temporary = quoteIdentifier(QStringLiteral("maj_rebuild_") + info.name);
        m_connection->write([&] {
            m_connection->cursors().forget();
            sqlite::Connection& db = m_connection->db();
            db.exec(QStringLiteral("SAVEPOINT maj_rebuild"));
            // On failure nothing of the rebuild stays; the writes before it do.
            auto undo = qScopeGuard([&] {
                for (const char* sql : {"ROLLBACK TO maj_rebuild", "RELEASE maj_rebuild"}) {
                    if (db.tryExec(QString::fromLatin1(sql)) != SQLITE_OK)
                        qCWarning(lcDb).noquote() << "annulation impossible :" << sqlite3_errmsg(db.handle());
                }
            });
            // The rename must not look into triggers and views of other tables that name the
            // table: they are right again once it is back under its name.
            const auto legacyOff = qScopeGuard([&] { db.tryExec(QStringLiteral("PRAGMA legacy_alter_table=OFF")); });
            db.exec(QStringLiteral("PRAGMA legacy_alter_table=ON"));
            QString createSql;
            QStringList companions; // indexes and triggers of the table
            QStringList views;
            QStringList viewNames;
            {
                sqlite::Statement s = db.prepare(QStringLiteral(
                    "SELECT type, name, sql FROM sqlite_master WHERE (tbl_name = ?1 AND type IN ('table', 'index', "
                    "'trigger')) OR type = 'view' ORDER BY rowid"));
                s.bind(1, info.name);
                while (s.step()) {
                    const QString type = s.column(0).toString();
                    const QVariant sql = s.column(2);
                    if (!sql.isValid())
                        continue; // indexes of the table's own constraints come back with it
                    if (type == QLatin1String("table"))
                        createSql = sql.toString();
                    else if (type == QLatin1String("view")) {
                        views.append(sql.toString());
                        viewNames.append(s.column(1).toString());
                    } else
                        companions.append(sql.toString());
                }
            }
            CreateTable parts = splitCreateTable(createSql);
            change(parts.definitions);
            const bool withoutRowid = parts.tail.contains(QLatin1String("WITHOUT"), Qt::CaseInsensitive);
            QStringList names;
            for (const auto& c : info.columns)
                names.append(quoteIdentifier(c.name));
            // The rowid goes along (the natural order and open recordsets rely on it), unless a
            // column is the rowid already.
            bool rowidAlias = false;
            {
                sqlite::Statement pk = db.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(info.quotedName));
                int keys = 0;
                QString keyType;
                while (pk.step()) {
                    if (pk.column(5).toLongLong() > 0) {
                        ++keys;
                        keyType = pk.column(2).toString();
                    }
                }
                rowidAlias = keys == 1 && keyType.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0;
            }
            const QString copied =
                (withoutRowid || rowidAlias ? QString() : QStringLiteral("rowid, ")) + names.join(QLatin1Char(','));
            qint64 sequence = -1;
            {
                sqlite::Statement seq = db.prepare(
                    QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'sqlite_sequence'"));
                if (seq.step()) {
                    sqlite::Statement value =
                        db.prepare(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?"));
                    value.bind(1, info.name);
                    if (value.step())
                        sequence = value.column(0).toLongLong();
                }
            }
            for (const QString& view : viewNames)
                db.exec(QStringLiteral("DROP VIEW %1").arg(quoteIdentifier(view)));
            db.exec(QStringLiteral("CREATE TABLE ") + temporary + QStringLiteral(" (\n    ") +
                    parts.definitions.join(QStringLiteral(",\n    ")) + QStringLiteral("\n)") + parts.tail);
            db.exec(QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3").arg(temporary, copied, info.quotedName));
            if (retyped >= 0)
                convertColumn(temporary, info.columns[size_t(retyped)], newType, withoutRowid);
            db.exec(QStringLiteral("DROP TABLE ") + info.quotedName);
            db.exec(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(temporary, info.quotedName));
            for (const QString& sql : companions)
                db.exec(sql);
            for (const QString& sql : views)
                db.exec(sql);
            if (sequence >= 0) {
                sqlite::Statement fix =
                    db.prepare(QStringLiteral("UPDATE sqlite_sequence SET seq = max(seq, ?1) WHERE name = ?2"));
                fix.bind(1, sequence);
                fix.bind(2, info.name);
                fix.step();
            }
            db.exec(QStringLiteral("RELEASE maj_rebuild"));
            undo.dismiss();
        });
        m_connection->forget(Stale::Schema);
    }

    // The values of a column whose type changed, converted as a write to the new type converts
    // them: text longer than a new size is 3163, text that is no number for a number 3421.
    void convertColumn(const QString& table, const TableInfo::Column& column, const ColumnType& newType,
                       bool withoutRowid)
    {
        if (withoutRowid)
            return;
        sqlite::Connection& db = m_connection->db();
        const QString quoted = quoteIdentifier(column.name);
        std::vector<std::pair<qint64, QVariant>> changed;
        {
            sqlite::Statement read = db.prepare(QStringLiteral("SELECT rowid, %1 FROM %2").arg(quoted, table));
            while (read.step()) {
                const QVariant stored = read.column(1);
                const QVariant converted = toStored(fromStored(stored, column.type), newType);
                if (converted != stored || converted.typeId() != stored.typeId())
                    changed.emplace_back(read.column(0).toLongLong(), converted);
            }
        }
        if (changed.empty())
            return;
        sqlite::Statement write = db.prepare(QStringLiteral("UPDATE %1 SET %2 = ? WHERE rowid = ?").arg(table, quoted));
        for (const auto& [rowid, value] : changed) {
            write.bind(1, value);
            write.bind(2, rowid);
            write.step();
            write.reset();
        }
    }

    std::shared_ptr<Connection> m_connection;
};

} // namespace

std::unique_ptr<DirectDatabase> openDirect(std::shared_ptr<Connection> connection)
{
    return std::make_unique<Direct>(std::move(connection));
}

} // namespace maj::jet
