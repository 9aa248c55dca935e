#pragma once

#include "TestSupport.h"
#include "platform/jet/Database.h"

#include <gtest/gtest.h>

namespace maj::test {

// What every test of the engine starts from: a drive, an engine of its own and c:\praxidome\pat.mdb.
struct EngineTest : ::testing::Test
{
    TempDrive drive;
    Engine engine;
    const QString file = QStringLiteral("c:\\praxidome\\pat.mdb");

    QString host(const QString& name = QStringLiteral("pat.mdb")) const
    {
        return drive.host(QStringLiteral("praxidome/") + name);
    }
    void create(const QString& sql) const { createDatabaseFromSql(host(), sql); }
    // A value as SQLite stores it, seen through a connection of its own.
    QVariant stored(const QString& sql) const { return scalar(host(), sql); }
    // Runs one statement of the Jet dialect on the file and commits it.
    void execute(const QString& jetSql)
    {
        const auto db = engine.openDirect(file);
        db->execute(jetSql);
        db->close();
    }
    // The recordset of the data source bound to the source on the file.
    Recordset& bind(DataSource& data, const QString& source) const
    {
        data.bind(file, source);
        return data.recordset();
    }
    // Every row the data source reads from the source, fields joined by '|'; counted: after the
    // count the duplicate check's moves give.
    QStringList rows(DataSource& data, const QString& source, bool counted = false) const
    {
        Recordset& rs = bind(data, source);
        QStringList out;
        if (counted && !rs.isEof()) {
            rs.moveLast();
            rs.moveFirst();
            out.append(QString::number(rs.recordCount()));
        }
        for (; !rs.isEof(); rs.moveNext()) {
            QStringList fields;
            for (int i = 0; i < rs.fieldCount(); ++i)
                fields.append(rs.field(i).toString());
            out.append(fields.join(QLatin1Char('|')));
        }
        return out;
    }
};

} // namespace maj::test
