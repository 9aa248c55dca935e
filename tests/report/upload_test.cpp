#include "TestSupport.h"
#include "platform/CurlTransfer.h"
#include "platform/MajError.h"
#include "report/Report.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

using namespace maj;

using namespace maj::test;

namespace {

const QString Password = "p@ss:w/rd"; // each of its signs percent-encoded in the address

// The upload step after the census: the four data sources bound, a report name and a caption.
struct Upload : StepFixture
{
    Upload()
    {
        test::createDatabase(drive.host("praxidome/pat.mdb"), "pat");
        f.settings.ReportName = "Cœur#1=2+3_&_Fils";
        f.window.caption = "Mise à jour 3/2026 : version 8.6.8";
        f.data.Data1.bind("c:\\praxidome\\pat.mdb", "select numdentiste from soins group by numdentiste");
        f.data.Data2.bind("c:\\praxidome\\pat.mdb", "select * from dentiste");
        f.data.Data3.bind("c:\\praxidome\\pat.mdb", "soins");
        f.data.Data4.bind("c:\\praxidome\\pat.mdb", "select * from parapat");
    }

    // The step ends silently, the data sources released, the transfer at rest.
    void expectQuietEnd()
    {
        for (const DataSource* source : {&f.data.Data1, &f.data.Data2, &f.data.Data3, &f.data.Data4})
            EXPECT_TRUE(!source->isOpen() && source->databaseName().isEmpty()) << qPrintable(source->name());
        EXPECT_TRUE(ui.messages.isEmpty());
        EXPECT_FALSE(f.Inet1->stillExecuting());
    }
};

// Loopback servers only: no proxy of the machine may step in.
const bool noProxy = [] {
    for (const char* name :
         {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "ftp_proxy", "FTP_PROXY", "all_proxy", "ALL_PROXY"})
        qunsetenv(name);
    return true;
}();

// The notification, then the first report of the work folder stored byte for byte in SIGN over
// FTPS, protected from before the login to the data, on one connection. Without a report the
// notification still goes; a refused "cd" changes nothing and "put" stores where the login is, as on
// an FTP session; a refused login stores nothing. Names keep their Windows-1252 bytes and their blanks.
TEST(ReportUpload, NotifiesThenStoresTheFirstReport)
{
    // Every byte value, line ends of both kinds included: a text-mode transfer would change it.
    QByteArray content;
    for (int b = 0; b < 256 * 40; ++b)
        content.append(char(b));
    content += "\r\n\n\r";
    // The server's further arguments, the files in c:\praxidome\MAJ, the STOR commands, the "CWD SIGN" commands.
    const std::tuple<const char*, QStringList, QStringList, QStringList, int> cases[] = {
        {"two reports", {}, {"D_&_F PC_1.pxd", "Zeta_PC_1.pxd"}, {"STOR D_&_F PC_1.pxd"}, 1},
        {"no report", {}, {"notes.txt"}, {}, 1},
        {"no SIGN folder", {"--no-sign"}, {"A_PC_1.pxd"}, {"STOR A_PC_1.pxd"}, 1},
        {"wrong password", {"--password", "another1"}, {"A_PC_1.pxd"}, {}, 0},
        {"Windows-1252", {}, {"Cœur_PC_1.pxd"}, {QString::fromLatin1("STOR C\x9Cur_PC_1.pxd")}, 1},
    };
    TestCertificate certificate;
    for (const auto& [what, arguments, files, stores, cwds] : cases) {
        SCOPED_TRACE(what);
        Upload u;
        FixtureServer web("httpserver.py", {"--tls", certificate.pem});
        FixtureServer ftp("ftpserver.py",
                          QStringList{"--password", Password, "--home", "%HOME%", "--tls", certificate.pem} +
                              arguments);
        u.f.Inet1 = std::make_unique<CurlTransfer>(loopbackSettings(web.port, ftp.port, Password, 10, &certificate));
        for (const QString& file : files)
            u.drive.write("praxidome/MAJ/" + file, content);
        envoyer(u.f);
        u.expectQuietEnd();
        // The Windows-1252 bytes of the caption.
        EXPECT_EQ(web.logLines(),
                  QStringList{"GET /maj.php?Login=C%9Cur%231%3D2%2B3_%26_Fils&Maj=Mise%20%E0%20jour%203%2F2026%20%3A%20"
                              "version%208.6.8 HTTP/1.1"});
        const QStringList commands = ftp.logLines();
        EXPECT_EQ(commands.filter("STOR"), stores);
        EXPECT_EQ(commands.count("CWD SIGN"), cwds);
        EXPECT_EQ(commands.mid(0, 3), (QStringList{"CONNECT", "AUTH TLS", "USER norvix"}));
        EXPECT_EQ(commands.count("CONNECT"), 1);
        EXPECT_EQ(commands.contains("PROT P") && !commands.contains("CCC"), cwds == 1)
            << qPrintable(commands.join('|'));
        QFile copy(ftp.home() + "/SIGN/" + files[0]);
        EXPECT_EQ(copy.open(QIODevice::ReadOnly) && copy.readAll() == content, what == QLatin1String("two reports"));
    }
}

// The end of an operation wakes a sleeping event loop; one operation at a time; commands without a
// connection, or unknown, are refused; unanswered, the upload ends silently.
TEST(ReportTransfer, WakesRunsOneOperationAtATimeOnlyKnownCommandsAndEndsSilentlyUnanswered)
{
    ASSERT_TRUE(noProxy);
    test::TempDrive drive;
    drive.write("praxidome/MAJ/a.pxd", "x");
    TransferSettings s;
    s.requestTimeout = 30;
    CurlTransfer inet(s);
    QElapsedTimer timer;
    timer.start();
    inet.execute(QString("https://127.0.0.1:%1/maj.php").arg(test::closedPort()));
    int waits = 0;
    while (inet.stillExecuting() && timer.elapsed() < 10000) {
        // Sleeps until an event comes, as the window's wait does; a guard timer bounds a test
        // that would otherwise never wake.
        QEventLoop loop;
        QTimer guard;
        guard.start(10000);
        loop.processEvents(QEventLoop::WaitForMoreEvents);
        ++waits;
    }
    EXPECT_LT(timer.elapsed(), 5000); // and no longer executing: the loop ends at 10 s otherwise
    EXPECT_LE(waits, 3);

    // No FTP session: the store ends at once without touching the network.
    inet.execute(QString(), "put c:\\praxidome\\MAJ\\a.pxd ./a.pxd");
    EXPECT_FALSE(inet.stillExecuting());

    const std::pair<const char*, const char*> refused[] = {
        {"ftp://u:p@127.0.0.1:1", "dir"},
        {"ftp://u:p@127.0.0.1:1", "put c:\\praxidome\\MAJ\\missing.pxd ./missing.pxd"},
        {"ftp://u:p@127.0.0.1:1", "put c:\\praxidome\\MAJ\\a.pxd"},
        {"http://127.0.0.1:1/", "cd x"},
        {"gopher://127.0.0.1:1/", ""}};
    for (const auto& [address, command] : refused) {
        EXPECT_THROW(inet.execute(address, command), MajError) << address << " " << command;
        EXPECT_FALSE(inet.stillExecuting());
    }
    SilentServer silent;
    inet.execute(QString("https://127.0.0.1:%1/maj.php").arg(silent.port));
    EXPECT_TRUE(inet.stillExecuting());
    EXPECT_EQ(test::errorOf([&] { inet.execute(QString("https://127.0.0.1:%1/maj.php").arg(silent.port)); }), 35764);
    EXPECT_EQ(inet.protocol, Transfer::Http);

    // The upload step: silent servers make the notification and the login each wait for their time-out
    // (with no login there is no store to wait for), silently.
    Upload u;
    u.f.Inet1 = std::make_unique<CurlTransfer>(loopbackSettings(silent.port, silent.port, Password, 1));
    u.drive.write("praxidome/MAJ/A_PC_20260305.pxd", "report");
    timer.restart();
    envoyer(u.f);
    EXPECT_GE(timer.elapsed(), 1900);
    EXPECT_LT(timer.elapsed(), 15000);
    EXPECT_GT(u.ui.processed, 0);
    u.expectQuietEnd();
    // Destroying the component stops the operation rather than waiting for the time-out.
}

} // namespace
