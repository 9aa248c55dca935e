#include "TestSupport.h"
#include "app/CommandLine.h"
#include "deploy/BackupSet.h"
#include "platform/FileSystem.h"
#include "platform/jet/Database.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTextStream>
#include <QThread>

#include <gtest/gtest.h>

using namespace maj;
using namespace maj::test;

namespace {

const QString kRun = "c:\\MAJ20261271530";

// An installation after a failed run: its set saved in c:\MAJ20261271530 before the run (patient
// "Dupont"), then changed by it (patient "Run", a new eattest.mdb) and recorded as left so.
struct FailedRun
{
    TempDrive drive;
    QString pat = drive.host("praxidome/pat.mdb");

    explicit FailedRun(int extraRows = 0)
    {
        installPractice(drive);
        exec(pat, QString("WITH RECURSIVE n(i) AS (SELECT 3 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                          "INSERT INTO patients (NUMPAT, NOM, CLESIS) SELECT i, hex(randomblob(200)), 'k' FROM n")
                      .arg(2 + extraRows));
        Engine engine;
        deploy::Manifest m;
        m.folder = kRun;
        m.started = QDateTime(QDate(2020, 1, 1), QTime(15, 30));
        QDir().mkpath(drive.host("MAJ20261271530"));
        for (const char* name : {"pat.mdb", "eattest.mdb", "parametres.mdb"})
            m.files.push_back(deploy::saveFile(engine, "c:\\praxidome\\" + QString(name), kRun, name));
        exec(pat, "UPDATE patients SET NOM = 'Run' WHERE NUMPAT = 1");
        createDatabase(drive.host("praxidome/eattest.mdb.new"), "eattest");
        QFile::remove(drive.host("praxidome/eattest.mdb"));
        QFile::rename(drive.host("praxidome/eattest.mdb.new"), drive.host("praxidome/eattest.mdb"));
        for (SavedFile& file : m.files)
            file.sha256AtEnd = deploy::currentSha256(engine, file.path);
        m.outcome = "failed";
        m.errorNumber = 61;
        m.errorText = "Disque plein";
        deploy::writeManifest(m);
    }
    QVariant patient() const { return scalar(pat, "SELECT NOM FROM patients WHERE NUMPAT = 1"); }
    int folders() const { return int(QDir(drive.host()).entryList({"MAJ2*"}, QDir::Dirs).size()); }
};

int command(const QStringList& arguments, QString* output = nullptr)
{
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const int status = runCommandLine(arguments, outStream, errStream);
    if (output)
        *output = out + err;
    return status;
}

// A restore puts the set back and keeps what it replaced, so that it can be undone; it refuses,
// replacing nothing, while praxidome runs, when a copy is damaged, or when a file changed since the
// run ended (unless forced).
TEST(Restore, PutsTheSetBackOrRefusesAndSaysWhy)
{
    const struct
    {
        void (*prepare)(FailedRun&);
        QStringList arguments;
        int status;
        const char* patient;
        const char* says;
    } cases[] = {
        {nullptr, {"--restore"}, 0, "Dupont", "praxidome a été remis dans l'état"},
        {nullptr, {"--restore", "MAJ20261271530"}, 0, "Dupont", "Les fichiers remplacés sont sauvegardés dans"},
        {[](FailedRun& r) { exec(r.pat, "UPDATE patients SET NOM = 'Later' WHERE NUMPAT = 2"); },
         {"--restore"},
         7,
         "Run",
         "c:\\praxidome\\pat.mdb a changé depuis la fin"},
        {[](FailedRun& r) { exec(r.pat, "UPDATE patients SET NOM = 'Later' WHERE NUMPAT = 2"); },
         {"--restore", "--force", kRun},
         0,
         "Dupont",
         "praxidome a été remis"},
        {[](FailedRun& r) { exec(r.drive.host("MAJ20261271530/pat.mdb"), "UPDATE patients SET NOM = 'X'"); },
         {"--restore"},
         7,
         "Run",
         "ne correspond plus à celle qui a été sauvegardée"},
        {nullptr, {"--restore", "MAJ1"}, 1, "Run", "Le dossier c:\\MAJ1 ne contient pas de manifeste"},
        {nullptr, {"--restore", "--bogus"}, 64, "Run", "Option inconnue : --bogus"},
        {nullptr, {"--force"}, 64, "Run", "Usage : maj"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        FailedRun r;
        if (c.prepare)
            c.prepare(r);
        QString said;
        EXPECT_EQ(command(c.arguments, &said), c.status);
        EXPECT_TRUE(said.contains(c.says)) << said.toStdString();
        EXPECT_EQ(r.patient(), c.patient);
        EXPECT_EQ(r.folders(), c.status == 0 ? 2 : 1);
        EXPECT_EQ(scalar(r.drive.host("praxidome/eattest.mdb"), "SELECT count(*) FROM nomen"), c.status ? 0 : 1);
        EXPECT_EQ(scalar(r.pat, "PRAGMA integrity_check"), "ok");
        if (c.status != 0)
            continue;
        // The restore's own folder puts back what it replaced.
        QString listing;
        EXPECT_EQ(command({"--list-backups"}, &listing), 0);
        EXPECT_LT(listing.indexOf("avant une restauration"), listing.indexOf("arrêtée par l'erreur"));
        EXPECT_EQ(command({"--restore"}), 0);
        EXPECT_EQ(r.patient(), "Run");
    }
}

TEST(Restore, RefusedWhileAnotherProcessHoldsThePatientDatabase)
{
    FailedRun r;
    OtherProcess holder(r.pat, OtherProcess::Hold::SqliteReader);
    ASSERT_TRUE(holder.held());
    QString said;
    EXPECT_EQ(command({"--restore"}, &said), 2);
    EXPECT_TRUE(said.startsWith("Praxidome semble être en fonctionnement")) << said.toStdString();
    EXPECT_EQ(r.patient(), "Run");
    EXPECT_EQ(r.folders(), 1);
}

// The program killed at any moment of a restore, a crash's journal beside pat.mdb: the database is
// either as the run left it or as in the backup, and whole.
TEST(Restore, AKillLeavesEachDatabaseAsItWasOrAsInTheBackup)
{
    const QString maj = qEnvironmentVariable("MAJ_BINARY_DIR") + "/src/app/maj";
    QSet<QString> seen;
    qint64 whole = -1; // the first restore runs to its end and gives the kills their range
    for (int i = 0; i <= 8; ++i) {
        FailedRun r(8000);
        ASSERT_TRUE(crashInTransaction(r.pat, "UPDATE patients SET NOM = 'Crash'"));
        QProcess restore;
        QElapsedTimer timer;
        timer.start();
        restore.start(maj, {"--restore", "--force"});
        ASSERT_TRUE(restore.waitForStarted());
        if (whole < 0) {
            ASSERT_TRUE(restore.waitForFinished(60000));
            whole = timer.elapsed();
            ASSERT_EQ(restore.exitCode(), 0) << restore.readAllStandardError().toStdString();
        } else {
            QThread::msleep(whole * i / 6);
            restore.kill();
            restore.waitForFinished();
        }
        for (const QString& database : {r.pat, r.drive.host("praxidome/eattest.mdb")}) {
            exec(database,
                 "SELECT count(*) FROM sqlite_master"); // rolls back a journal left beside it, as the application would
            EXPECT_EQ(scalar(database, "PRAGMA integrity_check"), "ok") << i;
        }
        const QString patient = r.patient().toString();
        EXPECT_TRUE(patient == "Run" || patient == "Dupont") << i << patient.toStdString();
        EXPECT_TRUE(i > 0 || patient == "Dupont");
        seen.insert(patient);
    }
    EXPECT_EQ(seen.size(), 2); // the kills fell before and after the database was put back
}

} // namespace
