#include "TestSupport.h"
#include "app/Opening.h"
#include "app/Sequence.h"
#include "db/DbSteps.h"
#include "deploy/Deploy.h"
#include "platform/CurlTransfer.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace maj;
using namespace maj::test;

namespace {

const QString kDone = "Mise à jour effectuée!";
const QString kChecking = "Vérification de la validité de votre base de données de nomenclature !";
const QString kChecked = "Vérification terminée !";
const QString kIncomplete = "La mise à jour n'a pas été réalisée jusqu'au bout!";

const QStringList kClientSteps{"Envoi du rapport d'activité...",       "Préparation des fichiers...",
                               "Création du dossier de sauvegarde...", "Sauvegarde des fichiers...",
                               "Inscription de la mise à jour...",     kDone};
const QStringList kServerSteps{"Envoi du rapport d'activité...",
                               "Préparation des fichiers...",
                               "Création du dossier de sauvegarde...",
                               "Sauvegarde des fichiers...",
                               "Copie des nouveaux codes de nomenclature...",
                               "Ouverture des bases de données...",
                               "Ajout des nouveaux codes de nomenclature...",
                               "Mise à jour de la nomenclature...",
                               "Inscription de la mise à jour...",
                               kDone,
                               "Vérification de la nomenclature..."};

// A whole installation on its own drive c:, the release medium in c:\CD, and the main window as
// the opening work leaves it.
struct Installed : StepFixture
{
    FixtureServer web{"httpserver.py"};
    QStringList steps;        // what the window showed, in order
    QList<bool> openAtBackup; // Data1 to Data4 and Data7 when the backup starts
    QByteArray patBeforeRun;

    // `patChanges` alters the patient database before the opening work binds anything to it.
    void install(bool client, const QString& patChanges = {})
    {
        installPractice(drive, client);
        if (!patChanges.isEmpty())
            exec(host("praxidome/pat.mdb"), patChanges);
        drive.write("praxidome/MAJ/CABINET_POSTE_5122026.pxd", "report");
        QDir().mkpath(drive.host("MAJJAN2021"));
        createDatabase(host("CD/eattest.mdb"), "eattest");
        exec(host("CD/eattest.mdb"), "INSERT INTO nomen (ABREVIATION, \"code inami\", LIBELLE, HONORAIRE) VALUES "
                                     "('CONS', '301011', 'Consultation', 22), ('EXTR', '303013', 'Extraction', 45)");
        drive.write("CD/praxidome.exe", "MZ release");

        // The opening work: run settings, labels, Data7 from the window's load, and the census's
        // four data sources on the patient database.
        setRunSettings(f);
        f.settings.StationRole = client;
        f.settings.ReportName = "CABINET_POSTE_5122026";
        f.window.LBLSERVEURCLIENT = client ? "POSTE CLIENT" : "SERVEUR";
        bindAtLoad(f);
        f.data.Data1.bind("c:\\praxidome\\pat.mdb", "nomenclature");
        f.data.Data2.bind("c:\\praxidome\\pat.mdb", "select * from dentiste");
        f.data.Data3.bind("c:\\praxidome\\pat.mdb", "patients");
        f.data.Data4.bind("c:\\praxidome\\pat.mdb", "select * from parapat");
        patBeforeRun = drive.read("praxidome/pat.mdb");
        useWeb(web.port);

        QObject::connect(&f.window, &WindowModel::progressChanged, [this] {
            if (!steps.isEmpty() && steps.last() == f.window.stepText)
                return;
            steps.append(f.window.stepText);
            if (f.window.stepText == "Sauvegarde des fichiers...")
                for (const DataSource* d : {&f.data.Data1, &f.data.Data2, &f.data.Data3, &f.data.Data4, &f.data.Data7})
                    openAtBackup.append(d->isOpen());
        });
    }

    void useWeb(quint16 port)
    {
        TransferSettings transfer;
        transfer.webBaseUrl = QStringLiteral("http://127.0.0.1:%1/").arg(port);
        transfer.ftpHost = QStringLiteral("127.0.0.1:%1").arg(closedPort());
        transfer.userName = "norvix";
        transfer.password = "abcd1234";
        transfer.requestTimeout = 10;
        f.Inet1 = std::make_unique<CurlTransfer>(transfer);
    }

    void click(void (*handler)(Form1Core&))
    {
        runHandler(ui, [&] { handler(f); });
    }

    QString host(const QString& relative) const { return drive.host(relative); }

    void expectBackup()
    {
        EXPECT_EQ(f.settings.BackupFolder, "c:\\MAJ20265122037");
        EXPECT_EQ(drive.read("MAJ20265122037/praxidome.exe"), "MZ installed");
        EXPECT_EQ(drive.read("MAJ20265122037/aide.htm"), "<html>aide</html>");
        EXPECT_EQ(drive.read("MAJ20265122037/pat.mdb"), patBeforeRun);
        EXPECT_EQ(scalar(host("MAJ20265122037/parametres.mdb"), "SELECT NUMERO_MAJ FROM parapat").toString(), "37");
        EXPECT_EQ(openAtBackup, (QList<bool>{false, false, false, false, true}));
    }

    void expectRegistered()
    {
        EXPECT_EQ(scalar(host("praxidome/parametres.mdb"), "SELECT NUMERO_MAJ FROM parapat").toString(), "38");
        EXPECT_EQ(scalar(host("praxidome/pannexe.mdb"), "SELECT DATEDEBUT || '|' || DATEDERNIEREMAJ || '|' || "
                                                        "NUMEROMAJ FROM ortho WHERE numpat = 'Insta'")
                      .toString(),
                  "2015-09-14 00:00:00|2026-12-05 00:00:00|38");
    }
};

struct SequenceTest : ::testing::Test, Installed
{
};

TEST_F(SequenceTest, ServerRun)
{
    install(false);
    CurrentFolder medium(host("CD"));
    click(Command1_Click);

    EXPECT_EQ(steps, kServerSteps);
    EXPECT_EQ(ui.messages, (QStringList{kDone, kChecking, kChecked}));
    EXPECT_TRUE(ui.ended);
    EXPECT_EQ(ui.cursors, (QList<bool>{true, false}));
    for (const QString& title : ui.titles)
        EXPECT_EQ(title, "Mise à jour");
    EXPECT_FALSE(f.window.txtconventionVisible);

    const QStringList requests = web.logLines();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_TRUE(requests[0].startsWith("GET /maj.php?Login=CABINET_POSTE_5122026&Maj=")) << requests[0].toStdString();

    expectBackup();
    EXPECT_EQ(f.settings.PayloadFolder, "c:\\CD\\");
    EXPECT_EQ(drive.read("praxidome/eattest.mdb"), drive.read("CD/eattest.mdb"));
    // The release's new code added, the existing one refreshed.
    EXPECT_EQ(
        scalar(host("praxidome/pat.mdb"), "SELECT group_concat(ABREVIATION || ':' || HONORAIRE, ' ') FROM nomenclature")
            .toString(),
        "CONS:22.0 DETA:30.0 EXTR:45.0");
    expectRegistered();
}

TEST_F(SequenceTest, ServerRunWithDuplicatesLeavesTheListOnScreen)
{
    install(false, "UPDATE nomenclature SET ABREVIATION = 'CONS'");
    CurrentFolder medium(host("CD"));
    click(Command1_Click);
    EXPECT_EQ(ui.messages, (QStringList{kDone, kChecking}));
    EXPECT_FALSE(ui.ended);
    EXPECT_TRUE(f.window.lVisible);
    EXPECT_TRUE(f.window.btnquitterVisible);
    EXPECT_FALSE(f.window.running);
    click(btnquitter_Click);
    EXPECT_TRUE(ui.ended);
    EXPECT_EQ(ui.messages.size(), 2);
}

// A client workstation runs no database step; without the transfer control nothing is sent, and
// the census's data sources are released all the same.
TEST(Sequence, ClientRunWithAndWithoutTheTransferControl)
{
    for (const bool missingControl : {false, true}) {
        SCOPED_TRACE(missingControl ? "without the transfer control" : "with it");
        Installed t;
        t.install(true);
        t.f.window.chkXP = missingControl;
        CurrentFolder medium(t.host("CD"));
        t.click(Command1_Click);

        QStringList expected = kClientSteps;
        if (missingControl)
            expected[0] = "Libération des bases de données...";
        EXPECT_EQ(t.steps, expected);
        EXPECT_EQ(t.ui.messages, QStringList{kDone});
        EXPECT_TRUE(t.ui.ended);
        EXPECT_EQ(t.ui.cursors, (QList<bool>{true, false}));
        EXPECT_EQ(t.web.logLines().size(), missingControl ? 0 : 1);
        t.expectBackup();
        EXPECT_EQ(t.drive.read("praxidome/pat.mdb"), t.patBeforeRun);
        EXPECT_NE(t.drive.read("praxidome/eattest.mdb"), t.drive.read("CD/eattest.mdb"));
        t.expectRegistered();
    }
}

TEST_F(SequenceTest, NoSecondRunInsideTheFirstAndQuitterStillEnds)
{
    install(false);
    SilentServer silent; // the notification waits for an answer
    useWeb(silent.port);
    CurrentFolder medium(host("CD"));
    bool acted = false;
    ui.onEvents = [&] {
        if (acted)
            return;
        acted = true;
        // The user presses the visible buttons while the report goes out.
        EXPECT_TRUE(f.window.running);
        Command1_Click(f);
        Command2_Click(f);
        EXPECT_TRUE(ui.messages.isEmpty());
        btnquit_Click(f);
    };
    click(Command1_Click);
    EXPECT_TRUE(acted);
    EXPECT_TRUE(ui.ended);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(steps, QStringList{"Envoi du rapport d'activité..."});
    EXPECT_FALSE(QFileInfo::exists(host("MAJ20265122037")));
}

TEST_F(SequenceTest, BackupFolderCollisionEndsTheRun)
{
    install(false);
    QDir().mkpath(host("MAJ20265122037"));
    CurrentFolder medium(host("CD"));
    click(Command1_Click);
    EXPECT_EQ(steps, kServerSteps.mid(0, 3));
    EXPECT_EQ(ui.messages, QStringList{"Le nouveau directory ne peut être créé ! Mise à jour impossible !"});
    EXPECT_TRUE(ui.ended);
    EXPECT_TRUE(QDir(host("MAJ20265122037")).isEmpty());
    EXPECT_EQ(drive.read("praxidome/pat.mdb"), patBeforeRun);
}

TEST_F(SequenceTest, ItemNotFoundResumesAfterTheFailingStep)
{
    // A code table that lacks the columns the steps address by position, with a shared abbreviation:
    // the duplicate check fails with 3265 while writing its report line.
    install(false, QStringLiteral("DROP TABLE nomenclature;"
                                  "CREATE TABLE nomenclature (ABREVIATION TEXT(20), \"code inami\" TEXT(15));"
                                  "INSERT INTO nomenclature VALUES ('X', '1'), ('X', '2');"));
    CurrentFolder medium(host("CD"));
    click(Command1_Click);
    EXPECT_FALSE(ui.ended);
    EXPECT_FALSE(ui.messages.contains(kIncomplete));
    EXPECT_EQ(ui.messages.mid(ui.messages.indexOf(kDone)), (QStringList{kDone, kChecking}));
    EXPECT_EQ(steps.last(), "Vérification de la nomenclature...");
    // Back in the waiting window, with the sequence finished.
    EXPECT_FALSE(f.window.running);
    EXPECT_EQ(ui.cursors, (QList<bool>{true, false}));
}

TEST_F(SequenceTest, AnyOtherFailureEndsTheRunWithThePointerLeftBusy)
{
    install(false);
    // An empty release table: the new codes step cannot even name the row that failed.
    exec(host("CD/eattest.mdb"), "DELETE FROM nomen");
    CurrentFolder medium(host("CD"));
    click(Command1_Click);
    EXPECT_EQ(ui.messages, (QStringList{QStringLiteral("3021: ") + standardDescription(err::NoCurrentRecord) +
                                            " pendant  source:  cible: ",
                                        kIncomplete}));
    EXPECT_TRUE(ui.ended);
    EXPECT_EQ(ui.cursors, QList<bool>{true});
    EXPECT_EQ(steps.last(), "Ajout des nouveaux codes de nomenclature...");
    // inscritdate never ran.
    EXPECT_EQ(scalar(host("praxidome/parametres.mdb"), "SELECT NUMERO_MAJ FROM parapat").toString(), "37");
}

// The saved executable comes back writable; an executable in use (read-only here) stays, silently.
TEST(Sequence, Restore)
{
    for (const bool inUse : {false, true}) {
        Installed t;
        t.install(false);
        t.drive.write("MAJJAN2021/praxidome.exe", "MZ before the release");
        fs::setAttributes(inUse ? "c:\\praxidome\\praxidome.exe" : "c:\\MAJJAN2021\\praxidome.exe", fs::ReadOnly);
        t.click(Btnancienexe_Click);
        EXPECT_EQ(t.ui.messages, inUse ? QStringList() : QStringList{"L'ancien exécutable a été restauré !"});
        EXPECT_EQ(t.ui.ended, !inUse);
        EXPECT_EQ(t.drive.read("praxidome/praxidome.exe"), inUse ? "MZ installed" : "MZ before the release");
        if (!inUse) {
            EXPECT_EQ(fs::attributes("c:\\praxidome\\praxidome.exe"), unsigned(fs::Archive));
        }
    }
}

} // namespace
