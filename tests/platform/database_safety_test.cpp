// What keeps a practice's data whole: text stays text whatever Jet type name declares its column,
// rebuilt tables keep the triggers and views of other tables working, and a commit that fails is
// a failure the caller sees, with the writes rolled back.

#include "EngineTest.h"
#include "FaultVfs.h"
#include "platform/MajError.h"
#include "platform/jet/Database.h"
#include "platform/jet/Sqlite.h"

#include <gtest/gtest.h>

using namespace maj;
using namespace maj::test;

namespace {

const QString kFile = QStringLiteral("c:\\praxidome\\pat.mdb");

struct SafetyTest : EngineTest
{
    void SetUp() override { create("CREATE TABLE base (ID INTEGER);"); }
};

} // namespace

TEST_F(SafetyTest, TextStaysTextWhateverItsJetTypeName)
{
    // Each statement declares the column t.c with one Jet text type name, on the table made before.
    const char* statements[][2] = {{"", "CREATE TABLE t (c %1)"},
                                   {"CREATE TABLE t (ID INTEGER)", "ALTER TABLE t ADD COLUMN c %1"},
                                   {"CREATE TABLE t (c TEXT(5))", "ALTER TABLE t ALTER COLUMN c %1"}};
    for (const char* type : {"TEXT(20)", "CHAR(20)", "VARCHAR(20)", "STRING(20)", "ALPHANUMERIC(20)", "MEMO", "NOTE",
                             "LONGTEXT", "CHARACTER(20)"}) {
        for (const auto& [before, statement] : statements) {
            SCOPED_TRACE(QString::fromLatin1(statement).arg(type).toStdString());
            exec(host(), QStringLiteral("DROP TABLE IF EXISTS t; %1").arg(before));
            execute(QString::fromLatin1(statement).arg(type));
            DataSource data(engine, QStringLiteral("Data1"));
            data.bind(kFile, QStringLiteral("t"));
            for (const char* value : {"007", "308335.", "1e3"}) {
                data.recordset().addNew();
                data.recordset().setField(QStringLiteral("c"), QString::fromLatin1(value));
                data.recordset().update();
            }
            data.release();
            EXPECT_EQ(scalar(host(), "SELECT group_concat(typeof(c) || ' ' || c, ', ') FROM t").toString(),
                      "text 007, text 308335., text 1e3");
        }
    }
}

TEST_F(SafetyTest, RebuildsKeepTheTriggersAndViewsOfOtherTables)
{
    exec(host(), "CREATE TABLE x (a TEXT(10), ADRESSE TEXT(10)); INSERT INTO x VALUES ('un', 'rue');"
                 "CREATE TABLE y (c TEXT(10));"
                 "CREATE TRIGGER y_to_x AFTER INSERT ON y BEGIN INSERT INTO x (a) VALUES (new.c); END;"
                 "CREATE VIEW vx AS SELECT a FROM x;");
    execute("ALTER TABLE x ALTER COLUMN ADRESSE CHAR(40);");
    const auto db = engine.openDirect(kFile);
    db->appendField(QStringLiteral("x"), QStringLiteral("TPAUTORISE"), DirectDatabase::FieldType::YesNo, 1);
    db->close();
    exec(host(), "INSERT INTO y VALUES ('deux')");
    EXPECT_EQ(scalar(host(), "SELECT group_concat(a) FROM vx").toString(), "un,deux");
    EXPECT_EQ(scalar(host(), "PRAGMA integrity_check").toString(), "ok");
    EXPECT_EQ(scalar(host(), "SELECT name FROM pragma_table_info('x') WHERE cid = 1").toString(), "TPAUTORISE");
}

TEST_F(SafetyTest, AFailedCommitIsThrownAndRollsBack)
{
    FaultVfs vfs;
    const struct
    {
        FaultVfs::Fault fault;
        const char* text;
    } faults[] = {{FaultVfs::Fault::DiskFull, "61: Disque plein"},
                  {FaultVfs::Fault::IoError, "3043: Erreur de disque ou de réseau."}};
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.text);
        DataSource data(engine, QStringLiteral("Data1"));
        data.bind(kFile, QStringLiteral("base"));
        data.recordset().addNew();
        data.recordset().setField(0, 7);
        data.recordset().update();
        vfs.arm(1, fault.fault); // the commit's first I/O
        try {
            engine.commit();
            ADD_FAILURE() << "the commit did not fail";
        } catch (const MajError& e) {
            EXPECT_EQ(e.numberAndDescription(), fault.text);
        }
        EXPECT_TRUE(vfs.fired());
        vfs.arm(0);
        data.release();
        EXPECT_EQ(scalar(host(), "SELECT count(*) FROM base").toInt(), 0);
    }
}

TEST_F(SafetyTest, AReaderHoldingTheFileIsWaitedForThenTheCommitFails)
{
    DataSource data(engine, QStringLiteral("Data1"));
    data.bind(kFile, QStringLiteral("base"));
    data.recordset().addNew();
    data.recordset().setField(0, 7);
    data.recordset().update();
    // Another program reads the file and never lets it go.
    sqlite::Connection reader(host(), sqlite::Connection::Mode::ReadOnly);
    reader.exec("BEGIN");
    reader.exec("SELECT count(*) FROM base");
    EXPECT_EQ(errorOf([&] { engine.commit(); }), err::CannotOpenFile);
    reader.exec("COMMIT");
    data.release();
    EXPECT_EQ(scalar(host(), "SELECT count(*) FROM base").toInt(), 0);
}
