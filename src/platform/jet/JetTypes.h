#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVariant>

struct sqlite3_stmt;

// The declared types of the columns and the conversions the old engine made when a value was
// written to or read from a column.
//
// Dates are stored as ISO 8601 text, always "yyyy-MM-dd HH:mm:ss" (midnight for a pure date), the
// SQLite convention, so that other SQLite tools read them and text order is date order. Yes/no
// values are stored as 1 and 0. Reading converts back: a date column gives a QDateTime (local
// time), a yes/no column a bool; a value another tool stored that does not fit the column is
// read as stored.
namespace maj::jet {

struct ColumnType
{
    enum class Kind
    {
        Text,
        Integer,
        Double,
        Bool,
        Date,
        Other
    };
    Kind kind = Kind::Other;
    // Text: the most characters, 0 for a memo (no limit).
    int size = 0;
    // Integer: the range of the Jet type (BYTE, SHORT, LONG) or SQLite's 64 bits (INTEGER).
    qint64 minimum = 0;
    qint64 maximum = 0;
    bool currency = false;
    // SQLite stores text as text in this column (TEXT affinity): the equality look-ups apply.
    bool textAffinity = false;
    QString declared;
};

// TEXT(n), CHAR(n), VARCHAR(n); MEMO, TEXT; INTEGER, LONG, SHORT, SMALLINT, BYTE; DOUBLE, REAL,
// SINGLE, FLOAT, CURRENCY; YESNO, BIT, BOOLEAN; DATETIME, DATE. Anything else keeps what is given.
ColumnType parseDeclaredType(const QString& declared);

// The value to store for a value written to a column, as the old engine converted it: text into a
// number or date column is read under the regional settings ("01/01/2021" is day/month/year, two-
// or four-digit years). Text too long is 3163, a value the column cannot hold 3421.
// What a connection remembers between conversions of dates: the last text written (a step writes
// the same release date into every row) and the stored dates read lately (tables repeat theirs).
struct DateMemo
{
    QString lastText;
    QString lastStored;
    QHash<QString, QDateTime> recent;
};

QVariant toStored(const QVariant& value, const ColumnType& type, DateMemo* memo = nullptr);
// The value a stored value of a column reads as.
QVariant fromStored(const QVariant& stored, const ColumnType& type, DateMemo* memo = nullptr);
// Column `column` of the current row of a statement, read as a column of that type.
QVariant readColumn(sqlite3_stmt* statement, int column, const ColumnType& type, DateMemo* memo = nullptr);

QString storedDate(const QDateTime& dateTime);
// A stored date ("yyyy-MM-dd", "yyyy-MM-dd HH:mm[:ss[.zzz]]", with a T or a blank); invalid if not.
QDateTime parseStoredDate(const QString& text);
// A date as the user types it under the regional settings (day/month/year in Belgium), or ISO.
QDateTime parseRegionalDate(const QString& text);

} // namespace maj::jet
