#include "EngineTest.h"
#include "SqliteFile.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "platform/jet/Database.h"
#include "platform/jet/JetCaches.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>

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
    // What another connection to the file sees.
    QString seen(const QString& sql) { return stored(sql).toString(); }

    // Descriptors of this process open on the database file.
    int openDescriptors()
    {
        const QString target = QFileInfo(host()).canonicalFilePath();
        const QFileInfoList fds =
            QDir("/proc/self/fd").entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
        return int(
            std::count_if(fds.begin(), fds.end(), [&](const QFileInfo& fd) { return fd.symLinkTarget() == target; }));
    }
};

// Released, a file has neither journal nor log left beside it, nor any descriptor open, and
// is in rollback journal mode.
TEST_F(DatabaseConnectionTest, DataSourcesOnOneFileShareOneConnectionAndSeeEachOthersWritesAndLeaveNothingOpen)
{
    test::exec(host(), "PRAGMA journal_mode=WAL");
    data1.bind(file, "nomenclature");
    data2.bind("C:\\PRAXIDOME\\PAT.MDB", "[NOMENCLATURE]");
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
    test::change(one, 2, "UN");
    EXPECT_EQ(two.field(2).toString(), "UN"); // the row it holds, read again
    // Written when committed, and what an abandoned transaction wrote is rolled back.
    EXPECT_EQ(seen("SELECT LIBELLE FROM nomenclature WHERE rowid = 1"), "un");
    Transaction(engine).commit();
    EXPECT_EQ(seen("SELECT LIBELLE FROM nomenclature WHERE rowid = 1"), "UN");
    {
        Transaction abandoned(engine);
        test::change(one, 2, "perdu");
    }

    test::change(one, 1, "4", true);
    data2.refresh();
    data2.recordset().moveLast();
    EXPECT_EQ(data2.recordset().recordCount(), 4);

    data1.release();
    EXPECT_EQ(openDescriptors(), 1);
    Recordset& still = data2.recordset();
    still.moveFirst();
    test::change(still, 0, "Z");
    EXPECT_EQ(still.field(0).toString(), "Z");
    data2.bind(file, "select * from nomenclature");
    data2.release();
    EXPECT_EQ(openDescriptors(), 0);
    EXPECT_EQ(QDir(drive.host("praxidome")).entryList(QDir::Files), QStringList{"pat.mdb"});
    EXPECT_EQ(seen("PRAGMA journal_mode"), "delete");
    EXPECT_EQ(seen("SELECT ABREVIATION || LIBELLE FROM nomenclature WHERE rowid = 1"), "ZUN");
}

TEST_F(DatabaseConnectionTest, AFileAnotherConnectionWritesIsLocked)
{
    sample::sql::Database other(host(), sample::sql::ReadWrite);
    other.exec("BEGIN IMMEDIATE; UPDATE nomenclature SET LIBELLE = 'autre' WHERE rowid = 3");
    Recordset& rs = bind(data1, "nomenclature"); // reading is still possible
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
    Recordset& rs = bind(data1, "nomenclature");
    rs.findFirst("ABREVIATION = 'b'"); // builds the look-up
    test::change(rs, 2, "en attente");
    execute("UPDATE nomenclature SET ABREVIATION = 'R' WHERE [code inami] = '3'");
    execute("ALTER TABLE nomenclature ALTER COLUMN LIBELLE TEXT(80)");
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
    test::change(data2.recordset(), 1, "ancien modifié");
    engine.commit(); // as a deployment does before it copies
    fs::copyFile("c:\\CD\\eattest.mdb", "c:\\praxidome\\eattest.mdb");

    data2.bind("c:\\praxidome\\eattest.mdb", "nomen");
    EXPECT_EQ(data2.recordset().field(1).toString(), "nouveau");
    test::change(data2.recordset(), 1, "nouveau modifié");
    engine.commit();
    EXPECT_EQ(libelle(), "nouveau modifié");
    // The data source still on the replaced file goes on with it until it is bound again.
    EXPECT_EQ(data1.recordset().field(1).toString(), "ancien modifié");
    data1.release();
    data2.release();
    EXPECT_EQ(libelle(), "nouveau modifié");
}

// Each cache's rule for when it is stale, each class on its own on the file: told what its
// connection could not follow after each thing that can happen, whether it still serves the
// statement (run once before), the definition and the look-up it served, and whether a cursor
// held on a row is still on it.
TEST_F(DatabaseConnectionTest, EachCacheForgetsWhatItCannotFollow)
{
    using jet::Stale;
    const struct
    {
        const char* event;
        bool written;              // a row, which the connection's hook tells the cursors of
        std::optional<Stale> told; // what the connection could not follow
        bool statement, definition, lookup;
    } cases[] = {
        {"nothing new", false, std::nullopt, true, true, true},
        {"a write of its own", true, std::nullopt, true, true, true},
        {"a write that fails", true, Stale::Rows, true, true, false},
        {"a write through another connection", false, Stale::Schema, false, false, false},
        {"a schema change", true, Stale::Schema, false, false, false},
        {"a rollback", true, Stale::Schema, false, false, false},
    };
    sqlite::Connection db(host(), sqlite::Connection::Mode::ReadWrite);
    for (const auto& c : cases) {
        jet::StatementCache statements;
        jet::TableCache tables;
        jet::Lookups lookups;
        jet::HeldCursors cursors;
        statements.get(db, "SELECT count(*) FROM nomenclature", sqlite::Context::Query)->step();
        const auto info = tables.get(db, statements, "NOMENCLATURE");
        const auto lookup = lookups.get(db, *info, 0);
        jet::HeldCursors::Cursor held{db.prepare("SELECT * FROM nomenclature")};
        held.statement.step();
        cursors.hold(held);
        if (c.written)
            cursors.rowWritten();
        if (c.told) {
            statements.forget(*c.told);
            tables.forget(*c.told);
            lookups.forget(*c.told);
            cursors.forget();
        }
        const auto again = statements.get(db, "SELECT count(*) FROM nomenclature", sqlite::Context::Query);
        EXPECT_EQ(sqlite3_stmt_status(again->handle(), SQLITE_STMTSTATUS_RUN, 0) > 0, c.statement) << c.event;
        again->reset();
        EXPECT_EQ(tables.get(db, statements, "nomenclature") == info, c.definition) << c.event;
        EXPECT_EQ(jet::TableCache::current(*info), c.definition) << c.event;
        EXPECT_EQ(lookups.get(db, *info, 0) == lookup, c.lookup) << c.event;
        EXPECT_EQ(cursors.on(held), !c.written && !c.told) << c.event;
        cursors.drop(&held);
    }
}

} // namespace
