#pragma once

#include "platform/Clock.h"
#include "platform/Ui.h"
#include "run/Form1Core.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QVariant>

#include <functional>
#include <ostream>

namespace maj::test {

// Records what the program shows instead of showing it; ends the program without ending the test.
class RecordingUi : public UiServices
{
public:
    QStringList messages; // questions too, after "? "
    QStringList titles;
    bool answer = true;  // to every question
    QList<bool> cursors; // each setBusyCursor call
    int processed = 0;
    bool ended = false;
    // Runs when a message box would be shown (the test's "user" acting while it is open).
    std::function<void(const QString&)> onMessage;
    // Runs at each processEvents()/waitForEvents() (the user acting during a wait).
    std::function<void()> onEvents;

    void setBusyCursor(bool busy) override { cursors.append(busy); }
    void processEvents() override { waitForEvents(0); }
    void waitForEvents(int ms) override;
    void programEnded() override { ended = true; }

protected:
    void showMessage(const QString& text, const QString& title) override;
    bool showQuestion(const QString& text, const QString& title) override
    {
        showMessage(QStringLiteral("? ") + text, title);
        return answer;
    }
};

struct FixedClock : Clock
{
    explicit FixedClock(QDateTime at = QDateTime(QDate(2026, 12, 5), QTime(20, 3, 7))) : moment(at) {}
    QDateTime now() const override { return moment; }
    QDateTime moment;
};

// Sets an environment variable for the life of the object.
class EnvironmentValue
{
public:
    EnvironmentValue(const char* name, const QString& value);
    ~EnvironmentValue();
    Q_DISABLE_COPY(EnvironmentValue)

private:
    const char* m_name;
    QByteArray m_previous;
    bool m_had = false;
};

// A drive c: of its own: a temporary folder that $MAJ_DRIVE_C names while the object lives.
class TempDrive
{
public:
    TempDrive() : m_env("MAJ_DRIVE_C", m_dir.path()) {}

    // Host path of a path relative to the drive root ("praxidome/pat.mdb").
    QString host(const QString& relative = {}) const
    {
        return relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative);
    }
    // Creates a file (and its folders) with the given content; returns its host path.
    QString write(const QString& relative, const QByteArray& content = "x") const;
    QByteArray read(const QString& relative) const;
    // Every entry of a folder, hidden ones included, sorted by name.
    QStringList entries(const QString& relative = {}) const;

private:
    QTemporaryDir m_dir;
    EnvironmentValue m_env;
};

// What a step runs against: a drive c: of its own, recorded messages, a fixed clock.
struct StepFixture
{
    TempDrive drive;
    RecordingUi ui;
    FixedClock clock;
    Form1Core f{ui, clock};

    // Runs a step as an event handler of the program does.
    void runStep(void (*step)(Form1Core&))
    {
        runHandler(ui, [&] { step(f); });
    }
};

// Runs a test in another current folder (created if need be) and comes back.
class CurrentFolder
{
public:
    explicit CurrentFolder(const QString& hostPath) : m_previous(QDir::currentPath())
    {
        QDir().mkpath(hostPath);
        QDir::setCurrent(hostPath);
    }
    ~CurrentFolder() { QDir::setCurrent(m_previous); }
    Q_DISABLE_COPY(CurrentFolder)

private:
    QString m_previous;
};

// The error number a call throws as MajError (expecting a description with it), 0 when it succeeds;
// any other failure fails the test: only numbered failures may come out.
int errorOf(const std::function<void()>& call);

// Every file and folder under host folders with its SHA-256, sorted, the log (maj.log) aside.
QStringList hashes(const QStringList& roots);

// Runs SQL on a database file / reads the first column of its first row (invalid when no row).
void exec(const QString& hostPath, const QString& sql);
QVariant scalar(const QString& hostPath, const QString& sql);

// A loopback port where nothing listens: a connection to it is refused at once.
int closedPort();

// A key and a self-signed certificate for 127.0.0.1, made by openssl: `pem` (both) for the fixture
// servers' --tls, `certificate` for a client to trust, `pin` its public key for libcurl.
struct TestCertificate
{
    TestCertificate();
    QTemporaryDir dir;
    QString pem;
    QByteArray certificate;
    QByteArray pin;
};

// The transfer control's settings for loopback servers: the notification page at webPort, the FTP account
// "norvix" at ftpPort; with `trust`, TLS required and that certificate the only authority (and
// `pin` the servers' key when given), otherwise plain HTTP and FTP.
TransferSettings loopbackSettings(quint16 webPort, quint16 ftpPort, const QString& password = "abcd1234",
                                  int timeout = 10, const TestCertificate* trust = nullptr, const QByteArray& pin = {});

// Creates (or completes) an SQLite database file at a host path from schema/<schemaName>.sql
// ("pat", "parametres", "eattest", "pannexe", "traj", "rappels", "etarification").
void createDatabase(const QString& hostPath, const QString& schemaName);
// Creates a database file (and its folders) from SQL statements run in one transaction.
void createDatabaseFromSql(const QString& hostPath, const QString& sql);

// A practice's installation: praxidome.exe, aide\aide.htm, st6unst.log (changed on 14/09/2015 at
// 23:59) and the pat, parametres, pannexe and eattest databases of schema/, with two patients, two
// codes and one settings record (the practice's name, update 37, a client workstation or the server).
void installPractice(const TempDrive& drive, bool client = false);

// A writer killed in the middle of a transaction that spilled into the file: runs `sql` after
// BEGIN in another process, which dies at once; true when a journal is left beside the file.
bool crashInTransaction(const QString& hostPath, const QString& sql);

// A second process (Python) that holds a file as another program does, until release() or destruction.
class OtherProcess
{
public:
    enum class Hold
    {
        WriteLock,    // an fcntl write lock on the whole file
        ReadLock,     // an fcntl read lock
        SqliteWriter, // an SQLite write transaction
        SqliteReader  // an SQLite read transaction
    };
    OtherProcess(const QString& hostPath, Hold hold);
    ~OtherProcess() { release(); }

    bool held() const { return m_held; }
    void release()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(10000);
    }

private:
    QProcess m_process;
    bool m_held = false;
};

// A loopback socket that takes connections and never says a word.
class SilentServer
{
public:
    SilentServer();
    ~SilentServer();
    Q_DISABLE_COPY(SilentServer)
    quint16 port = 0;

private:
    int m_fd = -1;
};

// A server of tests/fixtures (httpserver.py, ftpserver.py) on 127.0.0.1: it records what it
// received in a log; "%HOME%" in the arguments names the FTP account's home.
class FixtureServer
{
public:
    FixtureServer(const QString& script, QStringList arguments = {});

    QStringList logLines() const;
    QString home() const { return m_dir.filePath("home"); }
    quint16 port = 0;

private:
    QTemporaryDir m_dir;
    QProcess m_process; // killed at destruction
};

// What a program prints on its standard output; empty when it fails or does not end in 30 s.
QString runProgram(const QString& program, const QStringList& arguments);
// The page count of a PDF file (pdfinfo), -1 when unknown.
int pdfPages(const QString& pdf);

// Sets one field of the current row (of a new row when added) and writes it.
template <typename Field> void change(Recordset& rs, Field field, const Value& value, bool added = false)
{
    added ? rs.addNew() : rs.edit();
    rs.setField(field, value);
    rs.update();
}

} // namespace maj::test

// Readable texts and values in the tests' failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QVariant& value, std::ostream* os)
{
    *os << (value.isNull() ? std::string("null") : value.typeName() + ('(' + value.toString().toStdString() + ')'));
}
