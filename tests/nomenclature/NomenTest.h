#pragma once

// Shared by the tariff code tests: a drive c: with the installation's databases, the main window
// core, and rows written and read through the engine.

#include "TestSupport.h"
#include "app/core/Form1Core.h"
#include "nomenclature/Nomenclature.h"
#include "platform/MajError.h"
#include "platform/jet/Database.h"

#include <QDateTime>
#include <QList>

#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QVariant& value, std::ostream* os)
{
    if (value.isNull())
        *os << "null";
    else
        *os << value.typeName() << '(' << value.toString().toStdString() << ')';
}

namespace maj::test {

using Row = QList<Value>; // positions 0 to 20 of the nomenclature record

inline QString patPath()
{
    return QStringLiteral("c:\\praxidome\\pat.mdb");
}
inline QString eattestPath()
{
    return QStringLiteral("c:\\praxidome\\eattest.mdb");
}
inline QString trajPath()
{
    return QStringLiteral("c:\\praxidome\\traj.mdb");
}

// A row with only the abbreviation, the code and the text of column 2 set.
inline Row codeRow(const Value& abbreviation, const Value& code, const Value& text = QStringLiteral("texte"))
{
    Row row(21);
    row[0] = abbreviation;
    row[1] = code;
    row[2] = text;
    return row;
}

// A full row whose every position holds a value of its column's type; `variant` makes the values
// of two rows differ at every position but the code.
inline Row fullRow(const QString& code, int variant)
{
    Row row(21);
    const QString tag = variant == 0 ? QStringLiteral("src") : QStringLiteral("own");
    for (int p : {0, 2, 6, 7, 14, 15, 16})
        row[p] = QStringLiteral("%1-%2").arg(tag).arg(p);
    row[0] = QStringLiteral("%1-%2").arg(tag, code);
    row[1] = code;
    for (int p : {3, 4, 5, 9, 10, 11})
        row[p] = double(p) + (variant == 0 ? 0.25 : 100.5);
    for (int p : {8, 12, 13, 18})
        row[p] = qlonglong(p + (variant == 0 ? 1 : 500));
    row[17] = variant == 0;
    row[19] = QDateTime(QDate(variant == 0 ? 2018 : 2019, 3, 3), QTime(0, 0));
    row[20] = QDateTime(QDate(variant == 0 ? 2030 : 2029, 6, 30), QTime(0, 0));
    return row;
}

// The column table of the nomenclature record, one letter per position: C copied from the source,
// K kept, S stamped with the release date, D left at the table's default.
struct ColumnTable
{
    const char* step;
    const char* languageCode;
    const char* perPosition; // 21 letters, position 0 first
};
inline const ColumnTable columnTable[] = {
    //                        0         1         2
    //                        012345678901234567890
    {"nouv", "NL", /*      */ "CCCCCCCCCCCCCCCCDDDSC"}, {"anciens", "NL", /*   */ "KKKCCCCKKCCCCCCCKKKSC"},
    {"anciens", "FR", /*   */ "KKCCCCCKKCCCCCCCKKKSC"}, {"anciens", "fr", /*   */ "KKKCCCCKKCCCCCCCKKKSC"},
    {"synchro update", "NL", "CKCKKKCCCKKKCKCCKKKSC"},  {"synchro insert", "NL", "CCCCCCCCCCCCCCCCDDDSC"},
};

struct NomenFixture : StepFixture
{
    NomenFixture()
    {
        f.settings.LanguageCode = QStringLiteral("NL");
        f.settings.ReleaseDate = QStringLiteral("01/01/2021");
    }

    QString host(const QString& windowsPath) const
    {
        QString relative = windowsPath.mid(3);
        relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
        return drive.host(relative);
    }
    void create(const QString& windowsPath, const QString& schema) const { createDatabase(host(windowsPath), schema); }
    void createAll() const
    {
        create(patPath(), QStringLiteral("pat"));
        create(eattestPath(), QStringLiteral("eattest"));
        create(trajPath(), QStringLiteral("traj"));
    }

    static void addRows(const QString& windowsPath, const QString& table, const QList<Row>& rows)
    {
        DataSource source(QStringLiteral("TestWriter"));
        source.bind(windowsPath, table);
        Recordset& rs = source.recordset();
        for (const Row& row : rows) {
            rs.addNew();
            for (int p = 0; p < row.size(); ++p) {
                if (!row[p].isNull())
                    rs.setField(p, row[p]);
            }
            rs.update();
        }
        source.release();
    }

    // Positions 0 to 20 of every row, in the table's order.
    static QList<Row> rows(const QString& windowsPath, const QString& table)
    {
        DataSource source(QStringLiteral("TestReader"));
        source.bind(windowsPath, table);
        Recordset& rs = source.recordset();
        QList<Row> result;
        while (!rs.isEof()) {
            Row row;
            for (int p = 0; p < 21; ++p)
                row.append(rs.field(p));
            result.append(row);
            rs.moveNext();
        }
        source.release();
        return result;
    }

    static QStringList codes(const QString& windowsPath, const QString& table)
    {
        QStringList result;
        for (const Row& row : rows(windowsPath, table))
            result.append(row[1].toString());
        return result;
    }

    // What assignationdesbases leaves for nouv and anciens.
    void bindForImport()
    {
        f.data.Data1.bind(patPath(), QStringLiteral("nomenclature"));
        f.data.Data2.bind(eattestPath(), QStringLiteral("nomen"));
    }
};

} // namespace maj::test
