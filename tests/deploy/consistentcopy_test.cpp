// Copies of a database that a crash left with a hot journal beside it: the safety copy and the
// backup hold the database as it was before the interrupted transaction, not a mix.

#include "TestSupport.h"
#include "db/DbSteps.h"
#include "deploy/Deploy.h"
#include "platform/jet/Sqlite.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace maj;
using namespace maj::test;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Leaves the file as a crash in the middle of a transaction does: changed pages already written
// into the database, their former content in the journal beside it.
void crashMidTransaction(const QString& host, const QString& sql)
{
    QByteArray database;
    QByteArray journal;
    {
        sqlite::Connection db(host, sqlite::Connection::Mode::ReadWrite);
        db.exec("PRAGMA cache_size=1"); // the changes spill into the file before the commit
        db.exec("BEGIN");
        db.exec(sql);
        database = readAll(host);
        journal = readAll(host + "-journal");
        db.exec("ROLLBACK");
    }
    ASSERT_FALSE(journal.isEmpty());
    ASSERT_NE(database, readAll(host));
    writeAll(host, database);
    writeAll(host + "-journal", journal);
}

QString patients(const QString& host)
{
    return scalar(host, "SELECT count(*) || ':' || group_concat(NOM) FROM patients").toString();
}

} // namespace

TEST(ConsistentCopy, AHotJournalIsRolledBackBeforeTheSafetyCopyAndTheBackup)
{
    StepFixture t;
    createDatabase(t.drive.host("praxidome/pat.mdb"), "pat");
    createDatabase(t.drive.host("praxidome/parametres.mdb"), "parametres");
    const QString pat = t.drive.host("praxidome/pat.mdb");
    exec(pat, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400) "
              "INSERT INTO patients (NUMPAT, NOM) SELECT i, printf('patient %04d %.100c', i, 'x') FROM n");
    const QString before = patients(pat);
    crashMidTransaction(pat, "UPDATE patients SET NOM = upper(NOM); DELETE FROM patients WHERE NUMPAT > 200");

    t.f.settings.SafetyFolder = QStringLiteral("c:\\MAJJAN2021\\");
    QDir().mkpath(t.drive.host("MAJJAN2021"));
    voitsiouvert(t.f);
    ASSERT_TRUE(t.ui.messages.isEmpty());

    t.f.settings.BackupFolder = QStringLiteral("c:\\MAJ1");
    QDir().mkpath(t.drive.host("MAJ1"));
    verstempo(t.f);

    for (const char* copy : {"MAJJAN2021/pat.mdb", "MAJ1/pat.mdb"}) {
        SCOPED_TRACE(copy);
        EXPECT_EQ(scalar(t.drive.host(copy), "PRAGMA integrity_check").toString(), "ok");
        EXPECT_EQ(patients(t.drive.host(copy)), before);
    }
}

TEST(Backups, AFileThatChangesBetweenTheCopyAndItsCheckIsNotSaved)
{
    StepFixture t;
    installPractice(t.drive);
    // Every read of it gives new content: the copy can never read back identical.
    const QString help = t.drive.host("praxidome/aide/aide.htm");
    QFile::remove(help);
    ASSERT_TRUE(QFile::link("/proc/sys/kernel/random/uuid", help));
    t.f.settings.BackupFolder = QStringLiteral("c:\\MAJ1");
    QDir().mkpath(t.drive.host("MAJ1"));

    verstempo(t.f);

    EXPECT_EQ(t.ui.messages, QStringList{QStringLiteral(
                                 "c:\\praxidome\\aide\\aide.htm n'a pas été trouvé ou n'a pu être sauvegardé")});
    for (const char* saved : {"MAJ1/praxidome.exe", "MAJ1/parametres.mdb", "MAJ1/pat.mdb"})
        EXPECT_TRUE(QFile::exists(t.drive.host(saved))) << saved;
}
