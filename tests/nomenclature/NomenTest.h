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

namespace maj::test {

using Row = QList<Value>; // positions 0 to 20 of the nomenclature record

inline const QString patPath = "c:\\praxidome\\pat.mdb";
inline const QString eattestPath = "c:\\praxidome\\eattest.mdb";
inline const QString trajPath = "c:\\praxidome\\traj.mdb";

// A row with only the abbreviation, the code and the text of column 2 set.
inline Row codeRow(const Value& abbreviation, const Value& code, const Value& text = "texte")
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
    const QString tag = variant == 0 ? "src" : "own";
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

struct NomenFixture : StepFixture
{
    NomenFixture()
    {
        f.settings.LanguageCode = "NL";
        f.settings.ReleaseDate = "01/01/2021";
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
        create(patPath, "pat");
        create(eattestPath, "eattest");
        create(trajPath, "traj");
    }

    static void addRows(const QString& windowsPath, const QString& table, const QList<Row>& rows)
    {
        Engine engine;
        DataSource source(engine, "TestWriter");
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
        Engine engine;
        DataSource source(engine, "TestReader");
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
        f.data.Data1.bind(patPath, "nomenclature");
        f.data.Data2.bind(eattestPath, "nomen");
    }
};

} // namespace maj::test
