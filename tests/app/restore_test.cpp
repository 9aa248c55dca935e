#include "AppTestSupport.h"
#include "deploy/BackupSet.h"
#include "platform/FileSystem.h"
#include "platform/jet/Database.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include <optional>

#include <gtest/gtest.h>

using namespace maj;
using namespace maj::test;

namespace {

const QString kRun = "c:\\MAJ20261271530";

// An installation after a failed run: its set saved in c:\MAJ20261271530 before the run (patient
// "Dupont", no pannexe.mdb), then changed by it (patient "Run", a new eattest.mdb, a pannexe.mdb) and
// recorded as left so.
struct FailedRun
{
    TempDrive drive;
    QString pat = drive.host("praxidome/pat.mdb");
    std::optional<OtherProcess> other; // holds a file of the set through a command

    explicit FailedRun(int extraRows = 0)
    {
        installPractice(drive);
        exec(pat, QString("WITH RECURSIVE n(i) AS (SELECT 3 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                          "INSERT INTO patients (NUMPAT, NOM, CLESIS) SELECT i, hex(randomblob(200)), 'k' FROM n")
                      .arg(2 + extraRows));
        Engine engine;
        deploy::Manifest m;
        m.folder = kRun;
        m.kind = "update";
        m.started = QDateTime(QDate(2020, 1, 1), QTime(15, 30));
        QDir().mkpath(drive.host("MAJ20261271530"));
        for (const char* name : {"pat.mdb", "eattest.mdb", "parametres.mdb"})
            m.files.push_back(deploy::saveFile(engine, "c:\\praxidome\\" + QString(name), kRun, name));
        QFile::remove(drive.host("praxidome/pannexe.mdb"));
        m.files.push_back({"c:\\praxidome\\pannexe.mdb", "pannexe.mdb", false, 0, {}, {}});
        createDatabase(drive.host("praxidome/pannexe.mdb"), "pannexe");
        exec(pat, "UPDATE patients SET NOM = 'Run' WHERE NUMPAT = 1");
        QFile::remove(drive.host("praxidome/eattest.mdb"));
        createDatabase(drive.host("praxidome/eattest.mdb"), "eattest");
        for (SavedFile& file : m.files)
            file.sha256AtEnd = deploy::currentSha256(engine, file.path);
        m.outcome = "failed";
        m.errorNumber = 61;
        m.errorText = "Disque plein";
        deploy::writeManifest(m);
    }
    QVariant patient() const { return scalar(pat, "SELECT NOM FROM patients WHERE NUMPAT = 1"); }
};

// A restore puts the set back and keeps what it replaced, so that it can be undone. It refuses,
// writing nothing anywhere, while praxidome runs, when a copy is damaged, when a file changed since
// the run ended (unless forced), and when the manifest names anything but the set's own files, each
// once and from the copy of its own name, or lacks what the restore needs. A manifest refused is
// listed for what it is, and a later start rewrites none but one without an end.
TEST(Restore, PutsTheSetBackOrRefusesAndSaysWhy)
{
    using M = deploy::Manifest;
    static const QString manifest = "MAJ20261271530/manifeste.ini";
    const QString unreadable = "Le manifeste c:\\MAJ20261271530\\manifeste.ini est illisible ou incomplet : rien n";
    const QString inProgress = "mise à jour en cours ou interrompue";
    // `prepare` may change the manifest's record (written back) or its file.
    const auto expect = [&](int status, const QStringList& arguments, const QString& says,
                            void (*prepare)(FailedRun&, M&) = nullptr, const QString& listed = {}) {
        SCOPED_TRACE(says.toStdString());
        FailedRun r;
        M m = deploy::readManifest(kRun);
        const QByteArray written = r.drive.read(manifest);
        if (prepare)
            prepare(r, m);
        if (r.drive.read(manifest) == written)
            deploy::writeManifest(m);
        const QStringList before = hashes({r.drive.host()});
        QString said, error, listing;
        EXPECT_EQ(command(arguments, &said, &error), status);
        EXPECT_EQ(error.isEmpty(), status == 0) << error.toStdString();
        EXPECT_TRUE(said.contains(says)) << said.toStdString();
        EXPECT_EQ(command({"--list-backups"}, &listing), 0);
        // A manifest the restore refuses is listed as refused.
        EXPECT_TRUE(listing.contains(listed.isNull() && said.startsWith("Le manifeste") ? said.section(" : rien", 0, 0)
                                                                                        : listed))
            << listing.toStdString();
        if (status != 0) {
            EXPECT_EQ(hashes({r.drive.host()}), before);
            deploy::markInterrupted(); // as the window's next start does
            EXPECT_EQ(hashes({r.drive.host()}) == before, listed != inProgress);
            return;
        }
        EXPECT_EQ(r.patient(), "Dupont");
        EXPECT_FALSE(QFile::exists(r.drive.host("praxidome/pannexe.mdb"))); // absent before the run
        EXPECT_EQ(QDir(r.drive.host()).entryList({"MAJ2*"}, QDir::Dirs).size(), 2);
        EXPECT_EQ(scalar(r.drive.host("praxidome/eattest.mdb"), "SELECT count(*) FROM nomen"), 1);
        // The restore's own folder puts back what it replaced.
        EXPECT_LT(listing.indexOf("avant une restauration"), listing.indexOf("arrêtée par l'erreur"));
        EXPECT_EQ(command({"--restore"}), 0);
        EXPECT_EQ(r.patient(), "Run");
        EXPECT_TRUE(QFile::exists(r.drive.host("praxidome/pannexe.mdb")));
    };
    const auto later = [](FailedRun& r, M&) { exec(r.pat, "UPDATE patients SET NOM = 'Later' WHERE NUMPAT = 2"); };
    expect(0, {"--restore"},
           "praxidome a été remis dans l'état où il était avant la mise à jour de c:\\MAJ20261271530.\nLes fichiers "
           "remplacés sont sauvegardés dans c:\\MAJ2");
    expect(7, {"--restore"}, "c:\\praxidome\\pat.mdb a changé depuis la fin", later);
    expect(0, {"--restore", "--force", kRun}, "praxidome a été remis", later);
    expect(0, {"--restore", kRun}, "avant la mise à jour de c:\\MAJ20261271530 : ce dossier a déjà été remis en place",
           [](FailedRun&, M&) { command({"--restore"}); });
    expect(7, {"--restore"}, "La copie c:\\MAJ20261271530\\pat.mdb est introuvable : rien n'a été remis en place.",
           [](FailedRun& r, M&) { QFile::remove(r.drive.host("MAJ20261271530/pat.mdb")); });
    expect(1, {"--restore"},
           "La copie c:\\MAJ20261271530\\eattest.mdb n'a pu être lue (elle est ouverte par un autre programme) : rien",
           [](FailedRun& r, M&) {
               r.other.emplace(r.drive.host("MAJ20261271530/eattest.mdb"), OtherProcess::Hold::WriteLock);
           });
    expect(7, {"--restore"}, "ne correspond plus à celle qui a été sauvegardée",
           [](FailedRun& r, M&) { exec(r.drive.host("MAJ20261271530/pat.mdb"), "UPDATE patients SET NOM = 'X'"); });
    expect(7, {"--restore", "--force"}, "refusé, sa ligne « [files] 1\\path=c:\\outside.mdb » nomme un fichier que",
           [](FailedRun&, M& m) { m.files[0].path = "c:\\outside.mdb"; });
    expect(7, {"--restore", kRun}, "3\\path=c:\\praxidome\\pat.mdb » nomme ce fichier une seconde fois",
           [](FailedRun&, M& m) { m.files[2] = m.files[0]; });
    expect(7, {"--restore", "--force"},
           "1\\copy=parametres.mdb » nomme une copie qui n'est pas celle de c:\\praxidome\\pat.mdb",
           [](FailedRun&, M& m) { std::swap(m.files[0], m.files[2]), std::swap(m.files[0].path, m.files[2].path); });
    expect(7, {"--restore"}, unreadable, [](FailedRun& r, M&) { r.drive.write(manifest, ""); });
    expect(7, {"--restore", kRun}, unreadable,
           [](FailedRun& r, M&) { r.drive.write(manifest, "\x89PNG\r\n[run\n\xff=\x01[files]\n"); });
    expect(
        7, {"--restore"}, unreadable, [](FailedRun&, M& m) { m.outcome.clear(); }, inProgress);
    expect(1, {"--restore", kRun}, "Le dossier c:\\MAJ20261271530 ne contient pas de manifeste : rien n",
           [](FailedRun& r, M&) { QFile::remove(r.drive.host(manifest)); });
    // praxidome runs here (a reader of pat.mdb), or on another workstation of the share: only its lock shows.
    expect(2, {"--restore"}, "Praxidome semble être en fonctionnement (c:\\praxidome\\pat.mdb est ouvert)",
           [](FailedRun& r, M&) { r.other.emplace(r.pat, OtherProcess::Hold::SqliteReader); });
    expect(
        2, {"--force", "--restore"}, "Praxidome semble être en fonctionnement (c:\\praxidome\\eattest.mdb est",
        [](FailedRun& r, M&) { r.other.emplace(r.drive.host("praxidome/eattest.mdb"), OtherProcess::Hold::ReadLock); });
}

// The options in any order, each once; a line it does not understand is told, with the usage, before
// anything is written. A line of Qt's own options (one dash) is the window's.
TEST(CommandLine, TakesItsOptionsInAnyOrderAndRefusesTheRest)
{
    TempDrive drive;
    installPractice(drive);
    const QString usage = "Usage : maj [--preview";
    const QString missing = "Le dossier de sauvegarde c:\\MAJ1 n'existe pas : rien n'a été remis en place.";
    // The arguments, the status, what is said: on the standard output when 0, else on the error.
    const std::tuple<QStringList, int, QString> cases[] = {
        {{"-h"}, 0, usage},
        {{"--help"}, 0, "  -v, --version"},
        {{"--version"}, 0, "maj "},
        {{"--list-backups"}, 0, "Aucun dossier de sauvegarde avec un manifeste"},
        {{"MAJ1", "--restore"}, 1, missing},
        {{"--force", "c:\\MAJ1", "--restore"}, 1, missing},
        {{"--restore", "C:/MAJ1"}, 1, missing},
        {{"--restore", drive.host("MAJ1")}, 1, missing},
        {{"--restore", "/nonexistent/MAJ1"},
         64,
         "Le dossier /nonexistent/MAJ1 n'est pas sur le lecteur c:, qui est le dossier " + drive.host() +
             " (MAJ_DRIVE_C) : donnez le dossier de sauvegarde sous la forme c:\\MAJ… ou MAJ….\n"},
        {{"--restore", "--restore"}, 64, "Option répétée : --restore.\n"},
        {{"-h", "--help"}, 64, "Option répétée : --help.\n"},
        {{"--restore", "--bogus"}, 64, "Option inconnue : --bogus.\n"},
        {{"--preview", "--json=oui"}, 64, "Option inconnue : --json=oui.\n"},
        {{"foo"}, 64, "Argument inattendu : foo.\n"},
        {{"--list-backups", "MAJ1"}, 64, "Argument inattendu : MAJ1.\n"},
        {{"--restore", "MAJ1", "MAJ2"}, 64, "Argument inattendu : MAJ2.\n"},
        {{"--force"}, 64, "L'option --force ne va qu'avec --restore.\n"},
        {{"--json", "--list-backups"}, 64, "L'option --json ne va qu'avec --preview.\n"},
        {{"--preview", "--restore"}, 64, "Les options --preview et --restore ne vont pas ensemble.\n"},
    };
    const QStringList before = hashes({drive.host()});
    for (const auto& [arguments, status, says] : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        QString said, err;
        EXPECT_EQ(command(arguments, &said, &err), status);
        EXPECT_TRUE(said.contains(says)) << said.toStdString();
        EXPECT_EQ(err.contains(usage), status == 64);
        EXPECT_EQ(err, status ? said : QString()); // the standard error alone when it fails
        EXPECT_FALSE(isForTheWindow(arguments));
    }
    EXPECT_EQ(hashes({drive.host()}), before);
    // A drive c: that is nowhere, or holds no installation, is named.
    const QString nowhere =
        "Le lecteur c: devrait être le dossier /nonexistent/drive_c (MAJ_DRIVE_C), qui n'existe pas";
    const QString empty = drive.host("praxidome");
    for (const auto& [root, says] : {std::pair<QString, QString>{"/nonexistent/drive_c", nowhere},
                                     {empty, "Le dossier c:\\praxidome est introuvable sur le lecteur c:, qui est le "
                                             "dossier " +
                                                 empty + " (MAJ_DRIVE_C)"}}) {
        const EnvironmentValue elsewhere("MAJ_DRIVE_C", root);
        for (const char* option : {"--list-backups", "--restore", "--preview"}) {
            QString said;
            EXPECT_EQ(command({option}, nullptr, &said), 1);
            EXPECT_EQ(said, says + " : rien n'a été modifié.\n");
        }
    }
    for (const QStringList& window : {QStringList{}, {"-platform", "offscreen"}, {"-reverse", "--bogus"}})
        EXPECT_TRUE(isForTheWindow(window)) << window.join(' ').toStdString();
}

// A restore that stops part way logs the files it saved, those it put back and not, its failure and
// its end, and says the same.
TEST(Restore, ItsLogTellsWhatWasPutBackAndWhatNot)
{
    FailedRun r;
    fs::setAttributes("c:\\praxidome\\pannexe.mdb", fs::ReadOnly); // absent before the run, it cannot be removed
    QString said;
    EXPECT_EQ(command({"--restore"}, &said), 1);
    const QString failure = "c:\\praxidome\\pannexe.mdb n'a pu être supprimé (Erreur d'accès au chemin ou au fichier)";
    EXPECT_TRUE(said.startsWith("La remise en place s'est arrêtée : " + failure +
                                ". Remis en place : c:\\praxidome\\pat.mdb, c:\\praxidome\\eattest.mdb. Pas remis "
                                "en place : c:\\praxidome\\pannexe.mdb. Les copies sont dans c:\\MAJ20261271530, les "
                                "fichiers remplacés dans c:\\MAJ2"))
        << said.toStdString();
    const QString log = QString::fromUtf8(r.drive.read("praxidome/maj.log"));
    for (const QString& line : QStringList{
             "restauration de c:\\MAJ20261271530\n", "sauvegarde de c:\\praxidome\\pat.mdb dans c:\\MAJ2",
             "remis en place : c:\\praxidome\\pat.mdb\n", "remis en place : c:\\praxidome\\eattest.mdb\n",
             "pas remis en place : c:\\praxidome\\pannexe.mdb\n", "échec de la remise en place : " + failure + "\n",
             "fin de la remise en place : arrêtée\n", "fin du programme, statut 1\n"})
        EXPECT_TRUE(log.contains(line)) << line.toStdString() << log.toStdString();
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
