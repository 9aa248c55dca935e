#include "TestSupport.h"
#include "db/DbSteps.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "platform/jet/Sqlite.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <optional>

using namespace maj;
using namespace maj::test;

namespace {

const QString kRunning = QStringLiteral("Praxidome semble être en fonctionnement. Veuillez fermer le programme sur "
                                        "tous les postes puis recommencer la mise à jour svp");

struct DataSourcesTest : ::testing::Test, StepFixture
{
    void SetUp() override { f.settings.SafetyFolder = "c:\\MAJJAN2021\\"; }
};

// Without the release table the binding stops at Data2; with it the three sources are bound.
TEST_F(DataSourcesTest, AssignationBindsTheThreeSourcesInOrder)
{
    createDatabase(drive.host("praxidome/pat.mdb"), "pat");
    runStep(assignationdesbases);
    EXPECT_EQ(ui.messages, QStringList{"Bases non assignées !"});
    EXPECT_FALSE(ui.ended);
    EXPECT_TRUE(f.data.Data1.isOpen());
    EXPECT_FALSE(f.data.Data2.isOpen());
    EXPECT_TRUE(f.data.Data3.databaseName().isEmpty());

    createDatabase(drive.host("praxidome/eattest.mdb"), "eattest");
    exec(drive.host("praxidome/eattest.mdb"), "INSERT INTO nomen (ABREVIATION, \"code inami\") VALUES ('A', '1')");
    runStep(assignationdesbases);
    EXPECT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(f.data.Data1.recordSource(), "nomenclature");
    EXPECT_EQ(f.data.Data2.recordset().field(0).toString(), "A");
    EXPECT_EQ(f.data.Data3.recordSource(), "patients");
    EXPECT_TRUE(f.data.Data3.isOpen());
}

struct Holder
{
    const char* name;
    std::optional<OtherProcess::Hold> hold;
    bool running;
};

class VoitsiouvertTest : public DataSourcesTest, public ::testing::WithParamInterface<Holder>
{
};

TEST_P(VoitsiouvertTest, CopiesThePatientDatabaseUnlessAnotherProcessWrites)
{
    const QString pat = drive.host("praxidome/pat.mdb");
    createDatabase(pat, "pat");
    exec(pat, "INSERT INTO parapat (ID, VERSION_BASE) VALUES (1, 'v1')");
    QDir().mkpath(drive.host("MAJJAN2021"));
    drive.write("MAJJAN2021/pat.mdb", "an older copy");

    std::optional<OtherProcess> other;
    if (GetParam().hold) {
        other.emplace(pat, *GetParam().hold);
        ASSERT_TRUE(other->held());
    }
    runStep(voitsiouvert);
    other.reset();

    if (GetParam().running) {
        EXPECT_EQ(ui.messages, QStringList{kRunning});
        EXPECT_TRUE(ui.ended);
        EXPECT_EQ(drive.read("MAJJAN2021/pat.mdb"), "an older copy");
    } else {
        EXPECT_TRUE(ui.messages.isEmpty());
        EXPECT_FALSE(ui.ended);
        EXPECT_EQ(drive.read("MAJJAN2021/pat.mdb"), drive.read("praxidome/pat.mdb"));
    }
}

INSTANTIATE_TEST_SUITE_P(Holders, VoitsiouvertTest,
                         ::testing::Values(Holder{"nobody", std::nullopt, false},
                                           Holder{"WriteLock", OtherProcess::Hold::WriteLock, true},
                                           Holder{"ReadLock", OtherProcess::Hold::ReadLock, false},
                                           Holder{"SqliteWriter", OtherProcess::Hold::SqliteWriter, true},
                                           Holder{"SqliteReader", OtherProcess::Hold::SqliteReader, true}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(DataSourcesTest, VoitsiouvertWithoutSafetyFolderEndsTheProgram)
{
    createDatabase(drive.host("praxidome/pat.mdb"), "pat");
    runStep(voitsiouvert);
    EXPECT_EQ(ui.messages, QStringList{kRunning});
    EXPECT_TRUE(ui.ended);
}

// Only the first settings record counts; CLIENT in any letter case and with blanks around marks a
// client workstation.
TEST_F(DataSourcesTest, StationRoleFromTheFirstSettingsRecord)
{
    const QString parametres = drive.host("praxidome/parametres.mdb");
    createDatabase(parametres, "parametres");
    exec(parametres, "INSERT INTO parapat (ID) VALUES (1); INSERT INTO parapat (ID, STATION) VALUES (2, 'CLIENT')");
    const std::pair<const char*, bool> stations[] = {{"'CLIENT'", true},   {"' client '", true}, {"NULL", false},
                                                     {"'SERVEUR'", false}, {"''", false},        {"'CLIENTS'", false}};
    for (const auto& [station, client] : stations) {
        f.data.Data7.release();
        exec(parametres, QStringLiteral("UPDATE parapat SET STATION = %1 WHERE ID = 1").arg(station));
        bindAtLoad(f);
        ASSERT_TRUE(f.data.Data7.isOpen());
        EXPECT_EQ(readStationRole(f), client) << station;
    }
}

TEST_F(DataSourcesTest, SettingsDatabaseMissingFailsWhenTheRecordIsRead)
{
    QDir().mkpath(drive.host("praxidome"));
    bindAtLoad(f);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_FALSE(f.data.Data7.isOpen());
    EXPECT_EQ(errorOf([&] { readStationRole(f); }), err::DatabaseNotFound);
}

} // namespace
