#pragma once

#include "TestSupport.h"
#include "platform/jet/Sqlite.h"

#include <QEventLoop>
#include <QTimer>

#include <functional>
#include <ostream>

// What the window tests share: an installation on a temporary drive, and waits in the event loop.
namespace maj::test {

// The application's folder with its patient and settings databases; the settings record marks a
// client workstation or the server.
inline void makeInstallation(const TempDrive& drive, bool client)
{
    createDatabase(drive.host(QStringLiteral("praxidome/pat.mdb")), QStringLiteral("pat"));
    createDatabase(drive.host(QStringLiteral("praxidome/parametres.mdb")), QStringLiteral("parametres"));
    sqlite::Connection settings(drive.host(QStringLiteral("praxidome/parametres.mdb")),
                                sqlite::Connection::Mode::ReadWrite);
    settings.exec(QStringLiteral("INSERT INTO parapat (ID, LANGUE, NOM_CABINET, STATION) VALUES (1, 'FR', "
                                 "'Cabinet Dupont', '%1')")
                      .arg(client ? QStringLiteral("CLIENT") : QStringLiteral("SERVEUR")));
}

// Lets the event loop run for `ms` milliseconds.
inline void waitFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Lets the event loop run until `done` holds or `ms` milliseconds pass; returns `done()`.
inline bool waitUntil(const std::function<bool()>& done, int ms)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(20);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

} // namespace maj::test

// Readable texts in the tests' failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
