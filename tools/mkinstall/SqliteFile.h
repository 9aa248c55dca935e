#pragma once

#include "Sample.h"
#include "platform/Format.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <memory>

#include <sqlite3.h>

// SQLite's own C API, for the sample installation, the benchmarks and the tests: they write and
// read the files as any other SQLite program does. It is not the engine's wrapper, which gives
// SQLite's failures the old engine's numbers and stays private to the engine; here a failure is
// a SampleError with SQLite's own message. Values are stored as the engine stores them.
namespace maj::sample::sql {

enum Mode : int
{
    ReadOnly = SQLITE_OPEN_READONLY,
    ReadWrite = SQLITE_OPEN_READWRITE,
    Create = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE
};

class Statement
{
public:
    Statement(sqlite3* db, const QString& text) : m_db(db)
    {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_stmt* stmt = nullptr;
        check(sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &stmt, nullptr));
        m_stmt.reset(stmt);
    }

    // By 1-based index; dates as ISO text, yes/no as 1 and 0.
    void bind(int index, const QVariant& value)
    {
        sqlite3_stmt* s = m_stmt.get();
        const int type = value.typeId();
        if (value.isNull()) {
            check(sqlite3_bind_null(s, index));
        } else if (type == QMetaType::Bool || fmt::isWholeNumber(type)) {
            check(sqlite3_bind_int64(s, index, value.toLongLong()));
        } else if (type == QMetaType::Double || type == QMetaType::Float) {
            check(sqlite3_bind_double(s, index, value.toDouble()));
        } else {
            const QByteArray bytes = type == QMetaType::QByteArray ? value.toByteArray() : text(value);
            check(type == QMetaType::QByteArray
                      ? sqlite3_bind_blob64(s, index, bytes.constData(), bytes.size(), SQLITE_TRANSIENT)
                      : sqlite3_bind_text64(s, index, bytes.constData(), bytes.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
        }
    }
    // True while a row is there.
    bool step()
    {
        const int rc = sqlite3_step(m_stmt.get());
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            check(rc);
        return rc == SQLITE_ROW;
    }
    // Ready to run again with new values.
    void reset()
    {
        sqlite3_reset(m_stmt.get());
        sqlite3_clear_bindings(m_stmt.get());
    }
    int columnCount() const { return sqlite3_column_count(m_stmt.get()); }
    // For values passed from one statement to another as SQLite holds them.
    sqlite3_stmt* handle() const { return m_stmt.get(); }
    // Null as an invalid QVariant, integers as qlonglong, reals as double, text as QString.
    QVariant column(int i) const
    {
        sqlite3_stmt* s = m_stmt.get();
        const int type = sqlite3_column_type(s, i);
        if (type == SQLITE_INTEGER)
            return qlonglong(sqlite3_column_int64(s, i));
        if (type == SQLITE_FLOAT)
            return sqlite3_column_double(s, i);
        if (type == SQLITE_TEXT)
            return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i)),
                                     sqlite3_column_bytes(s, i));
        if (type == SQLITE_BLOB)
            return QByteArray(static_cast<const char*>(sqlite3_column_blob(s, i)), sqlite3_column_bytes(s, i));
        return {};
    }

private:
    static QByteArray text(const QVariant& value)
    {
        if (value.typeId() == QMetaType::QDateTime)
            return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
        return (value.typeId() == QMetaType::QDate ? value.toDate().toString(Qt::ISODate) : value.toString()).toUtf8();
    }
    void check(int rc) const
    {
        if (rc != SQLITE_OK)
            throw SampleError(QString::fromUtf8(sqlite3_errmsg(m_db)));
    }
    sqlite3* m_db;
    std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> m_stmt{nullptr, &sqlite3_finalize};
};

class Database
{
public:
    // No busy wait: a locked file fails at once.
    Database(const QString& path, Mode flags)
    {
        sqlite3* db = nullptr;
        const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
        m_db.reset(db);
        if (rc != SQLITE_OK)
            throw SampleError(path + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(db)));
    }
    void exec(const QString& sql)
    {
        if (sqlite3_exec(m_db.get(), sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            throw SampleError(QString::fromUtf8(sqlite3_errmsg(m_db.get())));
    }
    Statement prepare(const QString& sql) { return Statement(m_db.get(), sql); }

private:
    std::unique_ptr<sqlite3, decltype(&sqlite3_close_v2)> m_db{nullptr, &sqlite3_close_v2};
};

// One value of a query (the first column of its first row), or null.
inline QVariant scalar(const QString& path, const QString& sql)
{
    Database db(path, ReadOnly);
    Statement query = db.prepare(sql);
    return query.step() ? query.column(0) : QVariant();
}

} // namespace maj::sample::sql
