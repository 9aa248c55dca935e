// What keeps a practice's data whole: text stays text whatever Jet type name declares its column,
// and writes that cannot be committed are a failure the caller sees, with the writes rolled back.

#include "EngineTest.h"
#include "FaultVfs.h"
#include "platform/MajError.h"
#include "platform/jet/Database.h"
#include "run/Step.h"

#include <QFile>

#include <gtest/gtest.h>

#include <optional>

using namespace maj;
using namespace maj::test;

namespace {

const QString kFile = QStringLiteral("c:\\praxidome\\pat.mdb");

struct SafetyTest : EngineTest
{
    void SetUp() override { create("CREATE TABLE base (ID INTEGER); CREATE TABLE other (x INTEGER);"); }
    // Binds the data source to a table and adds a row to it, pending until a commit.
    static void addRow(DataSource& data, const QString& file = kFile, const QString& table = "base")
    {
        data.bind(file, table);
        change(data.recordset(), 0, 7, true);
    }
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
            for (const char* value : {"007", "308335.", "1e3"})
                change(data.recordset(), QStringLiteral("c"), QString::fromLatin1(value), true);
            data.release();
            EXPECT_EQ(scalar(host(), "SELECT group_concat(typeof(c) || ' ' || c, ', ') FROM t").toString(),
                      "text 007, text 308335., text 1e3");
        }
    }
}

// Each file is committed on its own: the first one's commit fails, the second one's is done.
TEST_F(SafetyTest, AFailedCommitIsThrownAndRollsBack)
{
    const QString other = QStringLiteral("c:\\praxidome\\autre.mdb");
    createDatabaseFromSql(host("autre.mdb"), "CREATE TABLE base (ID INTEGER);");
    FaultVfs vfs;
    const std::pair<FaultVfs::Fault, const char*> faults[] = {
        {FaultVfs::Fault::DiskFull, "61: Disque plein"},
        {FaultVfs::Fault::IoError, "3043: Erreur de disque ou de réseau."}};
    int committed = 0;
    for (const auto& [fault, text] : faults) {
        SCOPED_TRACE(text);
        DataSource data(engine, QStringLiteral("Data1"));
        DataSource second(engine, QStringLiteral("Data2"));
        addRow(data);
        addRow(second, other);
        vfs.arm(1, fault); // the first commit's first I/O
        try {
            engine.commit();
            ADD_FAILURE() << "the commit did not fail";
        } catch (const MajError& e) {
            EXPECT_EQ(e.numberAndDescription(), text);
        }
        vfs.arm(0);
        data.release();
        EXPECT_EQ(scalar(host(), "SELECT count(*) FROM base").toInt(), 0);
        EXPECT_EQ(scalar(host("autre.mdb"), "SELECT count(*) FROM base").toInt(), ++committed);
    }
}

// A write that makes SQLite roll the whole transaction back, caught by a caller that writes on:
// the next commit still tells that the earlier writes are lost.
TEST_F(SafetyTest, WritesSqliteRolledBackFailTheNextCommit)
{
    FaultVfs vfs;
    DataSource data(engine, QStringLiteral("Data1"));
    DataSource other(engine, QStringLiteral("Data2"));
    addRow(data);
    vfs.arm(1, FaultVfs::Fault::DiskFull); // the other table's page, into the journal
    EXPECT_EQ(errorOf([&] { addRow(other, kFile, "other"); }), err::DiskFull);
    vfs.arm(0);
    addRow(other, kFile, "other");
    EXPECT_EQ(errorOf([&] { engine.commit(); }), err::DiskFull);
    EXPECT_EQ(stored("SELECT count(*) FROM base").toInt(), 0);
}

TEST_F(SafetyTest, ACopyPreparedWhileAWriteIsPendingHoldsIt)
{
    DataSource data(engine, QStringLiteral("Data1"));
    addRow(data);
    engine.prepareCopy(kFile);
    ASSERT_TRUE(QFile::copy(host(), host("copie.mdb")));
    EXPECT_EQ(scalar(host("copie.mdb"), "SELECT count(*) FROM base").toInt(), 1);
}

// Writes a silent step cannot commit reach its caller: a reader of another program holds the file
// past the wait, or another program put another file in its place (the writes went to the one
// taken away, and the failure names it).
TEST(StepCommit, WritesThatCannotBeCommittedReachTheCallerOfASilentStep)
{
    for (const bool replaced : {false, true}) {
        SCOPED_TRACE(replaced ? "replaced" : "read by another program");
        StepFixture t;
        const QString pat = t.drive.host("praxidome/pat.mdb");
        createDatabaseFromSql(pat, "CREATE TABLE base (ID INTEGER);");
        std::optional<OtherProcess> reader;
        const auto body = [&] {
            SafetyTest::addRow(t.f.data.Data1);
            if (replaced)
                EXPECT_EQ(QProcess::execute("/bin/sh", {"-c", "cp \"$0\" \"$0.new\" && mv \"$0.new\" \"$0\"", pat}), 0);
            else
                reader.emplace(pat, OtherProcess::Hold::SqliteReader);
        };
        try {
            runStep(t.f, "detruitcodesinami", body, silently, LostWrites::ToCaller);
            ADD_FAILURE() << "the step kept the failure to itself";
        } catch (const MajError& e) {
            EXPECT_EQ(e.number(), replaced ? err::DiskOrNetwork : err::CannotOpenFile);
            EXPECT_EQ(e.description().contains(kFile), replaced) << e.what();
        }
        EXPECT_EQ(scalar(pat, "SELECT count(*) FROM base").toInt(), 0);
    }
}
