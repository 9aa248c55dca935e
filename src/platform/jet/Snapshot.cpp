#include "platform/jet/Snapshot.h"

#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "platform/jet/JetSql.h"
#include "platform/jet/Sqlite.h"

#include <QFile>

#include <algorithm>
#include <future>
#include <vector>

#include <sqlite3.h>

namespace maj {

namespace {

// A crash left a journal beside the source, which a read-only connection cannot roll back: the
// copy, with the journal, is rolled back where it lies, as the application would do at its next
// start. With no writer alive the two files do not change while they are copied.
void rollBackCopy(const QString& sourceHostPath, const QString& targetHostPath)
{
    const QString journal = QStringLiteral("-journal");
    fs::copyFile(fs::windowsPath(sourceHostPath), fs::windowsPath(targetHostPath));
    fs::copyFile(fs::windowsPath(sourceHostPath + journal), fs::windowsPath(targetHostPath + journal));
    sqlite::Connection copy(targetHostPath, sqlite::Connection::Mode::ReadWrite);
    copy.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
}

// A column's quoted name, after its table's ("a.\"code inami\"").
QString column(const QString& table, const QString& name)
{
    return table + QLatin1Char('.') + jet::quoteIdentifier(name);
}

} // namespace

void snapshotDatabase(const QString& sourceHostPath, const QString& targetHostPath)
{
    int rc = SQLITE_OK;
    try {
        sqlite::Connection source(sourceHostPath, sqlite::Connection::Mode::ReadOnly);
        sqlite3_busy_timeout(source.handle(), 5000);
        sqlite::Connection target(targetHostPath, sqlite::Connection::Mode::ReadWriteCreate);
        // A scratch copy: no journal, no waiting for the disk.
        target.exec(QStringLiteral("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF"));
        sqlite3_backup* backup = sqlite3_backup_init(target.handle(), "main", source.handle(), "main");
        if (!backup)
            target.check(sqlite3_errcode(target.handle()), sqlite::Context::Open);
        // All pages in one step: the source is read under one lock, so the copy is one state of it.
        for (int attempt = 0; attempt < 100; ++attempt) {
            rc = sqlite3_backup_step(backup, -1);
            if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
                break;
            sqlite3_sleep(50);
        }
        // An error of a step (out of memory, I/O) is told again by the finish.
        if (const int finished = sqlite3_backup_finish(backup); rc == SQLITE_DONE && finished != SQLITE_OK)
            rc = finished;
        // A crash's journal, which a read-only connection cannot roll back, is handled below.
        const bool hotJournal =
            (rc & 0xff) == SQLITE_READONLY && QFile::exists(sourceHostPath + QStringLiteral("-journal"));
        if (rc != SQLITE_DONE && !hotJournal)
            target.check(rc, sqlite::Context::Open);
    } catch (const MajError&) {
        QFile::remove(targetHostPath);
        throw;
    }
    if (rc != SQLITE_DONE)
        rollBackCopy(sourceHostPath, targetHostPath);
}

namespace {

// Both files read, mapped: only the preview's own copies are compared, and their pages are then
// read without a copy each.
sqlite::Connection openCompared(const QString& hostPath, const QString& beforeHostPath)
{
    sqlite::Connection db(hostPath, sqlite::Connection::Mode::ReadOnly);
    db.exec(QStringLiteral("PRAGMA mmap_size = 1073741824"));
    db.exec(QStringLiteral("ATTACH DATABASE %1 AS b").arg(jet::quoteText(beforeHostPath)));
    return db;
}

// The rows of `before` whose rowid is in [from, to] that differ from the row of the same rowid:
// the key and the columns that differ, in rowid order.
QList<TableChanges::Row> changedRows(sqlite::Connection& db, const QString& quotedTable, const QStringList& names,
                                     const QString& key, qint64 from, qint64 to)
{
    // Bit i of mask i / 60 tells whether column i differs: only those columns' values are read.
    constexpr int kBits = 60;
    QStringList masks;
    QStringList values;
    for (int i = 0; i < names.size(); ++i) {
        const QString before = column(QStringLiteral("o"), names[i]);
        const QString after = column(QStringLiteral("a"), names[i]);
        values << before << after;
        if (i % kBits == 0)
            masks.append(QString());
        masks.last() +=
            QStringLiteral("%1((%2 IS NOT %3) << %4)")
                .arg(i % kBits ? QStringLiteral(" + ") : QString(), after, before, QString::number(i % kBits));
    }
    const int first = int(masks.size()) + 1;
    sqlite::Statement changed =
        db.prepare(QStringLiteral("SELECT %1, %2, %3 FROM b.%4 AS o JOIN main.%4 AS a ON a.rowid = o.rowid "
                                  "WHERE o.rowid BETWEEN ?1 AND ?2 ORDER BY o.rowid")
                       .arg(masks.join(QStringLiteral(", ")), column(QStringLiteral("a"), key),
                            values.join(QStringLiteral(", ")), quotedTable));
    changed.bind(1, from);
    changed.bind(2, to);
    QList<TableChanges::Row> rows;
    std::vector<qint64> mask(size_t(masks.size()));
    while (changed.step()) {
        for (size_t m = 0; m < mask.size(); ++m)
            mask[m] = changed.column(int(m)).toLongLong();
        if (std::all_of(mask.cbegin(), mask.cend(), [](qint64 bits) { return bits == 0; }))
            continue;
        TableChanges::Row row{changed.column(first - 1), {}};
        for (int i = 0; i < names.size(); ++i) {
            if (mask[size_t(i / kBits)] & (qint64(1) << (i % kBits)))
                row.columns.append({names[i], changed.column(first + 2 * i), changed.column(first + 1 + 2 * i)});
        }
        rows.append(row);
    }
    return rows;
}

} // namespace

TableChanges compareTable(const QString& hostPath, const QString& beforeHostPath, const QString& table,
                          const QString& key, const QStringList& addedColumns)
{
    TableChanges r;
    sqlite::Connection db = openCompared(hostPath, beforeHostPath);
    const QString quotedTable = jet::quoteIdentifier(table);
    QStringList names;
    sqlite::Statement info = db.prepare(QStringLiteral("PRAGMA main.table_info(%1)").arg(quotedTable));
    while (info.step())
        names.append(info.column(1).toString());
    sqlite::Statement range =
        db.prepare(QStringLiteral("SELECT min(rowid), max(rowid), count(*) FROM b.%1").arg(quotedTable));
    range.step();
    const qint64 low = range.column(0).toLongLong();
    const qint64 high = range.column(1).toLongLong();
    const qint64 count = range.column(2).toLongLong();

    // The rows kept are compared in two halves, the upper one on the second core.
    const qint64 middle = low + (high - low) / 2;
    auto upper = std::async(std::launch::async, [&] {
        sqlite::Connection own = openCompared(hostPath, beforeHostPath);
        return changedRows(own, quotedTable, names, key, middle + 1, high);
    });
    QStringList shown;
    for (const QString& name : addedColumns)
        shown.append(column(QStringLiteral("a"), name));
    sqlite::Statement added =
        db.prepare(QStringLiteral("SELECT %1 FROM main.%2 AS a LEFT JOIN b.%2 AS o ON o.rowid = a.rowid WHERE "
                                  "o.rowid IS NULL ORDER BY a.rowid")
                       .arg(shown.join(QStringLiteral(", ")), quotedTable));
    while (added.step()) {
        QVariantList row;
        for (int i = 0; i < shown.size(); ++i)
            row.append(added.column(i));
        r.added.append(row);
    }
    r.changed = changedRows(db, quotedTable, names, key, low, middle);
    r.changed.append(upper.get());
    r.unchanged = count - r.changed.size();
    return r;
}

} // namespace maj
