#include "TestSupport.h"
#include "platform/CurlTransfer.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "report/Report.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace maj;

namespace {

const QString Password = QStringLiteral("s3cret12");

// A fixture server of tests/fixtures, started on 127.0.0.1: it prints its port, serves until
// stopped and records what it received in a log file.
class FixtureServer
{
public:
    FixtureServer(const QString& script, QStringList arguments)
    {
        const QString logPath = m_dir.filePath("log");
        QDir().mkpath(home());
        arguments.replaceInStrings("%HOME%", home());
        arguments << "--log" << logPath;
        m_log.setFileName(logPath);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start("/usr/bin/python3", QStringList{test::sourceDir() + "/tests/fixtures/" + script} + arguments);
        if (!m_process.waitForStarted(10000))
            qFatal("cannot start %s", qPrintable(script));
        while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) {
        }
        port = m_process.readLine().trimmed().toUShort();
        if (port == 0)
            qFatal("%s printed no port", qPrintable(script));
    }
    ~FixtureServer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    FixtureServer(const FixtureServer&) = delete;
    FixtureServer& operator=(const FixtureServer&) = delete;

    QStringList logLines()
    {
        if (!m_log.open(QIODevice::ReadOnly))
            return {};
        const QString all = QString::fromLatin1(m_log.readAll());
        m_log.close();
        return all.split('\n', Qt::SkipEmptyParts);
    }

    // The FTP account's home.
    QString home() const { return m_dir.filePath("home"); }

    quint16 port = 0;

private:
    QTemporaryDir m_dir;
    QFile m_log;
    QProcess m_process;
};

// A socket that takes connections and never says a word: it listens and never accepts, so the
// kernel completes each connection and nothing answers.
class SilentServer
{
public:
    SilentServer()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(m_fd, 8) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            qFatal("cannot listen on loopback");
        port = ntohs(address.sin_port);
    }
    ~SilentServer() { ::close(m_fd); }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    quint16 port = 0;

private:
    int m_fd = -1;
};

class ReportUpload : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // Loopback servers only: no proxy of the machine may step in.
        for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "ftp_proxy", "FTP_PROXY",
                                 "all_proxy", "ALL_PROXY"})
            qunsetenv(name);
    }

    test::TempDrive drive;
    test::RecordingUi ui;
    test::FixedClock clock{QDateTime(QDate(2026, 3, 5), QTime(14, 2, 31))};
    Form1Core f{ui, clock};

    void SetUp() override
    {
        test::createDatabase(drive.host("praxidome/pat.mdb"), "pat");
        f.settings.ReportName = "Dupont_&_Fils";
        f.window.caption = QString::fromUtf8("Mise à jour 3/2026 : version 8.6.8");
        // As the census leaves them.
        f.data.Data1.bind("c:\\praxidome\\pat.mdb", "select numdentiste from soins group by numdentiste");
        f.data.Data2.bind("c:\\praxidome\\pat.mdb", "select * from dentiste");
        f.data.Data3.bind("c:\\praxidome\\pat.mdb", "soins");
        f.data.Data4.bind("c:\\praxidome\\pat.mdb", "select * from parapat");
    }

    void useServers(quint16 webPort, quint16 ftpPort, int timeout = 10)
    {
        TransferSettings s;
        s.webBaseUrl = QString("http://127.0.0.1:%1/").arg(webPort);
        s.ftpHost = QString("127.0.0.1:%1").arg(ftpPort);
        s.userName = "norvix";
        s.password = Password;
        s.requestTimeout = timeout;
        f.Inet1 = std::make_unique<CurlTransfer>(s);
    }

    // A report of every byte value, line ends of both kinds included: a text-mode transfer would
    // change it.
    static QByteArray binaryReport()
    {
        QByteArray bytes;
        for (int round = 0; round < 40; ++round)
            for (int b = 0; b < 256; ++b)
                bytes.append(char(b));
        return bytes + "\r\n\n\r";
    }

    void expectReleased()
    {
        for (const DataSource* source : {&f.data.Data1, &f.data.Data2, &f.data.Data3, &f.data.Data4}) {
            EXPECT_FALSE(source->isOpen()) << qPrintable(source->name());
            EXPECT_TRUE(source->databaseName().isEmpty()) << qPrintable(source->name());
        }
    }

    static QStringList files(const QString& folder)
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
};

// The notification's request line: its page, and its query's keys and decoded bytes in order.
struct Notification
{
    QString page;
    QList<std::pair<QByteArray, QByteArray>> query;
};

Notification parseRequest(const QString& requestLine)
{
    const QStringList words = requestLine.split(' ');
    EXPECT_EQ(words.size(), 3) << qPrintable(requestLine);
    EXPECT_EQ(words.value(0), "GET");
    const QString target = words.value(1);
    const qsizetype question = target.indexOf('?');
    Notification n{target.left(question), {}};
    for (const QString& pair : target.mid(question + 1).split('&')) {
        const qsizetype equals = pair.indexOf('=');
        n.query.append(
            {pair.left(equals).toLatin1(), QByteArray::fromPercentEncoding(pair.mid(equals + 1).toLatin1())});
    }
    return n;
}

TEST_F(ReportUpload, NotifiesThenStoresTheFirstReportInSign)
{
    FixtureServer web("httpserver.py", {});
    FixtureServer ftp("ftpserver.py", {"--password", Password, "--home", "%HOME%"});
    useServers(web.port, ftp.port);
    const QByteArray content = binaryReport();
    drive.write("praxidome/MAJ/Dupont_&_Fils_PC_20260305.pxd", content);
    drive.write("praxidome/MAJ/Zeta_PC_20260305.pxd", "second");
    const QString first = fs::listFiles("c:\\praxidome\\MAJ\\*.pxd").first();

    envoyer(f);

    expectReleased();
    EXPECT_TRUE(ui.messages.isEmpty());
    const QStringList requests = web.logLines();
    ASSERT_EQ(requests.size(), 1);
    const Notification n = parseRequest(requests.first());
    EXPECT_EQ(n.page, "/maj.php");
    ASSERT_EQ(n.query.size(), 2) << qPrintable(requests.first());
    EXPECT_EQ(n.query[0].first, "Login");
    EXPECT_EQ(n.query[0].second, "Dupont_&_Fils");
    EXPECT_EQ(n.query[1].first, "Maj");
    EXPECT_EQ(n.query[1].second, "Mise \xE0 jour 3/2026 : version 8.6.8"); // the Windows-1252 bytes

    // One report, under its own name, byte for byte, on one connection.
    EXPECT_EQ(files(ftp.home() + "/SIGN"), QStringList{first});
    QFile stored(ftp.home() + "/SIGN/" + first);
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_EQ(stored.readAll(), first.startsWith("Dupont") ? content : QByteArray("second"));
    EXPECT_TRUE(files(ftp.home()).isEmpty());
    const QStringList commands = ftp.logLines();
    EXPECT_EQ(commands.count("CONNECT"), 1) << qPrintable(commands.join(" | "));
    EXPECT_EQ(commands.value(1), "USER norvix");
    EXPECT_TRUE(commands.contains("CWD SIGN")) << qPrintable(commands.join(" | "));
    EXPECT_TRUE(commands.contains("TYPE I")) << qPrintable(commands.join(" | "));
    EXPECT_EQ(commands.filter("STOR").size(), 1);
    EXPECT_TRUE(commands.contains("STOR " + first)) << qPrintable(commands.join(" | "));
    EXPECT_FALSE(f.Inet1->stillExecuting());
}

TEST_F(ReportUpload, TheStoredNameHasTheLoginsWindows1252Bytes)
{
    FixtureServer web("httpserver.py", {});
    FixtureServer ftp("ftpserver.py", {"--password", Password, "--home", "%HOME%"});
    useServers(web.port, ftp.port);
    f.settings.ReportName = QString::fromUtf8("Cœur");
    drive.write(QString::fromUtf8("praxidome/MAJ/Cœur_PC_20260305.pxd"), "report");

    envoyer(f);

    const QByteArray login = "C\x9C"
                             "ur";
    EXPECT_EQ(parseRequest(web.logLines().value(0)).query.value(0).second, login);
    const QStringList commands = ftp.logLines();
    EXPECT_TRUE(commands.contains(QString::fromLatin1("STOR " + login + "_PC_20260305.pxd")))
        << qPrintable(commands.join(" | "));
}

TEST_F(ReportUpload, WithoutAReportTheNotificationGoesAndNothingIsStored)
{
    FixtureServer web("httpserver.py", {});
    FixtureServer ftp("ftpserver.py", {"--password", Password, "--home", "%HOME%"});
    useServers(web.port, ftp.port);
    drive.write("praxidome/MAJ/notes.txt", "not a report");

    envoyer(f);

    expectReleased();
    EXPECT_EQ(web.logLines().size(), 1);
    const QStringList commands = ftp.logLines();
    EXPECT_TRUE(commands.contains("CWD SIGN")) << qPrintable(commands.join(" | "));
    EXPECT_TRUE(commands.filter("STOR").isEmpty());
    EXPECT_TRUE(files(ftp.home() + "/SIGN").isEmpty());
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(ReportUpload, ClosedPortsEndTheStepSilently)
{
    useServers(test::closedPort(), test::closedPort());
    drive.write("praxidome/MAJ/A_PC_20260305.pxd", "report");

    envoyer(f);

    expectReleased();
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_FALSE(f.Inet1->stillExecuting());
}

TEST_F(ReportUpload, SilentServersEndEachWaitAtTheTimeOut)
{
    SilentServer silent;
    useServers(silent.port, silent.port, 1);
    drive.write("praxidome/MAJ/A_PC_20260305.pxd", "report");

    QElapsedTimer timer;
    timer.start();
    envoyer(f);
    const qint64 elapsed = timer.elapsed();

    // The notification and the login each wait for their time-out; with no login there is no
    // store to wait for.
    EXPECT_GE(elapsed, 1900);
    EXPECT_LT(elapsed, 15000);
    EXPECT_GT(ui.processed, 0);
    expectReleased();
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(ReportUpload, SilentFtpServerStillLetsTheNotificationThrough)
{
    FixtureServer web("httpserver.py", {});
    SilentServer silent;
    useServers(web.port, silent.port, 1);
    drive.write("praxidome/MAJ/A_PC_20260305.pxd", "report");

    envoyer(f);

    EXPECT_EQ(web.logLines().size(), 1);
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(ReportUpload, RefusedFolderLeavesTheLoginFolderCurrent)
{
    FixtureServer web("httpserver.py", {});
    FixtureServer ftp("ftpserver.py", {"--password", Password, "--home", "%HOME%", "--no-sign"});
    useServers(web.port, ftp.port);
    drive.write("praxidome/MAJ/A_PC_20260305.pxd", "report");

    envoyer(f);

    // As on an FTP session: the failed "cd" changes nothing and "put" stores where the login is.
    EXPECT_EQ(files(ftp.home()), QStringList{"A_PC_20260305.pxd"});
    EXPECT_EQ(ftp.logLines().count("CONNECT"), 1);
}

TEST_F(ReportUpload, WrongPasswordStoresNothing)
{
    FixtureServer web("httpserver.py", {});
    FixtureServer ftp("ftpserver.py", {"--password", "another1", "--home", "%HOME%"});
    useServers(web.port, ftp.port);
    drive.write("praxidome/MAJ/A_PC_20260305.pxd", "report");

    envoyer(f);

    EXPECT_TRUE(files(ftp.home() + "/SIGN").isEmpty());
    EXPECT_TRUE(ftp.logLines().filter("STOR").isEmpty());
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST(ReportTransfer, OneOperationAtATime)
{
    SilentServer silent;
    TransferSettings s;
    s.requestTimeout = 1;
    CurlTransfer inet(s);
    inet.execute(QString("http://127.0.0.1:%1/maj.php").arg(silent.port));
    EXPECT_TRUE(inet.stillExecuting());
    try {
        inet.execute(QString("http://127.0.0.1:%1/maj.php").arg(silent.port));
        ADD_FAILURE() << "a second operation started";
    } catch (const MajError& e) {
        EXPECT_EQ(e.number(), 35764);
    }
    EXPECT_EQ(inet.protocol, Transfer::Http);
    // Destroying the component stops the operation rather than waiting for the time-out.
}

TEST(ReportTransfer, TheEndOfAnOperationWakesASleepingEventLoop)
{
    for (const char* proxy : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        qunsetenv(proxy);
    TransferSettings s;
    s.requestTimeout = 30;
    CurlTransfer inet(s);
    QElapsedTimer timer;
    timer.start();
    inet.execute(QString("http://127.0.0.1:%1/maj.php").arg(test::closedPort()));
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
    EXPECT_FALSE(inet.stillExecuting());
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_LE(waits, 3);
}

TEST(ReportTransfer, CommandsWithoutAConnectionOrUnknownAreRefused)
{
    test::TempDrive drive;
    drive.write("praxidome/MAJ/a.pxd", "x");
    CurlTransfer inet(TransferSettings{});
    // No FTP session: the store ends at once without touching the network.
    inet.execute(QString(), "put c:\\praxidome\\MAJ\\a.pxd ./a.pxd");
    EXPECT_FALSE(inet.stillExecuting());

    const struct
    {
        const char* address;
        const char* command;
    } refused[] = {{"ftp://u:p@127.0.0.1:1", "dir"},
                   {"ftp://u:p@127.0.0.1:1", "put c:\\praxidome\\MAJ\\missing.pxd ./missing.pxd"},
                   {"ftp://u:p@127.0.0.1:1", "put c:\\praxidome\\MAJ\\a.pxd"},
                   {"http://127.0.0.1:1/", "cd x"},
                   {"gopher://127.0.0.1:1/", ""}};
    for (const auto& r : refused) {
        EXPECT_THROW(inet.execute(r.address, r.command), MajError) << r.address << " " << r.command;
        EXPECT_FALSE(inet.stillExecuting());
    }
}

} // namespace
