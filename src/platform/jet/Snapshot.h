#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace maj {

// Copies what is committed in a database file (a host path) into a new file, through SQLite's
// backup API: a consistent copy even while another program writes to it. The source is opened
// read-only and held for the one read of the copy; a writer that is committing is waited for a
// few seconds; a journal a crash left beside it is rolled back in the copy, not in the source.
// Throws MajError (3051 locked or unreadable, 3343 not a database).
void snapshotDatabase(const QString& sourceHostPath, const QString& targetHostPath);

// A stored value that differs between two states of a row.
struct ColumnChange
{
    QString name;
    QVariant before;
    QVariant after;
};

// What became of a table, against a copy of it as it was: rows matched by rowid, every column's
// stored value compared with SQL's IS NOT.
struct TableChanges
{
    QList<QVariantList> added; // the asked columns of each new row, in rowid order
    struct Row
    {
        QVariant key;
        QList<ColumnChange> columns;
    };
    QList<Row> changed; // in rowid order, with only the columns that differ
    qint64 unchanged = 0;
};

// Compares `table` of a database file (a host path, read only) with the same table in `beforeHostPath`.
// Throws MajError.
TableChanges compareTable(const QString& hostPath, const QString& beforeHostPath, const QString& table,
                          const QString& key, const QStringList& addedColumns);

} // namespace maj
