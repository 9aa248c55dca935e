#include "TestSupport.h"
#include "db/DbSteps.h"
#include "platform/jet/Sqlite.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace maj;
using namespace maj::test;

namespace {

const QString kFailed = QStringLiteral("L'inscription de la date de mise à jour a échoué (non essentiel)");

struct Marker
{
    QVariant numpat, installed, updated, releaseDate, number;
    int count = 0;
};

struct RegistrationTest : ::testing::Test, StepFixture
{
    void SetUp() override
    {
        f.window.lbldate = QStringLiteral("01/01/2021");
        f.window.lblnumerodemaj = QStringLiteral("38");
        createDatabase(drive.host("praxidome/pannexe.mdb"), "pannexe");
        createDatabase(drive.host("praxidome/parametres.mdb"), "parametres");
        sqlite::Connection db(drive.host("praxidome/parametres.mdb"), sqlite::Connection::Mode::ReadWrite);
        db.exec("INSERT INTO parapat (ID, NUMERO_MAJ) VALUES (1, '37'); INSERT INTO parapat (ID) VALUES (2);");
    }

    void touchLog(const QDateTime& modified)
    {
        const QString path = drive.write("praxidome/st6unst.log", "log");
        QFile log(path);
        ASSERT_TRUE(log.open(QIODevice::ReadWrite));
        ASSERT_TRUE(log.setFileTime(modified, QFileDevice::FileModificationTime));
    }

    void run()
    {
        runHandler(ui, [&] { inscritdate(f); });
    }

    Marker marker()
    {
        Marker m;
        int count = 0;
        DataSource ortho(QStringLiteral("check"));
        ortho.bind("c:\\praxidome\\pannexe.mdb", "ortho");
        Recordset& rs = ortho.recordset();
        while (!rs.isEof()) {
            if (rs.field(0).toString() == "Insta")
                m = {rs.field(0), rs.field(1), rs.field(2), rs.field(3), rs.field(79), ++count};
            rs.moveNext();
        }
        ortho.release();
        return m;
    }

    QVariant updateNumberInSettings(int id)
    {
        sqlite::Connection db(drive.host("praxidome/parametres.mdb"), sqlite::Connection::Mode::ReadOnly);
        auto q = db.prepare(QStringLiteral("SELECT NUMERO_MAJ FROM parapat WHERE ID = %1").arg(id));
        return q.step() ? q.column(0) : QVariant();
    }
};

QDate dateOf(const QVariant& value)
{
    return value.toDateTime().date();
}

TEST_F(RegistrationTest, FirstUpdateCreatesTheMarkerWithTheInstallationDate)
{
    touchLog(QDateTime(QDate(2019, 4, 17), QTime(10, 30)));
    run();
    EXPECT_TRUE(ui.messages.isEmpty());
    const Marker m = marker();
    EXPECT_EQ(m.count, 1);
    EXPECT_EQ(dateOf(m.installed), QDate(2019, 4, 17));
    EXPECT_EQ(m.installed.toDateTime().time(), QTime(0, 0));
    EXPECT_EQ(dateOf(m.updated), QDate(2026, 12, 5));
    EXPECT_EQ(m.updated.toDateTime().time(), QTime(0, 0));
    EXPECT_EQ(m.releaseDate.toString(), "01/01/2021");
    EXPECT_EQ(m.number.toString(), "38");
    EXPECT_EQ(updateNumberInSettings(1).toString(), "38");
    EXPECT_EQ(updateNumberInSettings(2), QVariant());
    // Data4 stays on the settings table.
    EXPECT_TRUE(f.data.Data4.isOpen());
    EXPECT_EQ(f.data.Data4.databaseName(), "c:\\praxidome\\parametres.mdb");
    EXPECT_EQ(f.data.Data4.recordSource(), "parapat");
}

TEST_F(RegistrationTest, WithoutTheLogTheInstallationDateStaysEmpty)
{
    run();
    EXPECT_TRUE(ui.messages.isEmpty());
    const Marker m = marker();
    EXPECT_EQ(m.count, 1);
    EXPECT_TRUE(m.installed.isNull());
    EXPECT_EQ(dateOf(m.updated), QDate(2026, 12, 5));
}

TEST_F(RegistrationTest, LogModifiedJustBeforeMidnightGivesThatDay)
{
    touchLog(QDateTime(QDate(2021, 3, 2), QTime(23, 59)));
    run();
    EXPECT_EQ(dateOf(marker().installed), QDate(2021, 3, 2));
}

TEST_F(RegistrationTest, SecondUpdateKeepsTheMarkerAndItsInstallationDate)
{
    touchLog(QDateTime(QDate(2019, 4, 17), QTime(10, 30)));
    run();
    // A later release, another day, and a log that changed since.
    clock.moment = QDateTime(QDate(2027, 6, 1), QTime(9, 0));
    f.window.lbldate = QStringLiteral("01/06/2027");
    f.window.lblnumerodemaj = QStringLiteral("39");
    touchLog(QDateTime(QDate(2027, 5, 1), QTime(8, 0)));
    run();
    EXPECT_TRUE(ui.messages.isEmpty());
    const Marker m = marker();
    EXPECT_EQ(m.count, 1);
    EXPECT_EQ(m.numpat.toString(), "Insta");
    EXPECT_EQ(dateOf(m.installed), QDate(2019, 4, 17));
    EXPECT_EQ(dateOf(m.updated), QDate(2027, 6, 1));
    EXPECT_EQ(m.releaseDate.toString(), "01/06/2027");
    EXPECT_EQ(m.number.toString(), "39");
    EXPECT_EQ(updateNumberInSettings(1).toString(), "39");
}

TEST_F(RegistrationTest, AnnexDatabaseMissingLeavesTheSettingsAlone)
{
    QFile::remove(drive.host("praxidome/pannexe.mdb"));
    run();
    EXPECT_EQ(ui.messages, QStringList{kFailed});
    EXPECT_FALSE(ui.ended);
    EXPECT_EQ(updateNumberInSettings(1).toString(), "37");
}

TEST_F(RegistrationTest, SettingsFailureKeepsTheMarkerWritten)
{
    // A settings table too short for position 61.
    QFile::remove(drive.host("praxidome/parametres.mdb"));
    sqlite::Connection db(drive.host("praxidome/parametres.mdb"), sqlite::Connection::Mode::ReadWriteCreate);
    db.exec("CREATE TABLE parapat (ID INTEGER, NUMERO_MAJ TEXT(10)); INSERT INTO parapat VALUES (1, '37');");
    run();
    EXPECT_EQ(ui.messages, QStringList{kFailed});
    EXPECT_EQ(marker().number.toString(), "38");
    auto q = db.prepare("SELECT NUMERO_MAJ FROM parapat");
    ASSERT_TRUE(q.step());
    EXPECT_EQ(q.column(0).toString(), "37");
}

TEST_F(RegistrationTest, FailureInsideTheNewMarkerWritesNothingOfIt)
{
    // A marker table without position 79: the record started is dropped whole.
    QFile::remove(drive.host("praxidome/pannexe.mdb"));
    sqlite::Connection db(drive.host("praxidome/pannexe.mdb"), sqlite::Connection::Mode::ReadWriteCreate);
    db.exec("CREATE TABLE ortho (numpat TEXT(20), DATEDEBUT DATETIME, DATEDERNIEREMAJ DATETIME, DATEVERSION TEXT(20))");
    run();
    EXPECT_EQ(ui.messages, QStringList{kFailed});
    auto q = db.prepare("SELECT count(*) FROM ortho");
    ASSERT_TRUE(q.step());
    EXPECT_EQ(q.column(0).toInt(), 0);
    EXPECT_EQ(updateNumberInSettings(1).toString(), "37");
}

} // namespace
