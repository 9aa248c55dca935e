#include "TestSupport.h"

#include "SqliteFile.h"
#include "platform/MajError.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace maj::test {

namespace sql = sample::sql;

void RecordingUi::showMessage(const QString& text, const QString& title)
{
    messages.append(text);
    titles.append(title);
    if (onMessage)
        onMessage(text);
}

void RecordingUi::waitForEvents(int ms)
{
    ++processed;
    QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
    if (onEvents)
        onEvents();
}

QString TempDrive::write(const QString& relative, const QByteArray& content) const
{
    const QString path = host(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(content);
    return path;
}

QByteArray TempDrive::read(const QString& relative) const
{
    QFile file(host(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList TempDrive::entries(const QString& relative) const
{
    return QDir(host(relative))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

EnvironmentValue::EnvironmentValue(const char* name, const QString& value)
    : m_name(name), m_previous(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name))
{
    qputenv(name, value.toUtf8());
}

EnvironmentValue::~EnvironmentValue()
{
    if (m_had)
        qputenv(m_name, m_previous);
    else
        qunsetenv(m_name);
}

int errorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const MajError& e) {
        EXPECT_FALSE(e.description().isEmpty());
        return e.number();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "a failure without a number: " << e.what();
        return -1;
    }
    return 0;
}

void exec(const QString& hostPath, const QString& sql)
{
    sql::Database(hostPath, sql::ReadWrite).exec(sql);
}

QStringList hashes(const QStringList& roots)
{
    QStringList all;
    for (const QString& root : roots) {
        QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile file(path);
            if (!path.endsWith("praxidome/maj.log")) // a folder is listed by its name alone
                all.append(file.open(QIODevice::ReadOnly)
                               ? path + ' ' +
                                     QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex()
                               : path);
        }
    }
    all.sort();
    return all;
}

QVariant scalar(const QString& hostPath, const QString& sql)
{
    return sql::scalar(hostPath, sql);
}

namespace {

// A loopback socket bound to a free port; listening when asked.
int loopbackSocket(quint16& port, bool listening)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || (listening && ::listen(fd, 8) != 0) ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        qFatal("no loopback socket");
    port = ntohs(address.sin_port);
    return fd;
}

QString sourceDir()
{
    return qEnvironmentVariable("MAJ_SOURCE_DIR", QStringLiteral(MAJ_SOURCE_DIR_DEFAULT));
}

} // namespace

int closedPort()
{
    quint16 port = 0;
    ::close(loopbackSocket(port, false));
    return port;
}

TestCertificate::TestCertificate() : pem(dir.filePath("server.pem"))
{
    const QString pinBase64 = runProgram(
        "sh", {"-c", "cd '" + dir.path() +
                         "' && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                         "-nodes -days 2 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout key.pem -out "
                         "cert.pem 2>/dev/null && cat cert.pem key.pem >server.pem && openssl pkey -in key.pem -pubout "
                         "-outform DER | openssl dgst -sha256 -binary | base64"});
    QFile file(dir.filePath("cert.pem"));
    if (pinBase64.isEmpty() || !file.open(QIODevice::ReadOnly))
        qFatal("openssl could not make a certificate");
    certificate = file.readAll();
    pin = "sha256//" + pinBase64.trimmed().toLatin1();
}

TransferSettings loopbackSettings(quint16 webPort, quint16 ftpPort, const QString& password, int timeout,
                                  const TestCertificate* trust, const QByteArray& pin)
{
    return {.webBaseUrl = QStringLiteral("%1://127.0.0.1:%2/").arg(trust ? "https" : "http").arg(webPort),
            .ftpHost = QStringLiteral("127.0.0.1:%1").arg(ftpPort),
            .userName = "norvix",
            .password = password,
            .requestTimeout = timeout,
            .tls = trust != nullptr,
            .caCertificates = trust ? trust->certificate : QByteArray(),
            .pinnedKey = pin};
}

void createDatabase(const QString& hostPath, const QString& schemaName)
{
    QFile file(sourceDir() + QStringLiteral("/schema/") + schemaName + QStringLiteral(".sql"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no schema %s", qPrintable(schemaName));
    QDir().mkpath(QFileInfo(hostPath).absolutePath());
    sql::Database(hostPath, sql::Create).exec(QString::fromUtf8(file.readAll()));
}

void createDatabaseFromSql(const QString& hostPath, const QString& sql)
{
    QDir().mkpath(QFileInfo(hostPath).absolutePath());
    sql::Database(hostPath, sql::Create).exec(QStringLiteral("BEGIN; %1 COMMIT;").arg(sql));
}

void installPractice(const TempDrive& drive, bool client)
{
    drive.write("praxidome/praxidome.exe", "MZ installed");
    drive.write("praxidome/aide/aide.htm", "<html>aide</html>");
    QFile log(drive.write("praxidome/st6unst.log", "log"));
    log.open(QIODevice::ReadWrite);
    log.setFileTime(QDateTime(QDate(2015, 9, 14), QTime(23, 59)), QFileDevice::FileModificationTime);
    const QString pat = drive.host("praxidome/pat.mdb");
    createDatabase(pat, "pat");
    exec(pat, "INSERT INTO nomenclature (ABREVIATION, \"code inami\", LIBELLE, HONORAIRE) VALUES "
              "('CONS', '301011', 'Consultation', 20.5), ('DETA', '302012', 'Détartrage', 30);"
              "INSERT INTO patients (NUMPAT, NOM, CLESIS) VALUES (1, 'Dupont', 'k1'), (2, 'Martin', 'k2');"
              "INSERT INTO parapat (ID, VERSION_BASE) VALUES (1, '8.6')");
    const QString settings = drive.host("praxidome/parametres.mdb");
    createDatabase(settings, "parametres");
    exec(settings, QStringLiteral("INSERT INTO parapat (ID, LANGUE, NOM_CABINET, STATION, NUMERO_MAJ) VALUES "
                                  "(1, 'FR', 'Cabinet Dupont', '%1', '37')")
                       .arg(client ? "CLIENT" : "SERVEUR"));
    createDatabase(drive.host("praxidome/pannexe.mdb"), "pannexe");
    createDatabase(drive.host("praxidome/eattest.mdb"), "eattest");
    exec(drive.host("praxidome/eattest.mdb"),
         "INSERT INTO nomen (ABREVIATION, \"code inami\") VALUES ('OLD', '399999')");
}

bool crashInTransaction(const QString& hostPath, const QString& sql)
{
    QProcess crash;
    crash.start("/usr/bin/python3", {"-c",
                                     "import os, sqlite3, sys\n"
                                     "db = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                                     "db.execute('PRAGMA cache_size=5')\n"
                                     "db.executescript('BEGIN; ' + sys.argv[2])\n"
                                     "os._exit(9)",
                                     hostPath, sql});
    return crash.waitForFinished(30000) && QFile::exists(hostPath + "-journal");
}

// Says "y" once it holds the file (it ends with a traceback when it cannot) and keeps it until its
// input ends.
const char* const kHolder = R"py(
import fcntl, sqlite3, sys
path, hold = sys.argv[1:3]
if hold.endswith("lock"):
    file = open(path, "r+b" if hold == "writelock" else "rb")
    fcntl.lockf(file, (fcntl.LOCK_EX if hold == "writelock" else fcntl.LOCK_SH) | fcntl.LOCK_NB)
else:
    db = sqlite3.connect("file:" + path + "?mode=rw", uri=True, isolation_level=None)
    db.execute("BEGIN IMMEDIATE" if hold == "writer" else "BEGIN")
    db.execute("CREATE TABLE other_process (x)" if hold == "writer" else "SELECT count(*) FROM sqlite_master").fetchall()
print("y", flush=True)
sys.stdin.read()
)py";

OtherProcess::OtherProcess(const QString& hostPath, Hold hold)
{
    const char* const holds[] = {"writelock", "readlock", "writer", "reader"};
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start("/usr/bin/python3", {"-c", kHolder, hostPath, holds[int(hold)]});
    m_held = m_process.waitForReadyRead(10000) && m_process.readLine().trimmed() == "y";
}

SilentServer::SilentServer() : m_fd(loopbackSocket(port, true)) {}

SilentServer::~SilentServer()
{
    ::close(m_fd);
}

FixtureServer::FixtureServer(const QString& script, QStringList arguments)
{
    QDir().mkpath(home());
    arguments.replaceInStrings("%HOME%", home());
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start("/usr/bin/python3", QStringList{sourceDir() + "/tests/fixtures/" + script} + arguments +
                                            QStringList{"--log", m_dir.filePath("log")});
    while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) {
    }
    port = m_process.readLine().trimmed().toUShort();
    if (port == 0)
        qFatal("%s printed no port", qPrintable(script));
}

QStringList FixtureServer::logLines() const
{
    QFile log(m_dir.filePath("log"));
    return log.open(QIODevice::ReadOnly) ? QString::fromLatin1(log.readAll()).split('\n', Qt::SkipEmptyParts)
                                         : QStringList();
}

QString runProgram(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    const bool ended = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit;
    return ended && process.exitCode() == 0 ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
}

int pdfPages(const QString& pdf)
{
    const auto match = QRegularExpression("Pages:\\s+(\\d+)").match(runProgram("pdfinfo", {pdf}));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

} // namespace maj::test
