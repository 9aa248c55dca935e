#include "platform/jet/Snapshot.h"

#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "platform/jet/Sqlite.h"

#include <QFile>

#include <sqlite3.h>

namespace maj {

namespace {

// A crash left a journal beside the source, which a read-only connection cannot roll back: the
// copy, with the journal, is rolled back where it lies, as the application would do at its next
// start. With no writer alive the two files do not change while they are copied.
void rollBackCopy(const QString& sourceHostPath, const QString& targetHostPath)
{
    const QString journal = QStringLiteral("-journal");
    fs::copyFile(fs::windowsPath(sourceHostPath), fs::windowsPath(targetHostPath));
    fs::copyFile(fs::windowsPath(sourceHostPath + journal), fs::windowsPath(targetHostPath + journal));
    sqlite::Connection copy(targetHostPath, sqlite::Connection::Mode::ReadWrite);
    copy.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
}

} // namespace

void snapshotDatabase(const QString& sourceHostPath, const QString& targetHostPath)
{
    int rc = SQLITE_OK;
    try {
        sqlite::Connection source(sourceHostPath, sqlite::Connection::Mode::ReadOnly);
        sqlite3_busy_timeout(source.handle(), 5000);
        sqlite::Connection target(targetHostPath, sqlite::Connection::Mode::ReadWriteCreate);
        // A scratch copy: no journal, no waiting for the disk.
        target.exec(QStringLiteral("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF"));
        sqlite3_backup* backup = sqlite3_backup_init(target.handle(), "main", source.handle(), "main");
        if (!backup)
            target.check(sqlite3_errcode(target.handle()), sqlite::Context::Open);
        // All pages in one step: the source is read under one lock, so the copy is one state of it.
        for (int attempt = 0; attempt < 100; ++attempt) {
            rc = sqlite3_backup_step(backup, -1);
            if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
                break;
            sqlite3_sleep(50);
        }
        // An error of a step (out of memory, I/O) is told again by the finish.
        if (const int finished = sqlite3_backup_finish(backup); rc == SQLITE_DONE && finished != SQLITE_OK)
            rc = finished;
        // A crash's journal, which a read-only connection cannot roll back, is handled below.
        const bool hotJournal =
            (rc & 0xff) == SQLITE_READONLY && QFile::exists(sourceHostPath + QStringLiteral("-journal"));
        if (rc != SQLITE_DONE && !hotJournal)
            target.check(rc, sqlite::Context::Open);
    } catch (const MajError&) {
        QFile::remove(targetHostPath);
        throw;
    }
    if (rc != SQLITE_DONE)
        rollBackCopy(sourceHostPath, targetHostPath);
}

} // namespace maj
