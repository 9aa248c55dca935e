#include "TestSupport.h"
#include "db/DbSteps.h"
#include "platform/MajError.h"
#include "platform/jet/Sqlite.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace maj;
using namespace maj::test;

namespace {

struct SchemaTest : ::testing::Test, StepFixture
{
};

struct Widening
{
    const char* name;
    void (*step)(Form1Core&);
    const char* file;   // relative to the drive
    const char* schema; // schema of the file
    const char* table;
    const char* insert; // one row with a 30-character address
    const char* message;
};

const Widening kWidenings[] = {
    {"Changertaillebase", Changertaillebase, "praxidome/rappels.mdb", "rappels", "Attestationsdifferees",
     "INSERT INTO Attestationsdifferees (NUMATTEST, ADRESSE) VALUES (1, '123456789012345678901234567890')",
     "La taille du champ adresse n'a pu être changée !"},
    {"Changertailleadresse", Changertailleadresse, "praxidome/pat.mdb", "pat", "patients",
     "INSERT INTO patients (NUMPAT, ADRESSE) VALUES (1, '123456789012345678901234567890')",
     "La taille du champ adresse n'a pu être changée !"},
    {"Changertailleadresserappels", Changertailleadresserappels, "praxidome/rappels.mdb", "rappels", "rappelsvisite",
     "INSERT INTO rappelsvisite (NUMRAPPEL, ADRESSE) VALUES (1, '123456789012345678901234567890')",
     "La taille du champ adresse/rappels n'a pu être changée !"},
};

class WideningTest : public SchemaTest, public ::testing::WithParamInterface<Widening>
{
protected:
    // Writes an address through the engine; returns the error number, 0 when written.
    int writeAddress(const QString& address)
    {
        DataSource table(QStringLiteral("check"));
        const QString windowsPath = QStringLiteral("c:\\") + QString(GetParam().file).replace('/', '\\');
        int number = 0;
        try {
            table.bind(windowsPath, GetParam().table);
            table.recordset().edit();
            table.recordset().setField(QStringLiteral("ADRESSE"), address);
            table.recordset().update();
        } catch (const MajError& e) {
            number = e.number();
        }
        table.release();
        return number;
    }

    QString storedAddress()
    {
        sqlite::Connection db(drive.host(GetParam().file), sqlite::Connection::Mode::ReadOnly);
        auto q = db.prepare(QStringLiteral("SELECT ADRESSE FROM %1").arg(GetParam().table));
        return q.step() ? q.column(0).toString() : QString();
    }
};

TEST_P(WideningTest, KeepsTheDataThenTakesFortyCharacters)
{
    createDatabase(drive.host(GetParam().file), GetParam().schema);
    sqlite::Connection(drive.host(GetParam().file), sqlite::Connection::Mode::ReadWrite).exec(GetParam().insert);
    const QString forty = QString(40, 'a');
    ASSERT_EQ(writeAddress(forty), err::FieldTooSmall);

    runStep(GetParam().step);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(storedAddress(), "123456789012345678901234567890");
    EXPECT_EQ(writeAddress(forty), 0);
    EXPECT_EQ(storedAddress(), forty);
    EXPECT_EQ(writeAddress(QString(41, 'b')), err::FieldTooSmall);
}

TEST_P(WideningTest, WithoutTheTableShowsItsMessage)
{
    QDir().mkpath(drive.host("praxidome"));
    sqlite::Connection(drive.host(GetParam().file), sqlite::Connection::Mode::ReadWriteCreate)
        .exec("CREATE TABLE autre (ADRESSE TEXT(30))");
    runStep(GetParam().step);
    EXPECT_EQ(ui.messages, QStringList{GetParam().message});
    EXPECT_FALSE(ui.ended);
}

TEST_P(WideningTest, WithoutTheDatabaseShowsItsMessage)
{
    QDir().mkpath(drive.host("praxidome"));
    runStep(GetParam().step);
    EXPECT_EQ(ui.messages, QStringList{GetParam().message});
}

INSTANTIATE_TEST_SUITE_P(Steps, WideningTest, ::testing::ValuesIn(kWidenings),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(SchemaTest, CreertpautoAddsTheColumnOnceAtPosition51)
{
    createDatabase(drive.host("praxidome/pat.mdb"), "pat");
    sqlite::Connection(drive.host("praxidome/pat.mdb"), sqlite::Connection::Mode::ReadWrite)
        .exec("INSERT INTO patients (NUMPAT, NOM) VALUES (1, 'Dupont')");
    runStep(creertpauto);
    EXPECT_TRUE(ui.messages.isEmpty());
    {
        DataSource patients(QStringLiteral("check"));
        patients.bind("c:\\praxidome\\pat.mdb", "patients");
        EXPECT_EQ(patients.recordset().fieldName(51), "TPAUTORISE");
        EXPECT_EQ(patients.recordset().field(1).toString(), "Dupont");
        patients.recordset().edit();
        patients.recordset().setField(51, true);
        patients.recordset().update();
        EXPECT_EQ(patients.recordset().field(51).toBool(), true);
        patients.release();
    }
    runStep(creertpauto);
    EXPECT_EQ(ui.messages, QStringList{"La modification 'TP autorisé' n'a pu être effectuée"});
    EXPECT_FALSE(ui.ended);
}

TEST_F(SchemaTest, CreertpautoWithoutTheDatabase)
{
    QDir().mkpath(drive.host("praxidome"));
    runStep(creertpauto);
    EXPECT_EQ(ui.messages, QStringList{"La modification 'TP autorisé' n'a pu être effectuée"});
}

struct EffaceclesisTest : SchemaTest
{
    void SetUp() override { createDatabase(drive.host("praxidome/pat.mdb"), "pat"); }

    QStringList keys()
    {
        sqlite::Connection db(drive.host("praxidome/pat.mdb"), sqlite::Connection::Mode::ReadOnly);
        auto q = db.prepare("SELECT CLESIS FROM patients ORDER BY NUMPAT");
        QStringList values;
        while (q.step())
            values.append(q.column(0).toString());
        return values;
    }
};

TEST_F(EffaceclesisTest, BlanksPosition42OfEveryRecordThenReleases)
{
    sqlite::Connection(drive.host("praxidome/pat.mdb"), sqlite::Connection::Mode::ReadWrite)
        .exec("INSERT INTO patients (NUMPAT, NOM, CLESIS) VALUES (1, 'A', 'k1'), (2, 'B', NULL), (3, 'C', 'k3')");
    f.data.Data3.bind("c:\\praxidome\\pat.mdb", "patients");
    runStep(effaceclesis);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_FALSE(f.data.Data3.isOpen());
    EXPECT_TRUE(f.data.Data3.databaseName().isEmpty());
    EXPECT_EQ(keys(), (QStringList{" ", " ", " "}));
}

TEST_F(EffaceclesisTest, EmptyTableEndsSilentlyAndKeepsData3)
{
    f.data.Data3.bind("c:\\praxidome\\pat.mdb", "patients");
    runStep(effaceclesis);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_FALSE(ui.ended);
    EXPECT_TRUE(f.data.Data3.isOpen());
    EXPECT_TRUE(keys().isEmpty());
}

TEST_F(EffaceclesisTest, UnboundEndsSilently)
{
    runStep(effaceclesis);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_FALSE(ui.ended);
    EXPECT_FALSE(f.data.Data3.isOpen());
}

} // namespace
