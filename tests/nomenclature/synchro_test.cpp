#include "NomenTest.h"

using namespace maj;
using namespace maj::test;

namespace {
const QString nomenclature = "nomenclature";
const QString failed = "La synchronisation de la nomenclature minorée a échoué";
} // namespace

TEST(Synchrotrajet, UpdatesOrAddsEachUserCode)
{
    NomenFixture t;
    t.createAll();
    const Row both = fullRow("301000", 0);
    const Row userOnly = fullRow("301001", 0);
    const Row reducedOwn = fullRow("301000", 1);
    const Row reducedOnly = fullRow("309999", 1);
    t.addRows(patPath, nomenclature, {both, userOnly});
    t.addRows(trajPath, nomenclature, {reducedOnly, reducedOwn});
    synchrotrajet(t.f);

    EXPECT_TRUE(t.ui.messages.isEmpty());
    const QList<Row> rows = t.rows(trajPath, nomenclature);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0], reducedOnly); // not visited
    EXPECT_EQ(rows[1][0], both[0]);
    EXPECT_EQ(rows[1][3], reducedOwn[3]);
    EXPECT_EQ(rows[2][1], userOnly[1]);
    EXPECT_EQ(rows[2][19].toDate(), QDate(2021, 1, 1));
    EXPECT_EQ(t.f.window.progressValue, 2);
    EXPECT_EQ(t.f.data.Data1.databaseName(), trajPath);
    EXPECT_EQ(t.f.data.Data2.databaseName(), patPath);
}

TEST(Synchrotrajet, AMissingReducedRateDatabaseShowsBothMessages)
{
    NomenFixture t;
    t.create(patPath, "pat");
    t.addRows(patPath, nomenclature, {codeRow("A", "301000")});
    synchrotrajet(t.f);
    QString description;
    try {
        DataSource probe(t.f.engine, "TestProbe");
        probe.bind(trajPath, nomenclature);
    } catch (const MajError& e) {
        EXPECT_EQ(e.number(), err::DatabaseNotFound);
        description = e.description();
    }
    EXPECT_EQ(t.ui.messages, QStringList({description, failed}));
    EXPECT_FALSE(t.f.data.Data2.isOpen()); // pat.mdb was never bound
}

TEST(Synchrotrajet, AFailureKeepsTheRowsSavedBefore)
{
    NomenFixture t;
    t.createAll();
    exec(t.host(trajPath), "CREATE UNIQUE INDEX test_unique ON nomenclature(ABREVIATION)");
    t.addRows(patPath, nomenclature, {codeRow("A", "301000"), codeRow("A", "301001"), codeRow("C", "301002")});
    synchrotrajet(t.f);
    t.f.data.Data1.release();
    EXPECT_EQ(t.ui.messages, QStringList({standardDescription(err::DuplicateKey), failed}));
    EXPECT_EQ(t.codes(trajPath, nomenclature), QStringList{"301000"});
}
