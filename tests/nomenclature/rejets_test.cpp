#include "NomenTest.h"

using namespace maj;
using namespace maj::test;

namespace {
const QString failed = "La mise à jour des dénominations des erreurs de rejets e-tar a échoué. (Peu important)";

// Each rejection code and its text, in the table's order.
QString rejets(const NomenFixture& t)
{
    return scalar(t.drive.host("praxidome/etarification.mdb"),
                  "SELECT group_concat(CODE || ': ' || DESIGNATION, ' | ') FROM REJETS")
        .toString();
}
} // namespace

TEST(Rejetsetar, AddsBothTextsAndReleasesTheDatabase)
{
    NomenFixture t;
    t.create("c:\\praxidome\\etarification.mdb", "etarification");
    rejetsetar(t.f);
    EXPECT_TRUE(t.ui.messages.isEmpty());
    EXPECT_FALSE(t.f.data.Data13.isOpen());
    EXPECT_TRUE(t.f.data.Data13.databaseName().isEmpty());
    EXPECT_EQ(rejets(t), "172: Code nomenclature non permis dans efac | 175: Code nomenclature non permis dans la "
                         "consultation tarif mais permis dans efac");
}

// A key refusing the 172 stops before the 175; the database is released on success only. Without
// the database, the same message.
TEST(Rejetsetar, FailuresShowTheMessage)
{
    NomenFixture t;
    rejetsetar(t.f);
    EXPECT_EQ(t.ui.messages, QStringList{failed});
    t.create("c:\\praxidome\\etarification.mdb", "etarification");
    exec(t.drive.host("praxidome/etarification.mdb"),
         "INSERT INTO REJETS (CODE, DESIGNATION) VALUES ('172', 'ancien')");
    rejetsetar(t.f);
    EXPECT_EQ(t.ui.messages, QStringList({failed, failed}));
    EXPECT_EQ(t.f.data.Data13.databaseName(), "c:\\praxidome\\etarification.mdb");
    t.f.data.Data13.release();
    EXPECT_EQ(rejets(t), "172: ancien");
}
