// Copies of a database that a crash left with a hot journal beside it: the safety copy and the
// backup hold the database as it was before the interrupted transaction, not a mix.

#include "TestSupport.h"
#include "db/DbSteps.h"
#include "deploy/Deploy.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace maj;
using namespace maj::test;

namespace {

QString patients(const QString& host)
{
    return scalar(host, "SELECT count(*) || ':' || group_concat(NOM) FROM patients").toString();
}

TEST(ConsistentCopy, AHotJournalIsRolledBackBeforeTheSafetyCopyAndTheBackup)
{
    StepFixture t;
    const QString pat = t.drive.host("praxidome/pat.mdb");
    createDatabase(pat, "pat");
    exec(pat, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400) "
              "INSERT INTO patients (NUMPAT, NOM) SELECT i, printf('patient %04d %.100c', i, 'x') FROM n");
    const QString before = patients(pat);
    // A crash in the middle of a transaction: changed pages already written into the database, their
    // former content in the journal beside it.
    ASSERT_TRUE(
        crashInTransaction(pat, "UPDATE patients SET NOM = upper(NOM); DELETE FROM patients WHERE NUMPAT > 200"));

    t.f.settings.SafetyFolder = "c:\\MAJJAN2021\\";
    QDir().mkpath(t.drive.host("MAJJAN2021"));
    voitsiouvert(t.f);
    t.f.settings.BackupFolder = "c:\\MAJ1";
    QDir().mkpath(t.drive.host("MAJ1"));
    verstempo(t.f);

    for (const char* copy : {"MAJJAN2021/pat.mdb", "MAJ1/pat.mdb"}) {
        SCOPED_TRACE(copy);
        EXPECT_EQ(scalar(t.drive.host(copy), "PRAGMA integrity_check").toString(), "ok");
        EXPECT_EQ(patients(t.drive.host(copy)), before);
    }
}

} // namespace
