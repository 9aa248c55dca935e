#include "EngineTest.h"
#include "SqliteFile.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "platform/jet/Database.h"
#include "platform/jet/JetConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace maj;
using maj::test::errorOf;

namespace {

struct DatabaseConnectionTest : test::EngineTest
{
    DataSource data1{engine, "Data1"};
    DataSource data2{engine, "Data2"};

    void SetUp() override
    {
        create(QStringLiteral(
            "CREATE TABLE nomenclature (ABREVIATION TEXT(20), \"code inami\" TEXT(15), LIBELLE TEXT(50));"
            "CREATE UNIQUE INDEX nomenclature_code ON nomenclature(\"code inami\");"
            "INSERT INTO nomenclature VALUES ('A', '1', 'un'), ('B', '2', 'deux'), ('C', '3', 'trois');"));
    }
    void TearDown() override
    {
        data1.release();
        data2.release();
    }

    // What another connection to the file sees.
    QString seen(const QString& sql) { return stored(sql).toString(); }

    // Descriptors of this process open on the database file.
    int openDescriptors()
    {
        const QString target = QFileInfo(host()).canonicalFilePath();
        int count = 0;
        const QDir fds("/proc/self/fd");
        for (const QString& fd : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
            if (QFileInfo(fds.filePath(fd)).symLinkTarget() == target)
                ++count;
        }
        return count;
    }
};

TEST_F(DatabaseConnectionTest, DataSourcesOnOneFileShareOneConnectionAndSeeEachOthersWrites)
{
    data1.bind(file, "nomenclature");
    data2.bind("C:\\PRAXIDOME\\PAT.MDB", "NOMENCLATURE");
    EXPECT_EQ(openDescriptors(), 1);
    {
        Engine another; // an engine shares nothing with another
        DataSource elsewhere(another, "Data1");
        elsewhere.bind(file, "nomenclature");
        EXPECT_EQ(openDescriptors(), 2);
    }

    Recordset& one = data1.recordset();
    Recordset& two = data2.recordset();
    EXPECT_EQ(two.field(2).toString(), "un");
    one.edit();
    one.setField(2, "UN");
    one.update();
    EXPECT_EQ(two.field(2).toString(), "UN"); // the row it holds, read again

    one.addNew();
    one.setField(1, "4");
    one.update();
    data2.refresh();
    data2.recordset().moveLast();
    EXPECT_EQ(data2.recordset().recordCount(), 4);

    data1.release();
    EXPECT_EQ(openDescriptors(), 1);
    Recordset& still = data2.recordset();
    still.moveFirst();
    still.edit();
    still.setField(0, "Z");
    still.update();
    EXPECT_EQ(still.field(0).toString(), "Z");
    data2.release();
    EXPECT_EQ(openDescriptors(), 0);
    EXPECT_EQ(seen("SELECT ABREVIATION || LIBELLE FROM nomenclature WHERE rowid = 1"), "ZUN");
}

TEST_F(DatabaseConnectionTest, WritesWaitForTheCommitThenStayWritten)
{
    data1.bind(file, "nomenclature");
    Recordset& rs = data1.recordset();
    rs.edit();
    rs.setField(2, "changé");
    rs.update();
    EXPECT_EQ(seen("SELECT LIBELLE FROM nomenclature WHERE rowid = 1"), "un");
    EXPECT_TRUE(QFile::exists(host("pat.mdb-journal")));
    Transaction(engine).commit();
    EXPECT_EQ(seen("SELECT LIBELLE FROM nomenclature WHERE rowid = 1"), "changé");
    EXPECT_FALSE(QFile::exists(host("pat.mdb-journal")));

    rs.moveNext();
    {
        Transaction abandoned(engine); // not committed: what it wrote goes
        rs.edit();
        rs.setField(2, "perdu");
        rs.update();
    }
    EXPECT_EQ(seen("SELECT LIBELLE FROM nomenclature WHERE rowid = 2"), "deux");
}

TEST_F(DatabaseConnectionTest, ReleaseLeavesNeitherJournalNorLogNorOpenFile)
{
    test::exec(host(), "PRAGMA journal_mode=WAL");
    data1.bind(file, "nomenclature");
    data2.bind(file, "select * from nomenclature");
    data1.recordset().edit();
    data1.recordset().setField(0, "W");
    data1.recordset().update();
    data1.release();
    data2.release();
    EXPECT_EQ(openDescriptors(), 0);
    const QStringList left = QDir(drive.host("praxidome")).entryList(QDir::Files);
    EXPECT_EQ(left, QStringList{"pat.mdb"});
    EXPECT_EQ(seen("PRAGMA journal_mode"), "delete");
    EXPECT_EQ(seen("SELECT ABREVIATION FROM nomenclature WHERE rowid = 1"), "W");
}

TEST_F(DatabaseConnectionTest, AFileAnotherConnectionWritesIsLocked)
{
    sample::sql::Database other(host(), sample::sql::ReadWrite);
    other.exec("BEGIN IMMEDIATE; UPDATE nomenclature SET LIBELLE = 'autre' WHERE rowid = 3");
    data1.bind(file, "nomenclature"); // reading is still possible
    Recordset& rs = data1.recordset();
    rs.edit();
    rs.setField(2, "moi");
    EXPECT_EQ(errorOf([&] { rs.update(); }), err::CannotOpenFile);
    engine.commit(); // the step ends: its reads no longer hold the file
    other.exec("COMMIT");
    rs.update();
    engine.commit();
    EXPECT_EQ(seen("SELECT group_concat(LIBELLE) FROM nomenclature"), "moi,deux,autre");
    data1.release();

    other.exec("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; UPDATE nomenclature SET LIBELLE = 'x'");
    EXPECT_EQ(errorOf([&] { data1.bind(file, "nomenclature"); }), err::CannotOpenFile);
    EXPECT_FALSE(data1.isOpen());
    other.exec("ROLLBACK");
}

// A statement run directly on the same file, while a data source holds pending writes: the
// data source's look-up sees its changes.
TEST_F(DatabaseConnectionTest, ChangesMadeBehindTheRecordsetsAreSeen)
{
    data1.bind(file, "nomenclature");
    Recordset& rs = data1.recordset();
    rs.findFirst("ABREVIATION = 'b'"); // builds the look-up
    rs.edit();
    rs.setField(2, "en attente");
    rs.update();
    auto db = engine.openDirect(file);
    db->execute("UPDATE nomenclature SET ABREVIATION = 'R' WHERE [code inami] = '3'");
    db->execute("ALTER TABLE nomenclature ALTER COLUMN LIBELLE TEXT(80)");
    db->close();
    rs.findFirst("ABREVIATION = 'r'");
    ASSERT_FALSE(rs.noMatch());
    EXPECT_EQ(rs.field(1).toString(), "3");
    data1.release();
    EXPECT_EQ(seen("SELECT group_concat(ABREVIATION || ':' || LIBELLE) FROM nomenclature"),
              "A:un,B:en attente,R:trois");
}

// A release file copied over the one a data source still holds is a new file: binding it again
// reads and writes the new one, and what was written to the old one before is not lost.
TEST_F(DatabaseConnectionTest, AFileCopiedOverAnOpenOneIsOpenedAnew)
{
    const QString target = drive.host("praxidome/eattest.mdb");
    for (const auto& [path, label] : {std::pair{target, "ancien"}, std::pair{drive.host("CD/eattest.mdb"), "nouveau"}})
        test::createDatabaseFromSql(path, QStringLiteral("CREATE TABLE nomen (\"code inami\" TEXT(15), LIBELLE "
                                                         "TEXT(50)); INSERT INTO nomen VALUES ('1', '%1');")
                                              .arg(label));
    const auto libelle = [&] { return test::scalar(target, "SELECT group_concat(LIBELLE) FROM nomen"); };
    data1.bind("c:\\praxidome\\eattest.mdb", "nomen");
    data2.bind("c:\\praxidome\\eattest.mdb", "nomen");
    data2.recordset().edit();
    data2.recordset().setField(1, "ancien modifié");
    data2.recordset().update();
    engine.commit(); // as a deployment does before it copies
    fs::copyFile("c:\\CD\\eattest.mdb", "c:\\praxidome\\eattest.mdb");

    data2.bind("c:\\praxidome\\eattest.mdb", "nomen");
    EXPECT_EQ(data2.recordset().field(1).toString(), "nouveau");
    data2.recordset().edit();
    data2.recordset().setField(1, "nouveau modifié");
    data2.recordset().update();
    engine.commit();
    EXPECT_EQ(libelle(), "nouveau modifié");
    // The data source still on the replaced file goes on with it until it is bound again.
    EXPECT_EQ(data1.recordset().field(1).toString(), "ancien modifié");
    data1.release();
    data2.release();
    EXPECT_EQ(libelle(), "nouveau modifié");
}

// Each cache's rule for when it is stale, after each thing that can happen to the file: whether
// the connection still serves the statement (run once before), the definition and the look-up
// it served before; a cursor held on a row is off it after any of them.
TEST_F(DatabaseConnectionTest, EachCacheForgetsWhatItCannotFollow)
{
    const QString insert = "INSERT INTO nomenclature (ABREVIATION, \"code inami\", LIBELLE) VALUES ('a', '%1', 'x')";
    enum Then
    {
        Nothing,
        Rollback,
        Elsewhere,
        Schema,
        Replaced
    };
    const struct
    {
        const char* event;
        const char* code; // of a row the connection writes first, failing with `error`
        int error;
        Then then;
        bool statement, definition, lookup;
    } cases[] = {
        {"a write of its own", "4", 0, Nothing, true, true, true},
        {"a write that fails", "1", err::DuplicateKey, Nothing, true, true, false},
        {"a rollback", "6", 0, Rollback, false, false, false},
        {"a write through another connection", nullptr, 0, Elsewhere, false, false, false},
        {"a schema change", nullptr, 0, Schema, false, false, false},
        {"a file replaced", nullptr, 0, Replaced, false, false, false},
    };
    for (const auto& c : cases) {
        const auto before = engine.connection(file);
        before->statement("SELECT count(*) FROM nomenclature")->step();
        const auto info = before->table("NOMENCLATURE");
        const auto lookup = before->lookup(*info, 0);
        jet::HeldCursors::Cursor held{before->db().prepare("SELECT * FROM nomenclature")};
        held.statement.step();
        before->cursors().hold(held);
        if (c.code) {
            EXPECT_EQ(
                errorOf([&] { before->write([&] { before->db().exec(insert.arg(c.code), jet::Context::Write); }); }),
                c.error)
                << c.event;
        }
        before->statement("SELECT count(*) FROM nomenclature")->reset(); // no read lock left
        if (c.then == Rollback)
            before->rollback();
        if (c.then == Elsewhere || c.then == Replaced)
            before->commit();
        if (c.then == Elsewhere)
            test::exec(host(), insert.arg(5));
        if (c.then == Schema)
            execute("ALTER TABLE nomenclature ADD COLUMN NOTE TEXT(10)");
        if (c.then == Replaced && QFile::copy(host(), host("copie.mdb")))
            fs::copyFile("c:\\praxidome\\copie.mdb", file);
        const auto after = engine.connection(file);
        const auto again = after->statement("SELECT count(*) FROM nomenclature");
        EXPECT_EQ(sqlite3_stmt_status(again->handle(), SQLITE_STMTSTATUS_RUN, 0) > 0, c.statement) << c.event;
        EXPECT_EQ(after->table("nomenclature") == info, c.definition) << c.event;
        EXPECT_EQ(after == before && before->current(*info), c.definition) << c.event;
        EXPECT_EQ(after->lookup(*after->table("nomenclature"), 0) == lookup, c.lookup) << c.event;
        EXPECT_FALSE(before->cursors().on(held)) << c.event;
        before->cursors().drop(&held);
        // Whatever it kept, the look-up gives the rows SQL gives.
        auto count = after->db().prepare("SELECT count(*) FROM nomenclature WHERE ABREVIATION = 'a' COLLATE NOCASE");
        count.step();
        EXPECT_EQ(qlonglong(after->lookup(*info, 0)->equal("A").size()), count.column(0).toLongLong()) << c.event;
        after->commit();
    }
}

} // namespace
