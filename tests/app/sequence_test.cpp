#include "TestSupport.h"
#include "app/Sequence.h"
#include "db/DbSteps.h"
#include "deploy/Deploy.h"
#include "platform/CurlTransfer.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "platform/jet/Sqlite.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace maj;
using namespace maj::test;

namespace {

const QString kDone = QStringLiteral("Mise à jour effectuée!");
const QString kChecking = QStringLiteral("Vérification de la validité de votre base de données de nomenclature !");
const QString kChecked = QStringLiteral("Vérification terminée !");
const QString kIncomplete = QStringLiteral("La mise à jour n'a pas été réalisée jusqu'au bout!");

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

// The maker's web server on loopback: records each request line, answers after a delay so that
// the upload step has to wait.
class HttpRecorder
{
public:
    explicit HttpRecorder(int delayMs) : m_delayMs(delayMs)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(m_fd, 8) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            ADD_FAILURE() << "no loopback socket";
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~HttpRecorder()
    {
        ::shutdown(m_fd, SHUT_RDWR);
        m_thread.join();
        ::close(m_fd);
    }
    HttpRecorder(const HttpRecorder&) = delete;
    HttpRecorder& operator=(const HttpRecorder&) = delete;

    void setDelay(int ms) { m_delayMs = ms; }
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_port); }
    QStringList requests() const
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    void serve()
    {
        for (;;) {
            const int client = ::accept(m_fd, nullptr, nullptr);
            if (client < 0)
                return;
            QByteArray request;
            char buffer[4096];
            while (!request.contains("\r\n\r\n")) {
                const ssize_t got = ::read(client, buffer, sizeof buffer);
                if (got <= 0)
                    break;
                request.append(buffer, got);
            }
            {
                std::lock_guard lock(m_mutex);
                m_requests.append(QString::fromLatin1(request.left(request.indexOf("\r\n"))));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(m_delayMs.load()));
            const char answer[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nOK";
            (void)!::write(client, answer, sizeof answer - 1);
            ::close(client);
        }
    }

    std::atomic<int> m_delayMs;
    int m_fd = -1;
    int m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    QStringList m_requests;
};

// A whole installation on its own drive c:, the release medium in c:\CD, and the main window as
// the opening work leaves it.
struct SequenceTest : ::testing::Test, StepFixture
{
    HttpRecorder web{200};
    QStringList steps;        // what the window showed, in order
    QList<bool> openAtBackup; // Data1 to Data4 and Data7 when the backup starts
    QByteArray patBeforeRun;

    // `patChanges` alters the patient database before the opening work binds anything to it.
    void install(bool client, const QString& medium = QStringLiteral("CD"), const QString& patChanges = {})
    {
        drive.write("praxidome/praxidome.exe", "MZ installed");
        drive.write("praxidome/aide/aide.htm", "<html>aide</html>");
        drive.write("praxidome/st6unst.log", "log");
        QFile log(drive.host("praxidome/st6unst.log"));
        log.open(QIODevice::ReadWrite);
        log.setFileTime(QDateTime(QDate(2015, 9, 14), QTime(23, 59)), QFileDevice::FileModificationTime);
        log.close();

        const QString pat = drive.host("praxidome/pat.mdb");
        createDatabase(pat, "pat");
        exec(pat, "INSERT INTO nomenclature (ABREVIATION, \"code inami\", LIBELLE, HONORAIRE) VALUES "
                  "('CONS', '301011', 'Consultation', 20.5), ('DETA', '302012', 'Détartrage', 30)");
        exec(pat, "INSERT INTO patients (NUMPAT, NOM, CLESIS) VALUES (1, 'Dupont', 'k1'), (2, 'Martin', 'k2')");
        exec(pat, "INSERT INTO parapat (ID, VERSION_BASE) VALUES (1, '8.6')");
        if (!patChanges.isEmpty())
            exec(pat, patChanges);
        const QString parametres = drive.host("praxidome/parametres.mdb");
        createDatabase(parametres, "parametres");
        exec(parametres, QStringLiteral("INSERT INTO parapat (ID, STATION, NUMERO_MAJ) VALUES (1, %1, '37')")
                             .arg(client ? "'CLIENT'" : "NULL"));
        createDatabase(drive.host("praxidome/pannexe.mdb"), "pannexe");
        createDatabase(drive.host("praxidome/eattest.mdb"), "eattest");
        exec(drive.host("praxidome/eattest.mdb"),
             "INSERT INTO nomen (ABREVIATION, \"code inami\") VALUES ('OLD', '399999')");
        drive.write("praxidome/MAJ/CABINET_POSTE_5122026.pxd", "report");
        QDir().mkpath(drive.host("MAJJAN2021"));

        const QString prefix = medium.isEmpty() ? QString() : medium + '/';
        const QString release = drive.host(prefix + "eattest.mdb");
        createDatabase(release, "eattest");
        exec(release, "INSERT INTO nomen (ABREVIATION, \"code inami\", LIBELLE, HONORAIRE) VALUES "
                      "('CONS', '301011', 'Consultation', 22), ('EXTR', '303013', 'Extraction', 45)");
        drive.write(prefix + "praxidome.exe", "MZ release");

        // The opening work: run settings, labels, Data7 from the window's load, and the census's
        // four data sources on the patient database.
        f.settings.StationRole = client;
        f.settings.LanguageCode = QStringLiteral("NL");
        f.settings.MediaKind = QStringLiteral("CD");
        f.settings.ReleaseDate = QStringLiteral("01/01/2021");
        f.settings.ReleaseNumber = QStringLiteral("8.6.8");
        f.settings.SafetyFolder = QStringLiteral("c:\\MAJJAN2021\\");
        f.settings.ReportName = QStringLiteral("CABINET_POSTE_5122026");
        f.window.caption = QStringLiteral("Mise à jour 12/2026 : version 8.6.8");
        f.window.lbldate = f.settings.ReleaseDate;
        f.window.lblnumerodemaj = QStringLiteral("38");
        f.window.LBLSERVEURCLIENT = client ? QStringLiteral("POSTE CLIENT") : QStringLiteral("SERVEUR");
        bindAtLoad(f);
        f.data.Data1.bind("c:\\praxidome\\pat.mdb", "nomenclature");
        f.data.Data2.bind("c:\\praxidome\\pat.mdb", "select * from dentiste");
        f.data.Data3.bind("c:\\praxidome\\pat.mdb", "patients");
        f.data.Data4.bind("c:\\praxidome\\pat.mdb", "select * from parapat");
        patBeforeRun = drive.read("praxidome/pat.mdb");

        TransferSettings transfer;
        transfer.webBaseUrl = web.baseUrl();
        transfer.ftpHost = QStringLiteral("127.0.0.1:%1").arg(closedPort());
        transfer.userName = QStringLiteral("norvix");
        transfer.password = QStringLiteral("abcd1234");
        transfer.requestTimeout = 10;
        f.Inet1 = std::make_unique<CurlTransfer>(transfer);

        QObject::connect(&f.window, &WindowModel::progressChanged, [this] {
            if (!steps.isEmpty() && steps.last() == f.window.stepText)
                return;
            steps.append(f.window.stepText);
            if (f.window.stepText == "Sauvegarde des fichiers...")
                for (const DataSource* d : {&f.data.Data1, &f.data.Data2, &f.data.Data3, &f.data.Data4, &f.data.Data7})
                    openAtBackup.append(d->isOpen());
        });
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
        DataSource ortho(QStringLiteral("check"));
        ortho.bind("c:\\praxidome\\pannexe.mdb", "ortho");
        ortho.recordset().findFirst("numpat = 'Insta'");
        ASSERT_FALSE(ortho.recordset().noMatch());
        EXPECT_EQ(ortho.recordset().field(1).toDateTime().date(), QDate(2015, 9, 14));
        EXPECT_EQ(ortho.recordset().field(2).toDateTime().date(), QDate(2026, 12, 5));
        EXPECT_EQ(ortho.recordset().field(79).toString(), "38");
        ortho.release();
    }

    int nomenclatureRows() { return scalar(host("praxidome/pat.mdb"), "SELECT count(*) FROM nomenclature").toInt(); }
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

    const QStringList requests = web.requests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_TRUE(requests[0].startsWith("GET /maj.php?Login=CABINET_POSTE_5122026&Maj=")) << requests[0].toStdString();

    expectBackup();
    EXPECT_EQ(f.settings.PayloadFolder, "c:\\CD\\");
    EXPECT_EQ(drive.read("praxidome/eattest.mdb"), drive.read("CD/eattest.mdb"));
    // The release's new code added, the existing one refreshed.
    EXPECT_EQ(nomenclatureRows(), 3);
    EXPECT_EQ(scalar(host("praxidome/pat.mdb"), "SELECT ABREVIATION FROM nomenclature WHERE \"code inami\" = '303013'")
                  .toString(),
              "EXTR");
    EXPECT_EQ(scalar(host("praxidome/pat.mdb"), "SELECT HONORAIRE FROM nomenclature WHERE \"code inami\" = '301011'")
                  .toDouble(),
              22);
    expectRegistered();
}

TEST_F(SequenceTest, ServerRunFromTheRootOfTheMedium)
{
    install(false, QString());
    CurrentFolder medium(host(""));
    click(Command1_Click);
    EXPECT_EQ(f.settings.PayloadFolder, "c:\\");
    EXPECT_EQ(drive.read("praxidome/eattest.mdb"), drive.read("eattest.mdb"));
    EXPECT_EQ(nomenclatureRows(), 3);
    EXPECT_TRUE(ui.ended);
}

TEST_F(SequenceTest, ServerRunWithDuplicatesLeavesTheListOnScreen)
{
    install(false, QStringLiteral("CD"), QStringLiteral("UPDATE nomenclature SET ABREVIATION = 'CONS'"));
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

TEST_F(SequenceTest, ClientRun)
{
    install(true);
    CurrentFolder medium(host("CD"));
    click(Command1_Click);

    EXPECT_EQ(steps, kClientSteps);
    EXPECT_EQ(ui.messages, QStringList{kDone});
    EXPECT_TRUE(ui.ended);
    EXPECT_EQ(ui.cursors, (QList<bool>{true, false}));
    EXPECT_EQ(web.requests().size(), 1);
    expectBackup();
    // No database step on a client workstation.
    EXPECT_EQ(drive.read("praxidome/pat.mdb"), patBeforeRun);
    EXPECT_NE(drive.read("praxidome/eattest.mdb"), drive.read("CD/eattest.mdb"));
    expectRegistered();
}

TEST_F(SequenceTest, MissingTransferControlReleasesTheSourcesAndSendsNothing)
{
    install(true);
    f.window.chkXP = true;
    CurrentFolder medium(host("CD"));
    click(Command1_Click);

    QStringList expected = kClientSteps;
    expected[0] = "Libération des bases de données...";
    EXPECT_EQ(steps, expected);
    EXPECT_TRUE(web.requests().isEmpty());
    EXPECT_EQ(ui.messages, QStringList{kDone});
    EXPECT_TRUE(ui.ended);
    expectBackup();
}

TEST_F(SequenceTest, Refusal)
{
    install(false);
    click(Command2_Click);
    EXPECT_EQ(ui.messages,
              QStringList{"Merci d'avertir Norvix que vous souhaitez résilier la convention de mise à jour"});
    EXPECT_TRUE(ui.ended);
    EXPECT_TRUE(steps.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(host("MAJ20265122037")));
    EXPECT_EQ(drive.read("praxidome/pat.mdb"), patBeforeRun);
    EXPECT_TRUE(web.requests().isEmpty());
}

TEST_F(SequenceTest, QuittingEndsAtOnce)
{
    install(false);
    click(btnquit_Click);
    EXPECT_TRUE(ui.ended);
    EXPECT_TRUE(ui.messages.isEmpty());
    RecordingUi other;
    Form1Core g(other, clock);
    runHandler(other, [&] { btnquitter_Click(g); });
    EXPECT_TRUE(other.ended);
}

TEST_F(SequenceTest, NoSecondRunInsideTheFirstAndQuitterStillEnds)
{
    install(false);
    CurrentFolder medium(host("CD"));
    web.setDelay(1000);
    bool acted = false;
    ui.onEvents = [&] {
        // Once the notification reached the server, while the step still waits for its answer.
        if (acted || web.requests().isEmpty())
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
    EXPECT_EQ(web.requests().size(), 1);
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

TEST_F(SequenceTest, MissingHelpPageStillSavesBothDatabases)
{
    install(false);
    QFile::remove(host("praxidome/aide/aide.htm"));
    CurrentFolder medium(host("CD"));
    click(Command1_Click);
    EXPECT_EQ(ui.messages, (QStringList{"c:\\praxidome\\aide\\aide.htm était manquant",
                                        "c:\\praxidome\\aide\\aide.htm n'a pas été trouvé ou n'a pu être sauvegardé",
                                        kDone, kChecking, kChecked}));
    EXPECT_EQ(drive.read("MAJ20265122037/pat.mdb"), patBeforeRun);
    EXPECT_TRUE(QFile::exists(host("MAJ20265122037/parametres.mdb")));
    EXPECT_EQ(nomenclatureRows(), 3);
}

TEST_F(SequenceTest, ItemNotFoundResumesAfterTheFailingStep)
{
    // A code table that lacks the columns the steps address by position, with a shared abbreviation:
    // the duplicate check fails with 3265 while writing its report line.
    install(false, QStringLiteral("CD"),
            QStringLiteral("DROP TABLE nomenclature;"
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

TEST_F(SequenceTest, RestoreThatWorks)
{
    install(false);
    drive.write("MAJJAN2021/praxidome.exe", "MZ before the release");
    fs::setAttributes("c:\\MAJJAN2021\\praxidome.exe", fs::ReadOnly);
    click(Btnancienexe_Click);
    EXPECT_EQ(ui.messages, QStringList{"L'ancien exécutable a été restauré !"});
    EXPECT_TRUE(ui.ended);
    EXPECT_EQ(drive.read("praxidome/praxidome.exe"), "MZ before the release");
    EXPECT_EQ(fs::attributes("c:\\praxidome\\praxidome.exe"), unsigned(fs::Archive));
}

TEST_F(SequenceTest, RestoreWithTheExecutableInUseShowsNothing)
{
    install(false);
    drive.write("MAJJAN2021/praxidome.exe", "MZ before the release");
    fs::setAttributes("c:\\praxidome\\praxidome.exe", fs::ReadOnly);
    click(Btnancienexe_Click);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_FALSE(ui.ended);
    EXPECT_EQ(drive.read("praxidome/praxidome.exe"), "MZ installed");
}

} // namespace
