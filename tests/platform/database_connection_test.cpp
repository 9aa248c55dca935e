#include "TestSupport.h"
#include "app/core/Step.h"
#include "platform/MajError.h"
#include "platform/jet/Database.h"
#include "platform/jet/Sqlite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>

using namespace maj;
using maj::test::errorOf;
using maj::test::TempDrive;

namespace {

struct DatabaseConnectionTest : ::testing::Test
{
    TempDrive drive;
    const QString file = QStringLiteral("c:\\praxidome\\pat.mdb");
    DataSource data1{QStringLiteral("Data1")};
    DataSource data2{QStringLiteral("Data2")};

    void SetUp() override
    {
        test::createDatabaseFromSql(
            host(), QStringLiteral(
                        "CREATE TABLE nomenclature (ABREVIATION TEXT(20), \"code inami\" TEXT(15), LIBELLE TEXT(50));"
                        "CREATE UNIQUE INDEX nomenclature_code ON nomenclature(\"code inami\");"
                        "INSERT INTO nomenclature VALUES ('A', '1', 'un'), ('B', '2', 'deux'), ('C', '3', 'trois');"));
    }
    void TearDown() override
    {
        data1.release();
        data2.release();
    }

    QString host(const QString& name = QStringLiteral("pat.mdb")) const
    {
        return drive.host(QStringLiteral("praxidome/") + name);
    }

    // What another connection to the file sees.
    QString seen(const QString& sql)
    {
        sqlite::Connection db(host(), sqlite::Connection::Mode::ReadOnly);
        auto s = db.prepare(sql);
        return s.step() ? s.column(0).toString() : QString();
    }

    // Descriptors of this process open on the database file.
    int openDescriptors()
    {
        const QString target = QFileInfo(host()).canonicalFilePath();
        int count = 0;
        const QDir fds(QStringLiteral("/proc/self/fd"));
        for (const QString& fd : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
            if (QFileInfo(fds.filePath(fd)).symLinkTarget() == target)
                ++count;
        }
        return count;
    }
};

TEST_F(DatabaseConnectionTest, DataSourcesOnOneFileShareOneConnectionAndSeeEachOthersWrites)
{
    data1.bind(file, QStringLiteral("nomenclature"));
    data2.bind(QStringLiteral("C:\\PRAXIDOME\\PAT.MDB"), QStringLiteral("NOMENCLATURE"));
    EXPECT_EQ(openDescriptors(), 1);

    Recordset& one = data1.recordset();
    Recordset& two = data2.recordset();
    EXPECT_EQ(two.field(2).toString(), QStringLiteral("un"));
    one.edit();
    one.setField(2, QStringLiteral("UN"));
    one.update();
    EXPECT_EQ(two.field(2).toString(), QStringLiteral("UN")); // the row it holds, read again

    one.addNew();
    one.setField(1, QStringLiteral("4"));
    one.update();
    data2.refresh();
    data2.recordset().moveLast();
    EXPECT_EQ(data2.recordset().recordCount(), 4);

    data1.release();
    EXPECT_EQ(openDescriptors(), 1);
    Recordset& still = data2.recordset();
    still.moveFirst();
    still.edit();
    still.setField(0, QStringLiteral("Z"));
    still.update();
    EXPECT_EQ(still.field(0).toString(), QStringLiteral("Z"));
    data2.release();
    EXPECT_EQ(openDescriptors(), 0);
    EXPECT_EQ(seen(QStringLiteral("SELECT ABREVIATION || LIBELLE FROM nomenclature WHERE rowid = 1")),
              QStringLiteral("ZUN"));
}

TEST_F(DatabaseConnectionTest, WritesWaitForTheCommitThenStayWritten)
{
    data1.bind(file, QStringLiteral("nomenclature"));
    Recordset& rs = data1.recordset();
    rs.edit();
    rs.setField(2, QStringLiteral("changé"));
    rs.update();
    EXPECT_EQ(seen(QStringLiteral("SELECT LIBELLE FROM nomenclature WHERE rowid = 1")), QStringLiteral("un"));
    EXPECT_TRUE(QFile::exists(host(QStringLiteral("pat.mdb-journal"))));
    runStep(
        "test", [] {}, passOn); // the step boundary commits
    EXPECT_EQ(seen(QStringLiteral("SELECT LIBELLE FROM nomenclature WHERE rowid = 1")), QStringLiteral("changé"));
    EXPECT_FALSE(QFile::exists(host(QStringLiteral("pat.mdb-journal"))));

    rs.moveNext();
    // What a step saved before its failure stays saved.
    int failure = 0;
    runStep(
        "test",
        [&] {
            rs.edit();
            rs.setField(2, QStringLiteral("avant l'échec"));
            rs.update();
            rs.findFirst(QStringLiteral("LIBELLE = 'x"));
        },
        [&](const MajError& e) { failure = e.number(); });
    EXPECT_EQ(failure, err::ExpressionSyntax);
    EXPECT_EQ(seen(QStringLiteral("SELECT LIBELLE FROM nomenclature WHERE rowid = 2")),
              QStringLiteral("avant l'échec"));

    rs.addNew();
    rs.setField(1, QStringLiteral("5"));
    rs.update();
    rs.addNew();
    rs.setField(1, QStringLiteral("5"));
    EXPECT_EQ(errorOf([&] { rs.update(); }), err::DuplicateKey);
    commitPendingWrites();
    EXPECT_EQ(seen(QStringLiteral("SELECT count(*) FROM nomenclature WHERE \"code inami\" = '5'")),
              QStringLiteral("1"));
}

TEST_F(DatabaseConnectionTest, ReleaseLeavesNeitherJournalNorLogNorOpenFile)
{
    {
        sqlite::Connection wal(host(), sqlite::Connection::Mode::ReadWrite);
        wal.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    }
    data1.bind(file, QStringLiteral("nomenclature"));
    data2.bind(file, QStringLiteral("select * from nomenclature"));
    data1.recordset().edit();
    data1.recordset().setField(0, QStringLiteral("W"));
    data1.recordset().update();
    data1.release();
    data2.release();
    EXPECT_EQ(openDescriptors(), 0);
    const QStringList left = QDir(drive.host(QStringLiteral("praxidome"))).entryList(QDir::Files);
    EXPECT_EQ(left, QStringList{QStringLiteral("pat.mdb")});
    EXPECT_EQ(seen(QStringLiteral("PRAGMA journal_mode")), QStringLiteral("delete"));
    EXPECT_EQ(seen(QStringLiteral("SELECT ABREVIATION FROM nomenclature WHERE rowid = 1")), QStringLiteral("W"));
}

TEST_F(DatabaseConnectionTest, AFileAnotherConnectionWritesIsLocked)
{
    sqlite::Connection other(host(), sqlite::Connection::Mode::ReadWrite);
    other.exec(QStringLiteral("BEGIN IMMEDIATE; UPDATE nomenclature SET LIBELLE = 'autre' WHERE rowid = 3"));
    data1.bind(file, QStringLiteral("nomenclature")); // reading is still possible
    Recordset& rs = data1.recordset();
    rs.edit();
    rs.setField(2, QStringLiteral("moi"));
    EXPECT_EQ(errorOf([&] { rs.update(); }), err::CannotOpenFile);
    commitPendingWrites(); // the step ends: its reads no longer hold the file
    other.exec(QStringLiteral("COMMIT"));
    rs.update();
    commitPendingWrites();
    EXPECT_EQ(seen(QStringLiteral("SELECT group_concat(LIBELLE) FROM nomenclature")), QStringLiteral("moi,deux,autre"));
    data1.release();

    other.exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; UPDATE nomenclature SET LIBELLE = 'x'"));
    EXPECT_EQ(errorOf([&] { data1.bind(file, QStringLiteral("nomenclature")); }), err::CannotOpenFile);
    EXPECT_FALSE(data1.isOpen());
    other.exec(QStringLiteral("ROLLBACK"));
}

TEST_F(DatabaseConnectionTest, ChangesMadeBehindTheRecordsetsAreSeen)
{
    data1.bind(file, QStringLiteral("nomenclature"));
    Recordset& rs = data1.recordset();
    rs.findFirst(QStringLiteral("ABREVIATION = 'b'")); // builds the look-up
    ASSERT_FALSE(rs.noMatch());
    commitPendingWrites(); // the step ends; another program writes before the next one
    {
        sqlite::Connection other(host(), sqlite::Connection::Mode::ReadWrite);
        other.exec(QStringLiteral("UPDATE nomenclature SET ABREVIATION = 'Q', LIBELLE = 'vu' WHERE rowid = 2"));
    }
    rs.findFirst(QStringLiteral("ABREVIATION = 'b'"));
    EXPECT_TRUE(rs.noMatch());
    rs.findFirst(QStringLiteral("ABREVIATION = 'q'"));
    ASSERT_FALSE(rs.noMatch());
    EXPECT_EQ(rs.field(2).toString(), QStringLiteral("vu"));

    // A statement run directly on the same file, while a data source holds pending writes.
    rs.edit();
    rs.setField(2, QStringLiteral("en attente"));
    rs.update();
    auto db = DirectDatabase::open(file);
    db->execute(QStringLiteral("UPDATE nomenclature SET ABREVIATION = 'R' WHERE [code inami] = '3'"));
    db->execute(QStringLiteral("ALTER TABLE nomenclature ALTER COLUMN LIBELLE TEXT(80)"));
    db->close();
    rs.findFirst(QStringLiteral("ABREVIATION = 'r'"));
    ASSERT_FALSE(rs.noMatch());
    EXPECT_EQ(rs.field(1).toString(), QStringLiteral("3"));
    data1.release();
    EXPECT_EQ(seen(QStringLiteral("SELECT group_concat(ABREVIATION || ':' || LIBELLE) FROM nomenclature")),
              QStringLiteral("A:un,Q:en attente,R:trois"));
}

} // namespace
