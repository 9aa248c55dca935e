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
};

} // namespace maj::test
