#include "TestSupport.h"
#include "db/DbSteps.h"

#include <gtest/gtest.h>

using namespace maj;
using namespace maj::test;

namespace {

// Without the release table the binding stops at Data2. The station's role.
TEST(DataSources, AssignationBindsTheThreeSourcesInOrderAndTheStationRole)
{
    StepFixture t;
    createDatabase(t.drive.host("praxidome/pat.mdb"), "pat");
    t.runStep(assignationdesbases);
    EXPECT_EQ(t.ui.messages, QStringList{"Bases non assignées !"});
    EXPECT_FALSE(t.ui.ended);
    EXPECT_TRUE(t.f.data.Data1.isOpen());
    EXPECT_FALSE(t.f.data.Data2.isOpen());
    EXPECT_TRUE(t.f.data.Data3.databaseName().isEmpty());
    // With it, Data3 too (the sequence's runs check the other two).
    createDatabase(t.drive.host("praxidome/eattest.mdb"), "eattest");
    t.runStep(assignationdesbases);
    EXPECT_EQ(t.f.data.Data3.recordSource(), "patients");

    // Only the first settings record counts; CLIENT in any letter case and with blanks around marks a
    // client workstation.
    const QString parametres = t.drive.host("praxidome/parametres.mdb");
    createDatabase(parametres, "parametres");
    exec(parametres, "INSERT INTO parapat (ID) VALUES (1); INSERT INTO parapat (ID, STATION) VALUES (2, 'CLIENT')");
    const std::pair<const char*, bool> stations[] = {{"'CLIENT'", true},   {"' client '", true}, {"NULL", false},
                                                     {"'SERVEUR'", false}, {"''", false},        {"'CLIENTS'", false}};
    for (const auto& [station, client] : stations) {
        t.f.data.Data7.release();
        exec(parametres, QStringLiteral("UPDATE parapat SET STATION = %1 WHERE ID = 1").arg(station));
        bindAtLoad(t.f);
        EXPECT_EQ(readStationRole(t.f), client) << station;
    }
}

} // namespace
