#include "TestSupport.h"

#include "Sqlite.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

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

} // namespace maj::test
