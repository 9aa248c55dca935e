#include "TestSupport.h"
#include "db/DbSteps.h"
#include "platform/MajError.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace maj;
using namespace maj::test;

namespace {

struct Widening
{
    const char* name;
    void (*step)(Form1Core&);
    const char* file;   // relative to the drive
    const char* schema; // schema of the file
    const char* table;
    const char* key; // the table's first column
    const char* message;
};

const Widening kWidenings[] = {
    {"Changertaillebase", Changertaillebase, "praxidome/rappels.mdb", "rappels", "Attestationsdifferees", "NUMATTEST",
     "La taille du champ adresse n'a pu être changée !"},
    {"Changertailleadresse", Changertailleadresse, "praxidome/pat.mdb", "pat", "patients", "NUMPAT",
     "La taille du champ adresse n'a pu être changée !"},
    {"Changertailleadresserappels", Changertailleadresserappels, "praxidome/rappels.mdb", "rappels", "rappelsvisite",
     "NUMRAPPEL", "La taille du champ adresse/rappels n'a pu être changée !"},
};

class WideningTest : public ::testing::TestWithParam<Widening>, public StepFixture
{
protected:
    // Writes an address through the engine; returns the error number, 0 when written.
    int writeAddress(const QString& address)
    {
        Engine engine;
        DataSource table(engine, "check");
        const int number = errorOf([&] {
            table.bind("c:\\" + QString(GetParam().file).replace('/', '\\'), GetParam().table);
            change(table.recordset(), QStringLiteral("ADRESSE"), address);
        });
        table.release();
        return number;
    }
};

// Without the database or the table: its message. Then it keeps the data and takes forty characters.
TEST_P(WideningTest, ShowsItsMessageWithoutTheTableElseKeepsTheDataThenTakesFortyCharacters)
{
    QDir().mkpath(drive.host("praxidome"));
    runStep(GetParam().step);
    createDatabaseFromSql(drive.host(GetParam().file), "CREATE TABLE autre (ADRESSE TEXT(30));");
    runStep(GetParam().step);
    EXPECT_EQ(ui.messages, QStringList({GetParam().message, GetParam().message}));
    EXPECT_FALSE(ui.ended);
    ui.messages.clear();

    createDatabase(drive.host(GetParam().file), GetParam().schema);
    exec(drive.host(GetParam().file), QStringLiteral("INSERT INTO %1 (%2, ADRESSE) VALUES (1, '%3')")
                                          .arg(GetParam().table, GetParam().key, QString(30, 'a')));
    ASSERT_EQ(writeAddress(QString(40, 'b')), err::FieldTooSmall);

    runStep(GetParam().step);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(scalar(drive.host(GetParam().file), QStringLiteral("SELECT ADRESSE FROM %1").arg(GetParam().table)),
              QString(30, 'a'));
    EXPECT_EQ(writeAddress(QString(40, 'b')), 0);
    EXPECT_EQ(writeAddress(QString(41, 'c')), err::FieldTooSmall);
}

INSTANTIATE_TEST_SUITE_P(Steps, WideningTest, ::testing::ValuesIn(kWidenings),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(Schema, CreertpautoAddsTheColumnOnceAtPosition51EffaceclesisBlanksPosition42)
{
    StepFixture t;
    QDir().mkpath(t.drive.host("praxidome"));
    t.runStep(creertpauto); // no database yet
    createDatabase(t.drive.host("praxidome/pat.mdb"), "pat");
    exec(t.drive.host("praxidome/pat.mdb"), "INSERT INTO patients (NUMPAT, NOM) VALUES (1, 'Dupont')");
    t.runStep(creertpauto);
    Engine engine;
    DataSource patients(engine, "check");
    patients.bind("c:\\praxidome\\pat.mdb", "patients");
    EXPECT_EQ(patients.recordset().fieldName(51), "TPAUTORISE");
    EXPECT_EQ(patients.recordset().field(1).toString(), "Dupont");
    patients.release();
    t.runStep(creertpauto);
    const QString failed = "La modification 'TP autorisé' n'a pu être effectuée";
    EXPECT_EQ(t.ui.messages, QStringList({failed, failed}));
    t.ui.messages.clear();

    // effaceclesis blanks position 42 of every patient and releases Data3; on an empty table or an
    // unbound Data3 it ends silently, an empty table leaving Data3 bound.
    exec(t.drive.host("praxidome/pat.mdb"), "DELETE FROM patients");
    t.runStep(effaceclesis);
    t.f.data.Data3.bind("c:\\praxidome\\pat.mdb", "patients");
    t.runStep(effaceclesis);
    EXPECT_TRUE(t.f.data.Data3.isOpen());
    exec(t.drive.host("praxidome/pat.mdb"),
         "INSERT INTO patients (NUMPAT, NOM, CLESIS) VALUES (1, 'A', 'k1'), (2, 'B', NULL), (3, 'C', 'k3')");
    t.f.data.Data3.bind("c:\\praxidome\\pat.mdb", "patients");
    t.runStep(effaceclesis);
    EXPECT_TRUE(t.ui.messages.isEmpty());
    EXPECT_FALSE(t.ui.ended);
    EXPECT_TRUE(!t.f.data.Data3.isOpen() && t.f.data.Data3.databaseName().isEmpty());
    EXPECT_EQ(
        scalar(t.drive.host("praxidome/pat.mdb"), "SELECT group_concat('<' || CLESIS || '>') FROM patients").toString(),
        "< >,< >,< >");
}

} // namespace
