#include "TestSupport.h"

#include "platform/MajError.h"
#include "platform/jet/Sqlite.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace maj::test {

void RecordingUi::showMessage(const QString& text, const QString& title)
{
    messages.append(text);
    titles.append(title);
    if (onMessage)
        onMessage(text);
}

void RecordingUi::processEvents()
{
    ++processed;
    QCoreApplication::processEvents();
    if (onEvents)
        onEvents();
}

void RecordingUi::waitForEvents(int ms)
{
    ++processed;
    QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
    if (onEvents)
        onEvents();
}

TempDrive::TempDrive()
{
    m_hadPrevious = qEnvironmentVariableIsSet("MAJ_DRIVE_C");
    m_previous = qgetenv("MAJ_DRIVE_C");
    qputenv("MAJ_DRIVE_C", m_dir.path().toUtf8());
}

TempDrive::~TempDrive()
{
    if (m_hadPrevious)
        qputenv("MAJ_DRIVE_C", m_previous);
    else
        qunsetenv("MAJ_DRIVE_C");
}

QString TempDrive::host(const QString& relative) const
{
    return relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative);
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
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

CurrentFolder::CurrentFolder(const QString& hostPath) : m_previous(QDir::currentPath())
{
    QDir().mkpath(hostPath);
    QDir::setCurrent(hostPath);
}

CurrentFolder::~CurrentFolder()
{
    QDir::setCurrent(m_previous);
}

EnvironmentValue::EnvironmentValue(const char* name, const QString& value) : m_name(name)
{
    m_had = qEnvironmentVariableIsSet(name);
    m_previous = qgetenv(name);
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
    }
    return 0;
}

void exec(const QString& hostPath, const QString& sql)
{
    sqlite::Connection(hostPath, sqlite::Connection::Mode::ReadWrite).exec(sql);
}

QVariant scalar(const QString& hostPath, const QString& sql)
{
    sqlite::Connection db(hostPath, sqlite::Connection::Mode::ReadOnly);
    auto q = db.prepare(sql);
    return q.step() ? q.column(0) : QVariant();
}

int closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

QString sourceDir()
{
    return qEnvironmentVariable("MAJ_SOURCE_DIR", QStringLiteral(MAJ_SOURCE_DIR_DEFAULT));
}

void createDatabase(const QString& hostPath, const QString& schemaName)
{
    QFile file(sourceDir() + QStringLiteral("/schema/") + schemaName + QStringLiteral(".sql"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no schema %s", qPrintable(schemaName));
    QDir().mkpath(QFileInfo(hostPath).absolutePath());
    sqlite::Connection db(hostPath, sqlite::Connection::Mode::ReadWriteCreate);
    db.exec(QString::fromUtf8(file.readAll()));
}

void createDatabaseFromSql(const QString& hostPath, const QString& sql)
{
    QDir().mkpath(QFileInfo(hostPath).absolutePath());
    sqlite::Connection db(hostPath, sqlite::Connection::Mode::ReadWriteCreate);
    db.exec(QStringLiteral("BEGIN; %1 COMMIT;").arg(sql));
}

} // namespace maj::test
