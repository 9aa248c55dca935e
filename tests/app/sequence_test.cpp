#include "AppTestSupport.h"
#include "deploy/BackupSet.h"
#include "platform/CurlTransfer.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

using namespace maj;
using namespace maj::test;

namespace {

const QString kDone = "Mise à jour effectuée!";

const QStringList kClientSteps{"Envoi du rapport d'activité...",       "Préparation des fichiers...",
                               "Création du dossier de sauvegarde...", "Sauvegarde des fichiers...",
                               "Inscription de la mise à jour...",     kDone};
const QStringList kServerSteps =
    kClientSteps.mid(0, 4) +
    QStringList{"Copie des nouveaux codes de nomenclature...", "Ouverture des bases de données...",
                "Ajout des nouveaux codes de nomenclature...", "Mise à jour de la nomenclature..."} +
    kClientSteps.mid(4) + QStringList{"Vérification de la nomenclature..."};

// A whole installation on its own drive c:, the release medium in c:\CD, and the main window's core
// as the opening work leaves it.
struct Installed : StepFixture
{
    TestCertificate certificate;
    FixtureServer web{"httpserver.py", {"--tls", certificate.pem}};
    QStringList steps;        // what the window showed, in order
    QList<bool> openAtBackup; // Data1 to Data4 and Data7 when the backup starts
    QByteArray patBeforeRun;

    void install(bool client)
    {
        installPractice(drive, client);
        QDir().mkpath(drive.host("praxidome/MAJ")); // as a practice has it after its first update
        createDatabase(drive.host("CD/eattest.mdb"), "eattest");
        exec(drive.host("CD/eattest.mdb"),
             "INSERT INTO nomen (ABREVIATION, \"code inami\", LIBELLE, HONORAIRE) VALUES "
             "('CONS', '301011', 'Consultation', 22), ('EXTR', '303013', 'Extraction', 45)");
        drive.write("CD/praxidome.exe", "MZ release");
        ASSERT_TRUE(activate(*this)) << ui.messages.join('|').toStdString();
        patBeforeRun = drive.read("praxidome/pat.mdb");
        f.Inet1 =
            std::make_unique<CurlTransfer>(loopbackSettings(web.port, closedPort(), "abcd1234", 10, &certificate));
        QObject::connect(&f.window, &WindowModel::progressChanged, [this] {
            if (!steps.isEmpty() && steps.last() == f.window.stepText)
                return;
            steps.append(f.window.stepText);
            if (f.window.stepText == "Sauvegarde des fichiers...")
                for (const DataSource* d : {&f.data.Data1, &f.data.Data2, &f.data.Data3, &f.data.Data4, &f.data.Data7})
                    openAtBackup.append(d->isOpen());
        });
    }
};

// A server run adds the release's new codes and refreshes the existing ones; a client workstation
// runs no database step; without the transfer control nothing is sent, and the census's data
// sources are released all the same. Either way the files are saved and the update registered.
// A failure no step handles ends the run at once, the pointer left busy, the update not registered;
// a file that could not be saved stops the run before the first step that would change it. When the
// run changed a file of its set, the user is asked whether to put it back.
TEST(Sequence, RunsCompleteOrEndAtAFailureAndCanBeUndone)
{
    const QStringList checked{kDone, "Vérification de la validité de votre base de données de nomenclature !",
                              "Vérification terminée !"};
    QStringList withoutControl = kClientSteps;
    withoutControl[0] = "Libération des bases de données...";
    const QString incomplete = "La mise à jour n'a pas été réalisée jusqu'au bout!";
    const QString question = "? Voulez-vous remettre praxidome dans l'état où il était avant cette mise à jour ?";
    const QString restored = "praxidome a été remis dans l'état où il était avant la mise à jour.";
    const QString noRows = "3021: " + standardDescription(err::NoCurrentRecord) + " pendant  source:  cible: ";
    const auto emptyRelease = [](Installed& t) { exec(t.drive.host("CD/eattest.mdb"), "DELETE FROM nomen"); };
    const auto backupExists = [](Installed& t) { QDir().mkpath(t.drive.host("MAJ20265122037")); };
    const auto none = [](Installed&) {};
    // While the question is open, the run's manifest can no longer be written, nor eattest.mdb put back.
    static const auto hinder = [](Installed& t, bool eattest) {
        exec(t.drive.host("CD/eattest.mdb"), "DELETE FROM nomen");
        t.ui.onMessage = [&t, eattest](const QString& text) {
            for (const char* file : {"MAJ20265122037/manifeste.ini", eattest ? "praxidome/eattest.mdb" : ""})
                if (text.startsWith("? ") && *file && QFile::remove(t.drive.host(file)))
                    QDir().mkpath(t.drive.host(file) + "/x");
        };
    };
    const auto unrecordable = [](Installed& t) { hinder(t, false); };
    const auto notPutBack = [](Installed& t) { hinder(t, true); };
    const QString noFolder = "Le nouveau directory ne peut être créé ! Mise à jour impossible !";
    const QString unwritable = "Le manifeste c:\\MAJ20265122037\\manifeste.ini n'a pu être écrit.";
    const auto unsaved = [](QStringList names) {
        return names.replaceInStrings(QRegularExpression("^(.*)$"),
                                      "c:\\praxidome\\\\1 n'a pas été trouvé ou n'a pu être sauvegardé");
    };
    const QString notWritten = "c:\\praxidome\\eattest.mdb n'a pu être écrit à partir de la copie "
                               "c:\\MAJ20265122037\\eattest.mdb (Erreur d'accès au chemin ou au fichier)";
    const QString kept = "La remise en place s'est arrêtée : " + notWritten +
                         ". Remis en place : aucun. Pas remis en place : c:\\praxidome\\eattest.mdb. Les copies "
                         "sont dans c:\\MAJ20265122037.";
    const auto upTo = [](int last) { return kServerSteps.mid(0, last + 1); };
    using S = ExitStatus;
    const struct
    {
        bool client;
        void (*prepare)(Installed&);
        const char* unsavable; // a folder stands where the copy of this file should go
        bool answer;
        QStringList steps;
        QStringList messages;
        ExitStatus status;
        const char* outcome;    // in the manifest
        const char* codes = ""; // the practice's codes after a completed run
        bool missingControl = false;
    } cases[] = {
        {0, none, "", 1, kServerSteps, checked, S::Completed, "completed", "CONS:22.0 DETA:30.0 EXTR:45.0"},
        {1, none, "", 1, kClientSteps, {kDone}, S::Completed, "completed", "CONS:20.5 DETA:30.0"},
        {1, none, "", 1, withoutControl, {kDone}, S::Completed, "completed", "CONS:20.5 DETA:30.0", true},
        {0, backupExists, "", 1, upTo(2), {noFolder}, S::BackupFolder, ""},
        // An empty release table: the new codes step cannot even name the row that failed.
        {0, emptyRelease, "", 1, upTo(6), {noRows, incomplete, question, restored}, S::Restored, "restored"},
        {0, unrecordable, "", 1, upTo(6), {noRows, incomplete, question, unwritable, restored}, S::Restored, ""},
        {0, notPutBack, "", 1, upTo(6), {noRows, incomplete, question, unwritable, kept}, S::UpdateIncomplete, ""},
        {0, emptyRelease, "", 0, upTo(6), {noRows, incomplete, question}, S::UpdateIncomplete, "failed"},
        {0, none, "pat.mdb", 1, upTo(5), unsaved({"pat.mdb"}) << incomplete << question << restored, S::Restored,
         "restored"},
        {0, none, "parametres.mdb", 1, upTo(7), unsaved({"parametres.mdb"}) << incomplete << question << restored,
         S::Restored, "restored"},
        {1, none, "manifeste.ini", 1, upTo(3),
         unsaved({"praxidome.exe", "aide\\aide.htm", "parametres.mdb", "pat.mdb", "pannexe.mdb", "eattest.mdb"})
             << incomplete << unwritable,
         S::UpdateIncomplete, ""},
        {1, none, "pannexe.mdb", 1, upTo(3), unsaved({"pannexe.mdb"}) << incomplete, S::UpdateIncomplete, "failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        Installed t;
        t.install(c.client);
        c.prepare(t);
        const QByteArray eattestBefore = t.drive.read("praxidome/eattest.mdb");
        QObject::connect(&t.f.window, &WindowModel::progressChanged, [&] {
            if (t.f.window.stepText == "Sauvegarde des fichiers..." && *c.unsavable)
                QDir().mkpath(t.drive.host(QString("MAJ20265122037/") + c.unsavable + "/x"));
        });
        t.ui.answer = c.answer;
        t.f.window.chkXP = c.missingControl;
        CurrentFolder medium(t.drive.host("CD"));
        t.runStep(Command1_Click);

        const bool completed = c.status == S::Completed;
        EXPECT_EQ(t.steps, c.steps);
        EXPECT_EQ(t.ui.messages, c.messages);
        EXPECT_TRUE(t.ui.ended);
        EXPECT_EQ(t.ui.exitStatus(), c.status);
        EXPECT_EQ(t.ui.cursors, (completed ? QList<bool>{true, false} : QList<bool>{true}));
        EXPECT_EQ(scalar(t.drive.host("praxidome/parametres.mdb"), "SELECT NUMERO_MAJ FROM parapat"),
                  completed ? "38" : "37");
        EXPECT_FALSE(QFile::exists(t.drive.host("praxidome/pat.mdb-journal")));
        if (*c.outcome) {
            const deploy::Manifest m = deploy::readManifest("c:\\MAJ20265122037");
            EXPECT_EQ(m.outcome, c.outcome);
            EXPECT_EQ(deploy::manifestFault(m, true), ""); // a restore would act on it
            EXPECT_EQ(m.files.size(), 6u - (*c.unsavable != 0));
            EXPECT_EQ(m.errorNumber, c.messages[0] == noRows ? err::NoCurrentRecord : 0);
            EXPECT_EQ(m.errorText, m.errorNumber ? standardDescription(err::NoCurrentRecord) : "");
        }
        // The log tells each failure with its number and file, what was put back, and the end.
        const QString log = QString::fromUtf8(t.drive.read("praxidome/maj.log"));
        EXPECT_TRUE(log.endsWith(QString("fin du programme, statut %1\n").arg(int(c.status))));
        QStringList told;
        if (c.messages[0] == noRows)
            told << "échec : ajout des nouveaux codes dans c:\\praxidome\\pat.mdb (nouv, "
                 << " ms) : erreur 3021, " + standardDescription(err::NoCurrentRecord) + "\n"
                 << "fin de la mise à jour : arrêtée par l'erreur 3021, ";
        if (*c.unsavable)
            told << QString("échec : sauvegarde de c:\\praxidome\\%1 (verstempo, ")
                        .arg(c.unsavable == QString("manifeste.ini") ? "praxidome.exe" : c.unsavable);
        if (c.status == S::Restored)
            told << "remis en place : c:\\praxidome\\eattest.mdb\n"
                 << "fin de la remise en place : terminée\n";
        for (const QString& line : told)
            EXPECT_TRUE(log.contains(line)) << line.toStdString();
        if (!completed) {
            // Put back, or left as the run left it.
            const bool unchanged = c.status != S::UpdateIncomplete || c.client;
            EXPECT_EQ(t.drive.read("praxidome/eattest.mdb") == eattestBefore, unchanged);
            EXPECT_TRUE(!unchanged || t.drive.read("praxidome/pat.mdb") == t.patBeforeRun);
            continue;
        }
        const QStringList requests = t.web.logLines();
        EXPECT_EQ(requests.size(), c.missingControl ? 0 : 1);
        EXPECT_TRUE(requests.isEmpty() || requests[0].startsWith("GET /maj.php?Login=Cabinet"))
            << requests.join('|').toStdString();
        EXPECT_EQ(t.drive.read("praxidome/eattest.mdb") == t.drive.read("CD/eattest.mdb"), !c.client);
        EXPECT_EQ(t.drive.read("praxidome/pat.mdb") == t.patBeforeRun, c.client);
        EXPECT_EQ(scalar(t.drive.host("praxidome/pat.mdb"),
                         "SELECT group_concat(ABREVIATION || ':' || HONORAIRE, ' ') FROM nomenclature"),
                  c.codes);
        // The backup holds the files as they were before the run (each file's copy: the folder tests).
        EXPECT_EQ(t.drive.read("MAJ20265122037/pat.mdb"), t.patBeforeRun);
        EXPECT_EQ(scalar(t.drive.host("MAJ20265122037/parametres.mdb"), "SELECT NUMERO_MAJ FROM parapat"), "37");
        EXPECT_EQ(t.openAtBackup, (QList<bool>{false, false, false, false, true}));
        // The run's log, without the FTP account's password.
        EXPECT_TRUE(log.startsWith("==== ")) << log.left(200).toStdString();
        for (const QString line :
             {"début : sauvegarde de c:\\praxidome\\pat.mdb (verstempo)\n",
              "sauvegarde de c:\\praxidome\\pannexe.mdb dans c:\\MAJ20265122037 : 8\u202f192 octets, vérifiée\n",
              "message : Mise à jour effectuée!", "dossier de sauvegarde : c:\\MAJ20265122037\n",
              "fichiers de la mise à jour lus dans c:\\CD\\\n", "fin de la mise à jour : terminée\n",
              "dossier du support : z:\\", "mise à jour non authentifiée",
              c.missingControl ? "fin : attribut archive seul pour c:\\praxidome\\pat.mdb (passagearchive, "
                               : "connexion FTP : échec : la connexion au serveur a été refusée ou n'a pu se faire "
                                 "(libcurl 7)"})
            EXPECT_TRUE(log.contains(line)) << line.toStdString();
        // No failure where the run expects what it finds (the work folder already there).
        EXPECT_FALSE(log.contains(QRegularExpression("\\d échec : "))) << log.toStdString();
        EXPECT_FALSE(log.contains("abcd1234"));
    }
}

TEST(Sequence, NoSecondRunInsideTheFirstAndQuitterStillEnds)
{
    Installed t;
    t.install(false);
    SilentServer silent; // the notification waits for an answer
    t.f.Inet1 = std::make_unique<CurlTransfer>(loopbackSettings(silent.port, closedPort()));
    CurrentFolder medium(t.drive.host("CD"));
    bool acted = false;
    t.ui.onEvents = [&] {
        if (acted)
            return;
        acted = true;
        // The user presses the visible buttons while the report goes out.
        EXPECT_TRUE(t.f.window.running);
        Command1_Click(t.f);
        Command2_Click(t.f);
        btnquit_Click(t.f);
    };
    t.runStep(Command1_Click);
    EXPECT_TRUE(t.ui.ended);
    EXPECT_TRUE(t.ui.messages.isEmpty()) << "neither run nor refused, and no end of the update told";
    EXPECT_EQ(t.steps, QStringList{"Envoi du rapport d'activité..."});
    EXPECT_FALSE(QFileInfo::exists(t.drive.host("MAJ20265122037")));
}

// The saved executable comes back writable; an executable in use (read-only here) stays, silently.
TEST(Sequence, Restore)
{
    for (const bool inUse : {false, true}) {
        Installed t;
        t.install(false);
        t.drive.write("MAJJAN2021/praxidome.exe", "MZ before the release");
        fs::setAttributes(inUse ? "c:\\praxidome\\praxidome.exe" : "c:\\MAJJAN2021\\praxidome.exe", fs::ReadOnly);
        t.runStep(Btnancienexe_Click);
        EXPECT_EQ(t.ui.messages, inUse ? QStringList() : QStringList{"L'ancien exécutable a été restauré !"});
        EXPECT_EQ(t.ui.ended, !inUse);
        EXPECT_EQ(t.drive.read("praxidome/praxidome.exe"), inUse ? "MZ installed" : "MZ before the release");
        EXPECT_TRUE(inUse || fs::attributes("c:\\praxidome\\praxidome.exe") == fs::Archive);
    }
}

// With TLS required the report reaches SIGN and nothing of it, nor the password, crosses the wire;
// a server without TLS, an untrusted certificate or another key gets no login, and the run goes on
// with the reason in its log. Without TLS the capture sees everything: it does capture.
TEST(SequenceTransfers, NothingReadableCrossesTheWire)
{
    TestCertificate trusted, other;
    const QString refused = "connexion FTP : échec : %1, rien ne lui a été envoyé";
    const std::tuple<const char*, bool, bool, const TestCertificate*, QByteArray, QString> cases[] = {
        {"off", false, false, nullptr, {}, "transferts sans TLS (MAJ_UPLOAD_TLS=off)"},
        {"required", true, true, &trusted, {}, ".pxd : réussi"},
        {"plain FTP", true, false, &trusted, {}, refused.arg("le serveur ne propose pas de connexion chiffrée (TLS)")},
        {"untrusted", true, true, &other, {}, refused.arg("le certificat du serveur n'a pu être vérifié")},
        {"wrong pin", true, true, &trusted, other.pin,
         refused.arg("la clé publique du serveur n'est pas celle attendue")},
    };
    for (const auto& [what, tls, ftps, served, pin, logged] : cases) {
        SCOPED_TRACE(what);
        Installed t;
        t.install(false);
        const QString name = QDir(t.drive.host("praxidome/MAJ")).entryList({"*.pxd"}).value(0);
        const QByteArray report = t.drive.read("praxidome/MAJ/" + name);
        const QString dataPort = QString::number(closedPort());
        FixtureServer web("httpserver.py", tls ? QStringList{"--tls", served->pem} : QStringList{});
        const QStringList ftpArguments{"--password", "abcd1234", "--home", "%HOME%", "--passive-port", dataPort};
        FixtureServer ftp("ftpserver.py", ftps ? ftpArguments + QStringList{"--tls", served->pem} : ftpArguments);
        t.f.Inet1 = std::make_unique<CurlTransfer>(
            loopbackSettings(web.port, ftp.port, "abcd1234", 10, tls ? &trusted : nullptr, pin));
        // Every byte on the servers' ports, the FTP data connection's included (tcpdump: root only).
        QProcess tcpdump;
        tcpdump.setReadChannel(QProcess::StandardError);
        tcpdump.start("tcpdump",
                      {"-i", "lo", "--immediate-mode", "-U", "-Z", "root", "-w", t.drive.host("lo.pcap"),
                       QString("tcp port %1 or tcp port %2 or tcp port %3").arg(web.port).arg(ftp.port).arg(dataPort)});
        while (!tcpdump.canReadLine() && tcpdump.waitForReadyRead(10000)) {
        }
        if (const QByteArray said = tcpdump.readLine(); !said.contains("listening on"))
            GTEST_SKIP() << "tcpdump cannot capture on lo: " << said.data() << qPrintable(tcpdump.errorString());
        {
            CurrentFolder medium(t.drive.host("CD"));
            t.runStep(Command1_Click);
        }
        QThread::msleep(300); // the last packets' way through tcpdump
        tcpdump.terminate();
        tcpdump.waitForFinished(10000);
        const QByteArray wire = t.drive.read("lo.pcap");

        EXPECT_EQ(t.ui.messages.value(0), kDone);
        EXPECT_TRUE(QString::fromUtf8(t.drive.read("praxidome/maj.log")).contains(logged));
        const bool sent = !tls || logged.endsWith("réussi");
        QFile stored(ftp.home() + "/SIGN/" + name);
        EXPECT_EQ(stored.open(QIODevice::ReadOnly) && stored.readAll() == report && !name.isEmpty(), sent);
        EXPECT_EQ(wire.contains("AUTH TLS"), tls) << wire.size() << " bytes captured";
        for (const QByteArray& clear : report.trimmed().split('\n') + QList<QByteArray>{"PASS ", "abcd1234"})
            EXPECT_EQ(wire.contains(clear.trimmed()), !tls) << clear.toStdString();
    }
}

} // namespace
